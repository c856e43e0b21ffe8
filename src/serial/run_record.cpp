#include "serial/run_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <iterator>
#include <nlohmann/json.hpp>
#include <random>

#include "base/atomic_file.h"
#include "base/name_folding.h"
#include "base/regular_file.h"
#include "base/sha256.h"
#include "serial/serial_error.h"

namespace quirabel::serial {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kPrefix = "quirabel-serie";
constexpr std::string_view kSuffix = ".json";

std::string Dump(const Json& value) {
  // Paths on Linux are bytes; a name that is no UTF-8 is written with replacement characters
  // rather than refused.
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

[[noreturn]] void Damaged(std::string_view why) {
  throw SerialError("Die Serien-PDF-Liste ist beschädigt: " + std::string(why) + ".");
}

const Json& Member(const Json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end()) Damaged(std::string("\"") + key + "\" fehlt");
  return *it;
}

std::string Text(const Json& object, const char* key) {
  const Json& value = Member(object, key);
  if (!value.is_string()) Damaged(std::string("\"") + key + "\" ist kein Text");
  return value.get<std::string>();
}

std::uint64_t Count(const Json& object, const char* key) {
  const Json& value = Member(object, key);
  if (!value.is_number_unsigned()) Damaged(std::string("\"") + key + "\" ist keine Zahl");
  return value.get<std::uint64_t>();
}

const Json& Object(const Json& object, const char* key) {
  const Json& value = Member(object, key);
  if (!value.is_object()) Damaged(std::string("\"") + key + "\" ist kein Objekt");
  return value;
}

bool IsHexDigest(const std::string& text) {
  return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

RunRecordRow RowFrom(const Json& entry) {
  if (!entry.is_object()) Damaged("ein Zeileneintrag ist kein Objekt");
  RunRecordRow row;
  row.row = Count(entry, "row");
  if (row.row == 0) Damaged("Zeile 0");
  if (entry.contains("error")) {
    row.error = Text(entry, "error");
    if (row.error.empty()) Damaged("leerer Fehlertext");
    if (entry.contains("skipped")) {
      if (!entry["skipped"].is_boolean()) Damaged("\"skipped\" ist kein Wahrheitswert");
      row.skipped = entry["skipped"].get<bool>();
    }
    return row;
  }
  row.file = Text(entry, "file");
  row.cellsSha256 = Text(entry, "cells_sha256");
  row.pdfSha256 = Text(entry, "pdf_sha256");
  if (row.file.empty() || row.file.find('/') != std::string::npos || row.file == "." ||
      row.file == "..") {
    Damaged("ungültiger Dateiname");
  }
  if (!IsHexDigest(row.cellsSha256) || !IsHexDigest(row.pdfSha256)) {
    Damaged("ungültige Prüfsumme");
  }
  if (entry.contains("pdf_size")) row.pdfSize = Count(entry, "pdf_size");
  return row;
}

RunRecordHeader HeaderFrom(const Json& record) {
  if (!record.is_object()) Damaged("kein Objekt");
  if (Text(record, "format") != kRunRecordFormat) Damaged("falsches Format");
  if (Count(record, "version") != static_cast<std::uint64_t>(kRunRecordVersion)) {
    Damaged("unbekannte Version");
  }
  RunRecordHeader header;
  header.runId = Text(record, "run_id");
  header.time = Text(record, "time");
  const Json& project = Object(record, "project");
  header.projectFile = Text(project, "file");
  header.projectNumber = Text(project, "number");
  const Json& csv = Object(record, "csv");
  header.csvFile = Text(csv, "file");
  header.csvSize = Count(csv, "size");
  header.csvModified = Text(csv, "modified");
  header.csvRows = Count(csv, "rows");
  const Json& link = Object(record, "link");
  header.linkFile = Text(link, "file");
  const Json& assignments = Member(link, "assignments");
  if (!assignments.is_array()) Damaged("\"assignments\" ist keine Liste");
  for (const Json& entry : assignments) {
    if (!entry.is_string()) Damaged("eine Zuordnung ist kein Text");
    header.assignments.push_back(entry.get<std::string>());
  }
  const Json& range = Object(record, "range");
  header.firstRow = Count(range, "first");
  header.lastRow = Count(range, "last");
  if (!Member(record, "rows").is_array()) Damaged("\"rows\" ist keine Liste");
  if (record.contains("stopped")) header.stopped = Text(record, "stopped");
  return header;
}

// The bytes of a record as the parser takes them, checked on the way: a text longer than
// kMaxRunRecordText, a number or word longer than any a record holds, or nesting deeper than a
// record's refuse the record before the parser gathers them.
class GuardedInput {
 public:
  explicit GuardedInput(std::string_view bytes) : data_(bytes) {}
  explicit GuardedInput(int fd) : fd_(fd), buffer_(1 << 16, '\0') {}

  bool AtEnd() {
    if (position_ < data_.size()) return false;
    if (fd_ < 0) return true;
    for (;;) {
      const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) throw FileError("read", "", errno);
      data_ = std::string_view(buffer_.data(), static_cast<std::size_t>(got));
      position_ = 0;
      return got == 0;
    }
  }
  char Current() const { return data_[position_]; }
  void Advance() {
    Check(data_[position_]);
    ++position_;
  }

 private:
  static constexpr int kMaxDepth = 3;   // record, "rows", row entry
  static constexpr int kMaxWord = 32;  // numbers, true, false, null

  void Check(char c) {
    if (inText_) {
      if (escaped_) {
        escaped_ = false;
        hexLeft_ = c == 'u' ? 4 : 0;
        ++length_;
      } else if (hexLeft_ > 0) {
        --hexLeft_;
      } else if (c == '\\') {
        escaped_ = true;
      } else if (c == '"') {
        inText_ = false;
      } else {
        ++length_;
      }
      if (length_ > kMaxRunRecordText) Damaged("ein Text ist zu lang");
      return;
    }
    switch (c) {
      case '"':
        inText_ = true;
        length_ = 0;
        word_ = 0;
        return;
      case '{':
      case '[':
        if (++depth_ > kMaxDepth) Damaged("zu tief geschachtelt");
        word_ = 0;
        return;
      case '}':
      case ']':
        --depth_;
        word_ = 0;
        return;
      case ',':
      case ':':
      case ' ':
      case '\n':
      case '\r':
      case '\t':
        word_ = 0;
        return;
      default:
        if (++word_ > kMaxWord) Damaged("eine Zahl ist zu lang");
    }
  }

  int fd_ = -1;
  std::string buffer_;
  std::string_view data_;
  std::size_t position_ = 0;
  bool inText_ = false;
  bool escaped_ = false;
  int hexLeft_ = 0;
  std::size_t length_ = 0;
  int word_ = 0;
  int depth_ = 0;
};

// The parser's view of a GuardedInput: an input iterator whose end is wherever the input ends.
class GuardedIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = char;

