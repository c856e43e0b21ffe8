#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/records.h"

namespace quirabel::designer::projectfile {

// A project file or page text that cannot be read. The message is German and meant for the user.
class ProjectFileError : public std::runtime_error {
 public:
  explicit ProjectFileError(const std::string& message) : std::runtime_error(message) {}
};

// The records themselves are the model's (model/records.h); this is their codec.
using model::kRectRecordSize;
using model::kLabelRecordSize;
using model::kTextRecordSize;
using model::kImageRecordSize;
using model::kCodeRecordSize;
using model::kMaxNameLength;
using model::kMaxCaptionLength;
using model::kFontFixed;
using model::kFontArial;
using model::kFontTimes;
using model::kAlignLeft;
using model::kAlignRight;
using model::kAlignCentre;
using model::kCodeQr;
using model::kCodeDataMatrix;
using model::kCodeCode128;
using model::kCodeEan13;
using model::kCorrectionL;
using model::kCorrectionM;
using model::kCorrectionQ;
using model::kCorrectionH;
using model::RectRecord;
using model::LabelRecord;
using model::TextRecord;
using model::ImageRecord;
using model::CodeRecord;

std::string Encode(const RectRecord& record);
std::string Encode(const LabelRecord& record);
std::string Encode(const TextRecord& record);
std::string Encode(const ImageRecord& record);
std::string Encode(const CodeRecord& record);

// Each reads the first record-size bytes and ignores the rest; shorter input is a
// ProjectFileError.
RectRecord DecodeRect(std::string_view bytes);
LabelRecord DecodeLabel(std::string_view bytes);
TextRecord DecodeText(std::string_view bytes);
ImageRecord DecodeImage(std::string_view bytes);
CodeRecord DecodeCode(std::string_view bytes);

// A code's content (UTF-8) as stored after its record: Windows-1252 with numeric references
// (ToFileText), and every '<' as "&#60;", so a data-field marker or a tag in the content can
// never end the block early. DecodeCodeContent is its inverse.
std::string EncodeCodeContent(std::string_view utf8);
std::string DecodeCodeContent(std::string_view bytes);

// The lines of a text field as stored: leading and trailing bytes up to the space are dropped,
// then every line (broken at CR, LF or CR LF) is written with CR LF after it; "" stays "".
std::string EncodeTextLines(std::string_view text);

// Splits stored lines at CR, LF or CR LF; a final break does not start another line.
std::vector<std::string> DecodeTextLines(std::string_view data);

}  // namespace quirabel::designer::projectfile
