#include "designer/projectfile/records.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace quirabel::designer::projectfile {

namespace {

// Fills a zeroed buffer of the record's size at given offsets; whatever is not written stays zero,
// which is how reserved bytes and the room after a text are stored.
class RecordWriter {
 public:
  explicit RecordWriter(std::size_t size) : bytes_(size, '\0') {}

  void Int32(std::size_t offset, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes_[offset + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  }
  void Single(std::size_t offset, float value) {
    Int32(offset, std::bit_cast<std::int32_t>(value));
  }
  void Byte(std::size_t offset, std::uint8_t value) { bytes_[offset] = static_cast<char>(value); }
  void Bool(std::size_t offset, bool value) { Byte(offset, value ? 1 : 0); }
  // A length byte, then room for maxLength bytes; longer texts are cut.
  void Str(std::size_t offset, std::size_t maxLength, const std::string& text) {
    const std::size_t length = std::min(text.size(), maxLength);
    Byte(offset, static_cast<std::uint8_t>(length));
    std::copy_n(text.data(), length, bytes_.begin() + static_cast<std::ptrdiff_t>(offset + 1));
  }

  std::string Take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

class RecordReader {
 public:
  RecordReader(std::string_view bytes, std::size_t size) : bytes_(bytes) {
    if (bytes.size() < size)
      throw ProjectFileError("Die Seite ist beschädigt: ein Element ist zu kurz.");
  }

  std::uint8_t Byte(std::size_t offset) const { return static_cast<std::uint8_t>(bytes_[offset]); }
  std::int32_t Int32(std::size_t offset) const {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(Byte(offset + i)) << (8 * i);
    return static_cast<std::int32_t>(v);
  }
  float Single(std::size_t offset) const { return std::bit_cast<float>(Int32(offset)); }
  bool Bool(std::size_t offset) const { return Byte(offset) != 0; }
  // Bytes after the text are ignored; a length byte past the room is taken as the room.
  std::string Str(std::size_t offset, std::size_t maxLength) const {
    const std::size_t length = std::min<std::size_t>(Byte(offset), maxLength);
    return std::string(bytes_.substr(offset + 1, length));
  }

 private:
  std::string_view bytes_;
};

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

std::string Encode(const RectRecord& r) {
  RecordWriter w(kRectRecordSize);
  w.Str(0, kMaxNameLength, r.name);
  w.Int32(44, r.fillColor);
  w.Int32(48, r.lineColor);
  w.Int32(52, r.top);
  w.Int32(56, r.left);
  w.Int32(60, r.height);
  w.Int32(64, r.width);
  w.Single(68, r.lineWidth);
  return w.Take();
}

RectRecord DecodeRect(std::string_view bytes) {
  const RecordReader in(bytes, kRectRecordSize);
  RectRecord r;
  r.name = in.Str(0, kMaxNameLength);
  r.fillColor = in.Int32(44);
  r.lineColor = in.Int32(48);
  r.top = in.Int32(52);
  r.left = in.Int32(56);
  r.height = in.Int32(60);
  r.width = in.Int32(64);
  r.lineWidth = in.Single(68);
  return r;
}

std::string Encode(const LabelRecord& r) {
  RecordWriter w(kLabelRecordSize);
  w.Str(0, kMaxNameLength, r.name);
  w.Str(41, kMaxNameLength, r.dataField);
  w.Byte(82, r.fontName);
  w.Byte(83, r.alignment);
  w.Single(84, r.fontSize);
  w.Int32(88, r.fontColor);
  w.Bool(92, r.fontBold);
  w.Bool(93, r.fontItalic);
  w.Single(96, r.charSpace);
  w.Int32(100, r.top);
  w.Int32(104, r.left);
  w.Int32(108, r.height);
  w.Int32(112, r.width);
  w.Str(116, kMaxCaptionLength, r.text);
  return w.Take();
}

LabelRecord DecodeLabel(std::string_view bytes) {
  const RecordReader in(bytes, kLabelRecordSize);
  LabelRecord r;
  r.name = in.Str(0, kMaxNameLength);
  r.dataField = in.Str(41, kMaxNameLength);
  r.fontName = in.Byte(82);
  r.alignment = in.Byte(83);
  r.fontSize = in.Single(84);
  r.fontColor = in.Int32(88);
  r.fontBold = in.Bool(92);
  r.fontItalic = in.Bool(93);
  r.charSpace = in.Single(96);
  r.top = in.Int32(100);
  r.left = in.Int32(104);
  r.height = in.Int32(108);
  r.width = in.Int32(112);
  r.text = in.Str(116, kMaxCaptionLength);
  return r;
}

std::string Encode(const TextRecord& r) {
  RecordWriter w(kTextRecordSize);
  w.Str(0, kMaxNameLength, r.name);
  w.Str(41, kMaxNameLength, r.dataField);
  w.Byte(82, r.fontName);
  w.Single(84, r.fontSize);
  w.Int32(88, r.fontColor);
  w.Bool(92, r.fontBold);
  w.Bool(93, r.fontItalic);
  w.Single(96, r.charSpace);
  w.Int32(100, r.top);
  w.Int32(104, r.left);
  w.Int32(108, r.height);
  w.Int32(112, r.width);
  w.Single(116, r.leading);
  return w.Take();
}

TextRecord DecodeText(std::string_view bytes) {
  const RecordReader in(bytes, kTextRecordSize);
  TextRecord r;
  r.name = in.Str(0, kMaxNameLength);
  r.dataField = in.Str(41, kMaxNameLength);
  r.fontName = in.Byte(82);
  r.fontSize = in.Single(84);
  r.fontColor = in.Int32(88);
  r.fontBold = in.Bool(92);
  r.fontItalic = in.Bool(93);
  r.charSpace = in.Single(96);
  r.top = in.Int32(100);
  r.left = in.Int32(104);
  r.height = in.Int32(108);
  r.width = in.Int32(112);
  r.leading = in.Single(116);
  return r;
}

std::string Encode(const ImageRecord& r) {
  RecordWriter w(kImageRecordSize);
  w.Str(0, kMaxNameLength, r.name);
  w.Int32(52, r.color);
  w.Int32(56, r.top);
  w.Int32(60, r.left);
  w.Int32(64, r.height);
  w.Int32(68, r.width);
  return w.Take();
}

ImageRecord DecodeImage(std::string_view bytes) {
  const RecordReader in(bytes, kImageRecordSize);
  ImageRecord r;
  r.name = in.Str(0, kMaxNameLength);
  r.color = in.Int32(52);
  r.top = in.Int32(56);
  r.left = in.Int32(60);
  r.height = in.Int32(64);
  r.width = in.Int32(68);
  return r;
}

std::string EncodeTextLines(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  std::string out;
  out.reserve(text.size() + 2);
  for (const std::string& line : DecodeTextLines(text)) {
    out += line;
    out += "\r\n";
  }
  return out;
}

std::vector<std::string> DecodeTextLines(std::string_view data) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < data.size()) {
    const std::size_t end = data.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(data.substr(start));
      break;
    }
    lines.emplace_back(data.substr(start, end - start));
    start = end + 1;
    if (data[end] == '\r' && start < data.size() && data[start] == '\n') ++start;
  }
  return lines;
}

}  // namespace quirabel::designer::projectfile
