#include "designer/projectfile/page_text.h"
#include "designer/projectfile/project_split.h"
#include "graphics/image_error.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace quirabel::designer::projectfile {

namespace {

constexpr std::size_t kNpos = std::string_view::npos;

constexpr std::string_view kVersion = "<kx-2.2>";
constexpr std::string_view kVersionEnd = "<vs>";
constexpr std::string_view kGuideLinesEnd = "</kxlines>";
constexpr std::string_view kData = "<kxdata>";
constexpr std::string_view kElementEnd = "</kxelement>";
constexpr std::string_view kOrderMarkEnd = "</kxpaymerk>";
constexpr std::string_view kHeaderEnd = "</kxheader>";
constexpr std::string_view kPageEnd = kEndOfFile;

// Opening tags are all this long; the three letters after "<kxelement " name the kind.
constexpr std::size_t kOpeningTagSize = 15;
constexpr std::size_t kKindOffset = 11;
constexpr std::string_view kOpeningTagStart = "<kxelement ";
constexpr std::string_view kRectTag = "<kxelement REC>";
constexpr std::string_view kLabelTag = "<kxelement LAB>";
constexpr std::string_view kTextTag = "<kxelement TEX>";
constexpr std::string_view kJpegTag = "<kxelement IMG>";
constexpr std::string_view kBitmapTag = "<kxelement BMP>";
constexpr std::string_view kCodeTag = "<kxelement COD>";
constexpr std::string_view kEllipseTag = "<kxelement ELL>";

// A code's content beyond this is no content a symbol can hold, but a damaged or made-up file.
constexpr std::size_t kMaxCodeContent = 64 * 1024;

struct TextField {
  std::string PageHeader::*value;
  std::string_view end;
};
constexpr TextField kTextFields[] = {
    {&PageHeader::projectNumber, "</kxnummer>"}, {&PageHeader::documentId, "</kxint>"},
    {&PageHeader::title, "</kxtitel>"},          {&PageHeader::subject, "</kxthema>"},
    {&PageHeader::author, "</kxautor>"},         {&PageHeader::keywords, "</kxkeywords>"},
    {&PageHeader::docType, "</kxdoctype>"},      {&PageHeader::heightMm, "</kxheight>"},
    {&PageHeader::widthMm, "</kxwidth>"},
};

struct CountField {
  std::uint8_t PageHeader::*value;
  std::string_view end;
};
constexpr CountField kCountFields[] = {
    {&PageHeader::verticalFolds, "</kxvbl>"},
    {&PageHeader::horizontalFolds, "</kxhbl>"},
    {&PageHeader::verticalPerforations, "</kxsvbl>"},
    {&PageHeader::horizontalPerforations, "</kxshbl>"},
};

[[noreturn]] void Damaged(const std::string& what) {
  throw ProjectFileError("Die Seite ist beschädigt: " + what + ".");
}

std::string Quoted(std::string_view tag) { return "„" + std::string(tag) + "“"; }

[[noreturn]] void MissingEnd(std::string_view tag) {
  Damaged("das Ende von " + Quoted(tag) + " fehlt");
}

// Where the writer's bytes go: into a string, or compared with bytes already there.
class StringSink {
 public:
  explicit StringSink(std::string& out) : out_(out) {}
  void Add(std::string_view bytes) { out_ += bytes; }
  void Add(char c) { out_ += c; }

 private:
  std::string& out_;
};

// Compares what the writer would write with existing bytes, without writing it. Picture bytes
// that are the very piece of the existing bytes at that place are not compared again: a page
// read and written back unchanged costs a walk over its records only.
class MatchSink {
 public:
  explicit MatchSink(std::string_view expected) : expected_(expected) {}
  void Add(std::string_view bytes) {
    if (!same_) return;
    if (bytes.size() > expected_.size() - pos_) {
      same_ = false;
      return;
    }
    const char* at = expected_.data() + pos_;
    // An empty piece may have no address at all, which memcmp must not be given.
    same_ = bytes.empty() || bytes.data() == at || std::memcmp(bytes.data(), at, bytes.size()) == 0;
    pos_ += bytes.size();
  }
  void Add(char c) { Add(std::string_view(&c, 1)); }
  bool Same() const { return same_ && pos_ == expected_.size(); }