  GuardedIterator() = default;
  explicit GuardedIterator(GuardedInput& input) : input_(&input) {}
  char operator*() const { return input_->Current(); }
  GuardedIterator& operator++() {
    input_->Advance();
    return *this;
  }
  bool operator==(const GuardedIterator& other) const { return Ended() == other.Ended(); }
  bool operator!=(const GuardedIterator& other) const { return !(*this == other); }

 private:
  bool Ended() const { return input_ == nullptr || input_->AtEnd(); }
  GuardedInput* input_ = nullptr;
};

bool KnownKey(int depth, const std::string& key) {
  static const std::vector<std::string> kTop = {"format", "version", "run_id", "time",   "project",
                                                "csv",    "link",    "range",  "rows",   "stopped"};
  static const std::vector<std::string> kInner = {
      "file", "number", "size",         "modified",   "rows",     "assignments", "first",
      "last", "row",    "cells_sha256", "pdf_sha256", "pdf_size", "error",       "skipped"};
  const auto& known = depth == 1 ? kTop : kInner;
  return std::find(known.begin(), known.end(), key) != known.end();
}

// How many link entries a record may list; a link file has one per data field.
constexpr std::size_t kMaxAssignments = 10000;

// Parses a record, handing each row entry on as soon as it is complete and dropping it, so a
// record of a million rows never stands in memory as a whole. Keys a record does not have are
// skipped unread.
RunRecordHeader Parse(GuardedInput& input, const std::function<void(const RunRecordRow&)>& onRow) {
  std::string topKey;
  std::size_t assignments = 0;
  Json record;
  try {
    record = Json::parse(
        GuardedIterator(input), GuardedIterator(),
        [&](int depth, Json::parse_event_t event, Json& parsed) {
          if (event == Json::parse_event_t::key) {
            const std::string key = parsed.is_string() ? parsed.get<std::string>() : std::string();
            if (depth == 1) topKey = key;
            return KnownKey(depth, key);
          }
          if (depth == 2 && topKey == "rows" &&
              (event == Json::parse_event_t::object_end || event == Json::parse_event_t::value)) {
            onRow(RowFrom(parsed));
            return false;
          }
          if (depth == 3 && topKey == "link" && event == Json::parse_event_t::value &&
              ++assignments > kMaxAssignments) {
            Damaged("zu viele Zuordnungen");
          }
          return true;
        },
        /*allow_exceptions=*/true);
  } catch (const Json::exception&) {
    Damaged("kein gültiges JSON");
  }
  return HeaderFrom(record);
}

