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
#include "model/page.h"

namespace quirabel::designer::projectfile {

// A project (.kxp) is a row of page texts, each closed by "</endoffile>". A page text is a tagged
// byte stream: header values each closed by its tag, then the background picture, then one block
// per element with its fixed-size record and, for text fields and pictures, the data after
// "<kxdata>". Everything here is bytes; strings are Windows-1252.

// The page itself is the model's (model/page.h); this is its codec.
using model::ElementBlock;
using model::ElementKind;
using model::PageHeader;
using model::PageText;

// The closing tags that must never stand inside a picture of a page: reading would end the
// picture, the page or the project there.
inline constexpr std::array<std::string_view, 3> kTagsPicturesMustNotHold = {
    "</kxelement>", "</kxpaymerk>", "</endoffile>"};

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