 private:
  std::string_view expected_;
  std::size_t pos_ = 0;
  bool same_ = true;
};

// How each kind's block is written: its opening tag, which record it holds (the index in
// ElementBlock::record) and whether data follows the record.
struct BlockForm {
  ElementKind kind;
  std::string_view tag;
  std::size_t record;
  bool data;
};
constexpr BlockForm kBlockForms[] = {
    {ElementKind::Rect, kRectTag, 0, false},       {ElementKind::Label, kLabelTag, 1, false},
    {ElementKind::Text, kTextTag, 2, true},        {ElementKind::Jpeg, kJpegTag, 3, true},
    {ElementKind::Bitmap, kBitmapTag, 3, true},    {ElementKind::Code, kCodeTag, 4, true},
    {ElementKind::Ellipse, kEllipseTag, 0, false},
};

template <class Sink>
void AppendBlock(Sink& out, const ElementBlock& block) {
  const auto form = std::find_if(std::begin(kBlockForms), std::end(kBlockForms),
                                 [&](const BlockForm& f) { return f.kind == block.kind; });
  if (form == std::end(kBlockForms)) throw std::invalid_argument("unknown element kind");
  if (block.record.index() != form->record)
    throw std::invalid_argument("element record does not match its kind");
  out.Add(form->tag);
  std::visit([&](const auto& record) { out.Add(Encode(record)); }, block.record);
  if (form->data) {
    out.Add(kData);
    out.Add(block.data);
  }
  out.Add(kElementEnd);
}

template <class Sink>
void WritePage(Sink& out, const PageText& page) {
  out.Add(kVersion);
  out.Add(kVersionEnd);
  for (const TextField& field : kTextFields) {
    out.Add(page.header.*field.value);
    out.Add(field.end);
  }
  for (const CountField& field : kCountFields) {
    out.Add(std::to_string(page.header.*field.value));
    out.Add(field.end);
  }
  out.Add(page.header.guideLines);
  out.Add(kGuideLinesEnd);

  out.Add(Encode(page.background));
  out.Add(kData);
  out.Add(page.backgroundJpeg);
  out.Add(kElementEnd);
  out.Add(page.orderMark);
  out.Add(kOrderMarkEnd);
  out.Add(kHeaderEnd);

  for (const ElementBlock& block : page.elements) AppendBlock(out, block);
}

// Where pictures end by their own structure, so that tag text inside picture bytes does not cut
// them short.
//
// A picture's structure may only use the bytes before the first closing tag that is followed by
// what the writer puts after a picture: the next element, the end of the page, or the order
// mark. Otherwise a damaged picture could reach into the blocks after it, and its end would
// depend on bytes that writing the page tidies up (records, skipped blocks), so a page we wrote
// could read back differently.
//
// One instance serves a whole page. Pictures on a damaged page may share those bytes, so JPEG
// walks remember where they went, and a later walk that reaches the same marker reuses the
// answer instead of walking the rest of the page again.
class PictureExtents {
 public:
  explicit PictureExtents(std::string_view text) : text_(text) {}

  // The position just after the picture that starts at `start`, or kNpos when its structure
  // does not say (not a JPEG or BMP, or damaged). Starts must not go backwards.
  std::size_t End(std::size_t start) {
    if (const std::optional<std::size_t> end = WatchedJpegEnd(start)) return *end;
    const std::size_t limit = Limit(start);
    if (limit != limit_) {
      memo_.clear();  // answers hold for one limit only
      limit_ = limit;
    }
    const std::size_t left = limit - start;
    if (left >= 2 && Byte(start) == 0xFF && Byte(start + 1) == 0xD8) {
      if (const std::optional<graphics::JpegLayout> layout = CheckedJpeg(start, limit)) {
        return start + layout->end;
      }
      return JpegEnd(start + 2);
    }
    if (left >= 6 && text_[start] == 'B' && text_[start + 1] == 'M') {
      const std::uint32_t size = Byte(start + 2) | Byte(start + 3) << 8 | Byte(start + 4) << 16 |
                                 static_cast<std::uint32_t>(Byte(start + 5)) << 24;
      if (size >= 26 && size <= left) return start + size;
    }
    return kNpos;
  }