// Cuts a text to at most `limit` bytes, not inside a UTF-8 sequence.
std::string Cut(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end) + "…";
}

}  // namespace

std::string RunRecordFileName(std::optional<std::pair<std::uint64_t, std::uint64_t>> range) {
  std::string name(kPrefix);
  if (range) {
    name += '-' + std::to_string(range->first) + '-' + std::to_string(range->second);
  }
  return name + std::string(kSuffix);
}

bool IsRunRecordFileName(std::string_view name) {
  if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) return false;
  std::string_view middle = name.substr(kPrefix.size());
  middle.remove_suffix(kSuffix.size());
  if (middle.empty()) return true;
  // "-A-B" with A and B decimal numbers.
  auto number = [](std::string_view& text) {
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
  };
  if (!middle.starts_with('-')) return false;
  middle.remove_prefix(1);
  if (!number(middle) || !middle.starts_with('-')) return false;
  middle.remove_prefix(1);
  return number(middle) && middle.empty();
}

std::string CellsSha256(const std::vector<std::string>& cells) {
  Sha256 hash;
  for (const std::string& cell : cells) {
    char length[8];
    std::uint64_t size = cell.size();
    for (char& byte : length) {
      byte = static_cast<char>(size & 0xff);
      size >>= 8;
    }
    hash.Add(std::string_view(length, sizeof length));
    hash.Add(cell);
  }
  return hash.HexDigest();
}

std::string NewRunId() {
  std::random_device device;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id;
  for (int i = 0; i < 4; ++i) {
    std::uint32_t value = device();
    for (int j = 0; j < 8; ++j) {
      id += kHex[value & 15];
      value >>= 4;
    }
  }
  return id;
}

RunRecordWriter::RunRecordWriter(const std::filesystem::path& file, const RunRecordHeader& header)
    : writer_(std::make_unique<AtomicFileWriter>(file, AtomicFileWriter::Leftovers::Tidy,
                                                 AtomicFileWriter::Links::Refuse)) {
  Json project = {{"file", header.projectFile}, {"number", header.projectNumber}};
  Json csv = {{"file", header.csvFile},
              {"size", header.csvSize},
              {"modified", header.csvModified},
              {"rows", header.csvRows}};
  Json link = {{"file", header.linkFile}, {"assignments", header.assignments}};
  Json range = {{"first", header.firstRow}, {"last", header.lastRow}};
  std::string head = "{\"format\":" + Dump(kRunRecordFormat) +
                     ",\"version\":" + std::to_string(kRunRecordVersion) +
                     ",\"run_id\":" + Dump(header.runId) + ",\"time\":" + Dump(header.time) +
                     ",\n\"project\":" + Dump(project) + ",\n\"csv\":" + Dump(csv) +
                     ",\n\"link\":" + Dump(link) + ",\n\"range\":" + Dump(range) + ",\n\"rows\":[";
  writer_->Write(head);
  // About what a row's line takes with a long name; an error line may take more, but few do.
  constexpr std::uint64_t kBytesPerRow = 320;
  if (header.lastRow >= header.firstRow)
    writer_->Reserve(head.size() + (header.lastRow - header.firstRow + 1) * kBytesPerRow + 4096);
  // On the disk at once: if the run is killed, the next one sees a dead writer's file, not one
  // just being made, and removes it.
  writer_->Flush();
}

RunRecordWriter::~RunRecordWriter() = default;

std::string RunRecordWriter::Entry(const RunRecordRow& row) {
  Json entry;
  entry["row"] = row.row;
  if (row.Written()) {
    entry["file"] = row.file;
    entry["cells_sha256"] = row.cellsSha256;
    entry["pdf_sha256"] = row.pdfSha256;
    if (row.pdfSize) entry["pdf_size"] = *row.pdfSize;
  } else {
    // Within what the reader takes, whatever a row's message says.
    entry["error"] = Cut(row.error, kMaxRunRecordText / 4);
    if (row.skipped) entry["skipped"] = true;
  }
  return Dump(entry);
}

