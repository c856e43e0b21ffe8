#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/shared_bytes.h"
#include "designer/projectfile/records.h"
#include "graphics/jpeg.h"
#include "report/element_kind.h"

namespace quirabel::designer::projectfile {

// A project (.kxp) is a row of page texts, each closed by "</endoffile>". A page text is a tagged
// byte stream: header values each closed by its tag, then the background picture, then one block
// per element with its fixed-size record and, for text fields and pictures, the data after
// "<kxdata>". Everything here is bytes; strings are Windows-1252.

struct PageHeader {
  std::string projectNumber, documentId, title, subject, author, keywords, docType, heightMm,
      widthMm;
  std::uint8_t verticalFolds = 0, horizontalFolds = 0, verticalPerforations = 0,
               horizontalPerforations = 0;
  std::string guideLines;  // kept as stored; the document window reads it

  friend bool operator==(const PageHeader&, const PageHeader&) = default;
};

using report::ElementKind;

// The closing tags that must never stand inside a picture of a page: reading would end the
// picture, the page or the project there.
inline constexpr std::array<std::string_view, 3> kTagsPicturesMustNotHold = {
    "</kxelement>", "</kxpaymerk>", "</endoffile>"};

struct ElementBlock {
  ElementKind kind = ElementKind::Rect;
  // The record matching kind; RectRecord for Rect and Ellipse, ImageRecord for Jpeg and Bitmap.
  std::variant<RectRecord, LabelRecord, TextRecord, ImageRecord, CodeRecord> record;
  // Text: the stored lines (see EncodeTextLines); Jpeg and Bitmap: the picture file; Code: the
  // stored content (see EncodeCodeContent); else empty.
  SharedBytes data;
  // A JPEG's structure as reading found it while looking for the picture's end
  // (graphics::CheckJpegStructure of data); none when reading did not walk it whole.
  std::optional<graphics::JpegLayout> checkedJpeg;

  // Equal blocks write the same bytes: what reading found out on the way does not count.
  friend bool operator==(const ElementBlock& a, const ElementBlock& b) {
    return a.kind == b.kind && a.record == b.record && a.data == b.data.View();
  }
};

struct PageText {
  PageHeader header;
  ImageRecord background;
  SharedBytes backgroundJpeg;                             // empty without a background picture
  std::optional<graphics::JpegLayout> checkedBackground;  // as ElementBlock::checkedJpeg
  char orderMark = '0';
  std::vector<ElementBlock> elements;
  // Bitmap blocks left out on reading because their record was cut short; the document window
  // shows a placeholder for each.
  int skippedBitmapBlocks = 0;
  // Blocks of a kind this version does not know (or whose opening tag is displaced), left out.
  int skippedUnknownBlocks = 0;

  // A page is a value: equal pages write the same page text (what reading left out or found out
  // on the way does not count). Copies share the pictures' bytes.
  friend bool operator==(const PageText& a, const PageText& b) {
    return a.header == b.header && a.background == b.background &&
           a.backgroundJpeg == b.backgroundJpeg.View() && a.orderMark == b.orderMark &&
           a.elements == b.elements;
  }
};

// The page text of a page. An element whose record does not match its kind is a
// std::invalid_argument.
std::string WritePageText(const PageText& page);
// Whether WritePageText(page) gives exactly these bytes, found without writing them.
bool WritesAs(const PageText& page, std::string_view bytes);

// Reads a page text written by WritePageText or by earlier versions. Pictures and records may
// contain the tags themselves; their ends come from the records' sizes and the pictures' own
// structure (JPEG markers, BMP file size) where possible. That structure is followed only up to
// the first closing tag followed by what the writer puts after a picture, so a page this writer
// wrote always reads back to the same bytes. Damaged input is a ProjectFileError saying what is
// wrong.
PageText ReadPageText(std::string_view bytes);
PageText ReadPageText(const std::string& bytes);
// The same; the pictures and lines read are pieces of the given bytes, not copies.
PageText ReadPageText(const SharedBytes& bytes);

// The page texts of a project: the pieces before each "</endoffile>"; anything after the last one
// is dropped, and a file without any gives none.
std::vector<std::string> SplitProject(std::string_view file);
std::string JoinProject(const std::vector<std::string>& pageTexts);

}  // namespace quirabel::designer::projectfile