 private:
  // Remembering every marker would cost memory on long runs of fill bytes; remembering every
  // 16th still bounds how far a later walk goes over known ground.
  static constexpr std::size_t kMemoStride = 16;

  std::uint32_t Byte(std::size_t i) const { return static_cast<unsigned char>(text_[i]); }

  // The end of the bytes a picture starting at `start` may use (see above). Later starts reuse
  // the last answer while it still lies ahead, so the page is searched once.
  std::size_t Limit(std::size_t start) {
    if (start >= limitFrom_ && start <= limitEnd_) return limitEnd_;
    std::size_t tag = Find(start);
    while (tag != kNpos && !EndsPicture(tag)) tag = Find(tag + kElementEnd.size());
    limitFrom_ = start;
    limitEnd_ = tag == kNpos ? text_.size() : tag;
    return limitEnd_;
  }

  std::size_t Find(std::size_t from) const {
    if (from > text_.size()) return kNpos;
    const std::size_t at = FindTag(text_.substr(from), kElementEnd);
    return at == kNpos ? kNpos : from + at;
  }

  // A whole, sound JPEG at `start` (CheckJpegStructure on the bytes up to `limit`): the walk that
  // finds its end also checks it, and what it found is kept for whoever loads the picture, so
  // its markers are read once. Bytes an earlier such walk went over are not walked again (they
  // belong to a damaged picture that pictures after it share): there the page's own walk below,
  // which remembers where it went, answers alone.
  std::optional<graphics::JpegLayout> CheckedJpeg(std::size_t start, std::size_t limit) {
    if (start < checkedUpTo_) return std::nullopt;
    try {
      const graphics::JpegLayout layout =
          graphics::CheckJpegStructure(text_.substr(start, limit - start));
      checkedUpTo_ = start + layout.end;
      checked_ = {start, layout};
      return layout;
    } catch (const graphics::ImageError&) {
      checkedUpTo_ = limit;
      return std::nullopt;
    }
  }

  // A whole, sound JPEG at `start` whose bytes hold no closing tag that ends a picture: its end,
  // found as CheckedJpeg finds it, but by one walk that looks for those tags on its way instead
  // of a search for the limit first. Once a walk fails, the rest of the page goes the way above.
  std::optional<std::size_t> WatchedJpegEnd(std::size_t start) {
    if (!watchedWalks_ || start < checkedUpTo_ || start + 2 > text_.size() || Byte(start) != 0xFF ||
        Byte(start + 1) != 0xD8) {
      return std::nullopt;
    }
    try {
      const std::optional<graphics::JpegLayout> layout = graphics::CheckJpegStructureWatching(
          text_.substr(start), kElementEnd,
          [&](std::size_t tag) { return !EndsPicture(start + tag); });
      if (layout) {
        checkedUpTo_ = start + layout->end;
        checked_ = {start, *layout};
        return start + layout->end;
      }
    } catch (const graphics::ImageError&) {
    }
    watchedWalks_ = false;
    return std::nullopt;
  }

 public:
  // What CheckedJpeg found for the picture starting at `start`, if it walked that one.
  std::optional<graphics::JpegLayout> CheckedAt(std::size_t start) const {
    if (checked_ && checked_->first == start) return checked_->second;
    return std::nullopt;
  }

 private:
  bool EndsPicture(std::size_t tag) const {
    const std::string_view after = text_.substr(tag + kElementEnd.size());
    return after.empty() || after.starts_with(kOpeningTagStart) ||
           after.starts_with(kOrderMarkEnd) || after.substr(1).starts_with(kOrderMarkEnd);
  }

  // Walks the marker segments from `pos`, where a marker should start.
  std::size_t JpegEnd(std::size_t pos) {
    std::vector<std::size_t> visited;
    std::size_t result = kNpos;
    for (std::size_t step = 0;; ++step) {
      if (const auto known = memo_.find(pos); known != memo_.end()) {
        result = known->second;
        break;
      }
      if (step % kMemoStride == 0) visited.push_back(pos);
      const std::size_t next = NextMarker(pos, &result);
      if (next == kNpos) break;
      pos = next;
    }
    for (std::size_t p : visited) memo_[p] = result;
    return result;
  }