void RunRecordWriter::Add(const RunRecordRow& row) { AddEntry(Entry(row)); }

void RunRecordWriter::AddEntry(std::string_view entry) {
  writer_->Write(first_ ? "\n" : ",\n");
  writer_->Write(entry);
  first_ = false;
}

void RunRecordWriter::Commit(std::string_view stopped) {
  writer_->Write(stopped.empty() ? std::string("\n]}\n")
                                 : "\n],\"stopped\":" +
                                       Dump(Cut(std::string(stopped), kMaxRunRecordText / 4)) +
                                       "}\n");
  writer_->Commit();
}

RunRecordHeader ReadRunRecord(std::string_view bytes,
                              const std::function<void(const RunRecordRow&)>& onRow) {
  GuardedInput input(bytes);
  return Parse(input, onRow);
}

RunRecordHeader ReadRunRecordFile(const std::filesystem::path& file,
                                  const std::function<void(const RunRecordRow&)>& onRow) {
  // Read in pieces through a regular file's descriptor, never through a link, so neither a FIFO
  // nor a record of a million rows stands in the way.
  int fd = -1;
  try {
    fd = OpenRegularFile(file, {.flags = O_NOFOLLOW,
                                .mode = 0,
                                .singleName = false,
                                .maxBytes = kMaxRunRecordBytes});
  } catch (const FileError& e) {
    const std::string why =
        e.error_number() == ELOOP ? std::string("Sie ist eine Verknüpfung (symbolischer Link).")
                                  : e.Reason();
    throw FileError("Die Serien-PDF-Liste " + file.string() + " ist nicht lesbar: " + why,
                    e.error_number(), FileAccess::Read);
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  GuardedInput input(fd);
  try {
    return Parse(input, onRow);
  } catch (const SerialError& error) {
    throw SerialError(std::string(error.what()) + " (" + file.string() + ")");
  } catch (const FileError& e) {
    throw FileError("Die Serien-PDF-Liste " + file.string() + " ist nicht lesbar: " + e.Reason(),
                    e.error_number(), FileAccess::Read);
  }
}

PdfState CheckRecordedPdf(const std::filesystem::path& file, const RunRecordRow& row,
                          std::uint64_t maxBytes) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT) return PdfState::Missing;
    return errno == ELOOP ? PdfState::NotRegular : PdfState::Unreadable;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) return PdfState::Unreadable;
  if (!S_ISREG(info.st_mode)) return PdfState::NotRegular;
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (row.pdfSize && *row.pdfSize != size) return PdfState::Changed;
  if (!row.pdfSize && size > maxBytes) return PdfState::TooLarge;
  Sha256 hash;
  std::string buffer(1 << 16, '\0');
  std::uint64_t total = 0;
  while (true) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return PdfState::Unreadable;
    }
    if (got == 0) break;
    total += static_cast<std::uint64_t>(got);
    // A file that grows while it is read is not the one recorded.
    if (total > size) return PdfState::Changed;
    hash.Add(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
  }
  return hash.HexDigest() == row.pdfSha256 ? PdfState::Same : PdfState::Changed;
}

std::optional<RecordedRowsCheck::Conflict> RecordedRowsCheck::Note(const RunRecordRow& row,
                                                                   const std::string& record) {
  if (!row.Written()) return std::nullopt;
  if (records_.empty() || records_.back() != record) records_.push_back(record);
  const auto index = static_cast<std::uint32_t>(records_.size() - 1);
  const auto [rowAt, newRow] = rows_.emplace(row.row, index);
  if (!newRow) {
    const std::string& first = records_[rowAt->second];
    return Conflict{false, "Zeile " + std::to_string(row.row) + " steht zweimal in " +
                               (first == record ? "der Serien-PDF-Liste " + record
                                                : "den Serien-PDF-Listen " + first + " und " +
                                                      record)};
  }
  const auto [fileAt, newFile] = files_.emplace(FoldedFileName(row.file), row.row);
  if (!newFile) {
    return Conflict{true, "Zeile " + std::to_string(row.row) + " nennt dieselbe PDF-Datei " +
                              row.file + " wie Zeile " + std::to_string(fileAt->second)};
  }
  return std::nullopt;
}

std::vector<std::filesystem::path> RunRecordFiles(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (IsRunRecordFileName(entry.path().filename().string())) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace quirabel::serial
