#include "designer/projectfile/records.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "designer/projectfile/file_text.h"

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
  // A length byte, then room for maxLength bytes; longer texts are cut, never inside a numeric
  // reference.
  void Str(std::size_t offset, std::size_t maxLength, const std::string& text) {
    const std::size_t length = CutFileText(text, maxLength);
    Byte(offset, static_cast<std::uint8_t>(length));
    std::copy_n(text.data(), length, bytes_.begin() + static_cast<std::ptrdiff_t>(offset + 1));
  }

  std::string Take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

// Reads the fields a layout names into a record: the writer's calls, with the values as targets.
class RecordReader {
 public:
  RecordReader(std::string_view bytes, std::size_t size) : bytes_(bytes) {
    if (bytes.size() < size)
      throw ProjectFileError("Die Seite ist beschädigt: ein Element ist zu kurz.");
  }

  void Int32(std::size_t offset, std::int32_t& value) const { value = Int32At(offset); }
  void Single(std::size_t offset, float& value) const {
    value = std::bit_cast<float>(Int32At(offset));
  }
  void Byte(std::size_t offset, std::uint8_t& value) const { value = ByteAt(offset); }
  void Bool(std::size_t offset, bool& value) const { value = ByteAt(offset) != 0; }
  // Bytes after the text are ignored; a length byte past the room is taken as the room.
  void Str(std::size_t offset, std::size_t maxLength, std::string& text) const {
    const std::size_t length = std::min<std::size_t>(ByteAt(offset), maxLength);
    text = std::string(bytes_.substr(offset + 1, length));
  }

 private:
  std::uint8_t ByteAt(std::size_t offset) const {
    return static_cast<std::uint8_t>(bytes_[offset]);
  }
  std::int32_t Int32At(std::size_t offset) const {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(ByteAt(offset + i)) << (8 * i);
    return static_cast<std::int32_t>(v);
  }

  std::string_view bytes_;
};

// Each record's layout, written once for both directions: Io is a RecordWriter with a const
// record or a RecordReader with one to fill.
template <class Io, class Record>
void RectLayout(Io& io, Record& r) {
  io.Str(0, kMaxNameLength, r.name);
  io.Int32(44, r.fillColor);
  io.Int32(48, r.lineColor);
  io.Int32(52, r.top);
  io.Int32(56, r.left);
  io.Int32(60, r.height);
  io.Int32(64, r.width);
  io.Single(68, r.lineWidth);
}

// What text lines and text fields share: name, data field, font and bounds.
template <class Io, class Record>
void TextElementLayout(Io& io, Record& r) {
  io.Str(0, kMaxNameLength, r.name);
  io.Str(41, kMaxNameLength, r.dataField);
  io.Byte(82, r.fontName);
  io.Single(84, r.fontSize);
  io.Int32(88, r.fontColor);
  io.Bool(92, r.fontBold);
  io.Bool(93, r.fontItalic);
  io.Single(96, r.charSpace);
  io.Int32(100, r.top);
  io.Int32(104, r.left);
  io.Int32(108, r.height);
  io.Int32(112, r.width);
}

template <class Io, class Record>
void LabelLayout(Io& io, Record& r) {
  TextElementLayout(io, r);
  io.Byte(83, r.alignment);
  io.Str(116, kMaxCaptionLength, r.text);
}

template <class Io, class Record>
void TextLayout(Io& io, Record& r) {
  TextElementLayout(io, r);
  io.Single(116, r.leading);
}

template <class Io, class Record>
void ImageLayout(Io& io, Record& r) {
  io.Str(0, kMaxNameLength, r.name);
  io.Int32(52, r.color);
  io.Int32(56, r.top);
  io.Int32(60, r.left);
  io.Int32(64, r.height);
  io.Int32(68, r.width);
  io.Bool(72, r.fromPng);
}

template <class Io, class Record>
void CodeLayout(Io& io, Record& r) {
  io.Str(0, kMaxNameLength, r.name);
  io.Int32(44, r.top);
  io.Int32(48, r.left);
  io.Int32(52, r.height);
  io.Int32(56, r.width);
  io.Int32(60, r.color);
  io.Byte(64, r.codeKind);
  io.Byte(65, r.correction);
}

constexpr std::string_view kEscapedOpening = "&#60;";

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

std::string Encode(const RectRecord& r) {
  RecordWriter w(kRectRecordSize);
  RectLayout(w, r);
  return w.Take();
}

RectRecord DecodeRect(std::string_view bytes) {
  RectRecord r;
  const RecordReader in(bytes, kRectRecordSize);
  RectLayout(in, r);
  return r;
}

std::string Encode(const LabelRecord& r) {
  RecordWriter w(kLabelRecordSize);
  LabelLayout(w, r);
  return w.Take();
}

LabelRecord DecodeLabel(std::string_view bytes) {
  LabelRecord r;
  const RecordReader in(bytes, kLabelRecordSize);
  LabelLayout(in, r);
  return r;
}

std::string Encode(const TextRecord& r) {
  RecordWriter w(kTextRecordSize);
  TextLayout(w, r);
  return w.Take();
}

TextRecord DecodeText(std::string_view bytes) {
  TextRecord r;
  const RecordReader in(bytes, kTextRecordSize);
  TextLayout(in, r);
  return r;
}

std::string Encode(const ImageRecord& r) {
  RecordWriter w(kImageRecordSize);
  ImageLayout(w, r);
  return w.Take();
}

ImageRecord DecodeImage(std::string_view bytes) {
  ImageRecord r;
  const RecordReader in(bytes, kImageRecordSize);
  ImageLayout(in, r);
  return r;
}

std::string Encode(const CodeRecord& r) {
  RecordWriter w(kCodeRecordSize);
  CodeLayout(w, r);
  return w.Take();
}

CodeRecord DecodeCode(std::string_view bytes) {
  CodeRecord r;
  const RecordReader in(bytes, kCodeRecordSize);
  CodeLayout(in, r);
  return r;
}

std::string EncodeCodeContent(std::string_view utf8) {
  const std::string bytes = ToFileText(utf8);
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    if (c == '<') {
      out += kEscapedOpening;
    } else {
      out += c;
    }
  }
  return out;
}

// ToFileText writes a typed "&#" as "&#38;#", so "&#60;" in stored bytes is always an escaped
// '<'.
std::string DecodeCodeContent(std::string_view bytes) {
  std::string opened;
  opened.reserve(bytes.size());
  for (std::size_t pos = 0; pos < bytes.size();) {
    if (bytes.substr(pos).starts_with(kEscapedOpening)) {
      opened += '<';
      pos += kEscapedOpening.size();
    } else {
      opened += bytes[pos++];
    }
  }
  return FromFileText(opened);
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