  // The marker after the one at `pos`, or kNpos with *end set when the picture ends here (after
  // EOI, or kNpos when the structure is broken).
  std::size_t NextMarker(std::size_t pos, std::size_t* end) {
    if (limit_ - pos < 2 || Byte(pos) != 0xFF) return kNpos;
    const std::uint32_t marker = Byte(pos + 1);
    if (marker == 0xFF) return pos + 1;  // fill byte
    if (marker == 0xD9) {
      *end = pos + 2;
      return kNpos;
    }
    if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) return pos + 2;
    if (marker == 0x00 || marker == 0xD8 || limit_ - pos < 4) return kNpos;
    const std::size_t length = Byte(pos + 2) << 8 | Byte(pos + 3);
    if (length < 2 || length > limit_ - pos - 2) return kNpos;
    const std::size_t next = pos + 2 + length;
    return marker == 0xDA ? NextScanMarker(next) : next;
  }

  // The first marker at or after `from` that ends entropy-coded data: FF followed by anything but
  // a stuffed zero, a restart marker or another FF.
  std::size_t NextScanMarker(std::size_t from) {
    if (!scanMarkersFound_) {
      for (std::size_t i = text_.find('\xFF'); i != kNpos && i + 1 < text_.size();
           i = text_.find('\xFF', i + 1)) {
        const std::uint32_t next = Byte(i + 1);
        if (next != 0x00 && next != 0xFF && (next < 0xD0 || next > 0xD7)) {
          scanMarkers_.push_back(i);
        }
      }
      scanMarkersFound_ = true;
    }
    const auto it = std::lower_bound(scanMarkers_.begin(), scanMarkers_.end(), from);
    return it == scanMarkers_.end() || *it + 1 >= limit_ ? kNpos : *it;
  }

  std::string_view text_;
  std::size_t limitFrom_ = kNpos;
  std::size_t limitEnd_ = kNpos;
  std::size_t limit_ = kNpos;
  std::unordered_map<std::size_t, std::size_t> memo_;
  std::vector<std::size_t> scanMarkers_;
  bool scanMarkersFound_ = false;
  std::size_t checkedUpTo_ = 0;
  bool watchedWalks_ = true;
  std::optional<std::pair<std::size_t, graphics::JpegLayout>> checked_;
};

// Reads a page text front to back; pos_ is where the next piece starts.
class PageReader {
 public:
  explicit PageReader(const SharedBytes& source)
      : source_(source), text_(source.View()), extents_(text_) {}

  PageText Read() {
    if (text_.empty()) throw ProjectFileError("Die Seite ist leer.");
    PageText page;
    // The version before "<vs>" is not compared: every version so far reads the same way.
    if (Find(kVersionEnd, 0) == kNpos) Damaged(Quoted(kVersionEnd) + " fehlt");
    UpTo(kVersionEnd);
    for (const TextField& field : kTextFields) page.header.*field.value = UpTo(field.end);
    for (const CountField& field : kCountFields) {
      page.header.*field.value = Count(UpTo(field.end), field.end);
    }
    page.header.guideLines = UpTo(kGuideLinesEnd);
    ReadBackground(page);
    const std::string_view mark = UpTo(kOrderMarkEnd);
    page.orderMark = mark.empty() ? '0' : mark.front();
    UpTo(kHeaderEnd);  // anything between the two tags is ignored
    // Blocks follow until no closing tag is left; bytes after the last block are ignored.
    for (std::size_t end = Find(kElementEnd, pos_); end != kNpos; end = Find(kElementEnd, pos_)) {
      ReadElement(page, end);
    }
    return page;
  }

 private:
  // Where a record and the "<kxdata>" after it leave the data; kNoData when there is no
  // "<kxdata>" at all, kShort when there is less than a record before it.
  enum class RecordStatus { kOk, kShort, kNoData };
  struct RecordPart {
    RecordStatus status;
    std::size_t dataStart;
  };

  std::size_t Find(std::string_view tag, std::size_t from) const {
    if (from > text_.size()) return kNpos;
    const std::size_t at = FindTag(text_.substr(from), tag);
    return at == kNpos ? kNpos : from + at;
  }
  bool At(std::size_t pos, std::string_view tag) const {
    return pos <= text_.size() && text_.substr(pos).starts_with(tag);
  }

