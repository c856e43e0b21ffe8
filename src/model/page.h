#pragma once

// A page of the model: its header values, its background and the records of its elements, each
// with the data that follows it in the file (text lines, picture bytes, a code's content). A
// value: copies share the pictures' bytes, and pages compare equal when they write the same page
// text. designer/projectfile reads and writes it (page_text.h).

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/shared_bytes.h"
#include "graphics/jpeg.h"
#include "model/element_kind.h"
#include "model/records.h"

namespace quirabel::model {

struct PageHeader {
  std::string projectNumber, documentId, title, subject, author, keywords, docType, heightMm,
      widthMm;
  std::uint8_t verticalFolds = 0, horizontalFolds = 0, verticalPerforations = 0,
               horizontalPerforations = 0;
  std::string guideLines;  // kept as stored; the document window reads it

  friend bool operator==(const PageHeader&, const PageHeader&) = default;
};

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

}  // namespace quirabel::model