  // The bytes from pos_ to the next `tag`, moving past the tag.
  std::string_view UpTo(std::string_view tag) {
    const std::size_t end = Find(tag, pos_);
    if (end == kNpos) MissingEnd(tag);
    const std::string_view value = text_.substr(pos_, end - pos_);
    pos_ = end + tag.size();
    return value;
  }

  static std::uint8_t Count(std::string_view digits, std::string_view tag) {
    bool valid = !digits.empty();
    unsigned value = 0;
    for (char c : digits) {
      if (c < '0' || c > '9' || (value = value * 10 + static_cast<unsigned>(c - '0')) > 255) {
        valid = false;
        break;
      }
    }
    if (!valid) Damaged("ungültige Zahl bei " + Quoted(tag));
    return static_cast<std::uint8_t>(value);
  }

  // A record of `size` bytes at `start` is normally followed by "<kxdata>" right away; older or
  // damaged pages are cut at the first "<kxdata>" before `limit` instead, and the record is the
  // start of what comes before it.
  RecordPart FindRecord(std::size_t start, std::size_t size, std::size_t limit) const {
    if (At(start + size, kData)) return {RecordStatus::kOk, start + size + kData.size()};
    limit = std::max(limit, start);
    const std::size_t found = text_.substr(start, limit - start).find(kData);
    if (found == kNpos) {
      return {limit - start < size ? RecordStatus::kShort : RecordStatus::kNoData, kNpos};
    }
    return {found < size ? RecordStatus::kShort : RecordStatus::kOk, start + found + kData.size()};
  }

  // The closing tag of the picture whose bytes start at `start`: right at the end its structure
  // gives, else the first one after that end (a picture cannot be shorter than its structure),
  // else, without a structure, the first one at all. kNpos when there is none.
  std::size_t FindPictureEnd(std::size_t start) {
    const std::size_t end = extents_.End(start);
    if (end != kNpos && At(end, kElementEnd)) return end;
    return Find(kElementEnd, end != kNpos ? end : start);
  }

  // The picture whose bytes start at `start`, and its JPEG structure when finding its end
  // checked it.
  SharedBytes ReadPicture(std::size_t start, std::optional<graphics::JpegLayout>& checked) {
    const std::size_t end = FindPictureEnd(start);
    if (end == kNpos) MissingEnd(kElementEnd);
    pos_ = end + kElementEnd.size();
    // The walk stopped at the end of image; bytes after it (up to a later closing tag) stay with
    // the picture and do not change what a check of the picture finds.
    checked = extents_.CheckedAt(start);
    if (checked && start + checked->end > end) checked.reset();
    return source_.Sub(start, end - start);
  }

  void ReadBackground(PageText& page) {
    const RecordPart part = FindRecord(pos_, kImageRecordSize, text_.size());
    if (part.status == RecordStatus::kShort) Damaged("der Hintergrund ist zu kurz");
    if (part.status == RecordStatus::kNoData) Damaged("beim Hintergrund fehlt " + Quoted(kData));
    page.background = DecodeImage(text_.substr(pos_));
    page.backgroundJpeg = ReadPicture(part.dataStart, page.checkedBackground);
  }

  // A record with nothing after it: normally its closing tag follows right away; otherwise the
  // block ends at `end`, the first closing tag, and the record is the start of the block.
  std::string_view FixedRecord(std::size_t start, std::size_t size, std::size_t end) {
    if (At(start + size, kElementEnd)) {
      pos_ = start + size + kElementEnd.size();
    } else {
      if (end < start || end - start < size) Damaged("ein Element ist zu kurz");
      pos_ = end + kElementEnd.size();
    }
    return text_.substr(start, size);
  }

  // Reads the block at pos_; `end` is the first closing tag after pos_.
  void ReadElement(PageText& page, std::size_t end) {
    const std::size_t body = std::min(pos_ + kOpeningTagSize, text_.size());
    const std::string_view kind =
        pos_ + kKindOffset + 3 <= text_.size() ? text_.substr(pos_ + kKindOffset, 3) : "";
    ElementBlock block;
    if (kind == "REC" || kind == "ELL") {
      block.kind = kind == "REC" ? ElementKind::Rect : ElementKind::Ellipse;
      block.record = DecodeRect(FixedRecord(body, kRectRecordSize, end));
    } else if (kind == "LAB") {
      block.kind = ElementKind::Label;
      block.record = DecodeLabel(FixedRecord(body, kLabelRecordSize, end));
    } else if (kind == "TEX") {
      const RecordPart part = FindRecord(body, kTextRecordSize, end);
      RequireRecord(part);
      block.kind = ElementKind::Text;
      block.record = DecodeText(text_.substr(body));
      const std::size_t close = Find(kElementEnd, part.dataStart);
      if (close == kNpos) MissingEnd(kElementEnd);
      block.data = source_.Sub(part.dataStart, close - part.dataStart);
      pos_ = close + kElementEnd.size();
    } else if (kind == "IMG" || kind == "BMP") {
      block.kind = kind == "IMG" ? ElementKind::Jpeg : ElementKind::Bitmap;
      const RecordPart part = FindRecord(body, kImageRecordSize, end);
      if (block.kind == ElementKind::Bitmap && part.status == RecordStatus::kShort) {
        // Not fatal: the page is usable without the picture, and the caller shows a placeholder
        // for it. Skip the picture by its structure when there is one.
        ++page.skippedBitmapBlocks;
        const std::size_t close = part.dataStart == kNpos ? kNpos : FindPictureEnd(part.dataStart);
        pos_ = (close == kNpos ? end : close) + kElementEnd.size();
        return;
      }
      RequireRecord(part);
      block.record = DecodeImage(text_.substr(body));
      block.data = ReadPicture(part.dataStart, block.checkedJpeg);
    } else if (kind == "COD") {
      const RecordPart part = FindRecord(body, kCodeRecordSize, end);
      RequireRecord(part);
      block.kind = ElementKind::Code;
      const CodeRecord record = DecodeCode(text_.substr(body));
      if (record.codeKind > kCodeEan13 || record.correction > kCorrectionH)
        Damaged("ein Code hat eine unbekannte Art");
      block.record = record;
      const std::size_t close = Find(kElementEnd, part.dataStart);
      if (close == kNpos) MissingEnd(kElementEnd);
      if (close - part.dataStart > kMaxCodeContent) Damaged("der Inhalt eines Codes ist zu lang");
      block.data = source_.Sub(part.dataStart, close - part.dataStart);
      pos_ = close + kElementEnd.size();
    } else {
      pos_ = end + kElementEnd.size();  // a kind this version does not know
      ++page.skippedUnknownBlocks;
      return;
    }
    page.elements.push_back(std::move(block));
  }

  static void RequireRecord(const RecordPart& part) {
    if (part.status == RecordStatus::kShort) Damaged("ein Element ist zu kurz");
    if (part.status == RecordStatus::kNoData) Damaged("in einem Element fehlt " + Quoted(kData));
  }

  SharedBytes source_;
  std::string_view text_;
  std::size_t pos_ = 0;
  PictureExtents extents_;
};

}  // namespace

std::string WritePageText(const PageText& page) {
  std::size_t size = 512 + page.backgroundJpeg.size();
  for (const ElementBlock& block : page.elements) size += 512 + block.data.size();
  std::string out;
  out.reserve(size);
  StringSink sink(out);
  WritePage(sink, page);
  return out;
}

bool WritesAs(const PageText& page, std::string_view bytes) {
  MatchSink sink(bytes);
  WritePage(sink, page);
  return sink.Same();
}

PageText ReadPageText(const SharedBytes& bytes) { return PageReader(bytes).Read(); }

PageText ReadPageText(std::string_view bytes) {
  return ReadPageText(SharedBytes(std::string(bytes)));
}

PageText ReadPageText(const std::string& bytes) { return ReadPageText(std::string_view(bytes)); }

std::vector<std::string> SplitProject(std::string_view file) {
  std::vector<std::string> pages;
  for (std::string_view page : SplitProjectViews(file)) pages.emplace_back(page);
  return pages;
}

std::string JoinProject(const std::vector<std::string>& pageTexts) {
  std::string out;
  for (const std::string& text : pageTexts) {
    out += text;
    out += kPageEnd;
  }
  return out;
}

}  // namespace quirabel::designer::projectfile
