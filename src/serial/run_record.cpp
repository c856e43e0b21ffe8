#include "serial/run_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <ext/stdio_filebuf.h>
#include <istream>
#include <nlohmann/json.hpp>
#include <random>

#include "base/atomic_file.h"
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
  return header;
}

// Parses a record, handing each row entry on as soon as it is complete and dropping it, so a
// record of a million rows never stands in memory as a whole.
template <typename Input>
RunRecordHeader Parse(Input&& input, const std::function<void(const RunRecordRow&)>& onRow) {
  std::string topKey;
  Json record;
  try {
    record = Json::parse(
        std::forward<Input>(input),
        [&](int depth, Json::parse_event_t event, Json& parsed) {
          if (event == Json::parse_event_t::key && depth == 1) {
            topKey = parsed.is_string() ? parsed.get<std::string>() : std::string();
          }
          if (depth == 2 && topKey == "rows" &&
              (event == Json::parse_event_t::object_end || event == Json::parse_event_t::value)) {
            onRow(RowFrom(parsed));
            return false;
          }
          return true;
        },
        /*allow_exceptions=*/true);
  } catch (const Json::exception&) {
    Damaged("kein gültiges JSON");
  }
  return HeaderFrom(record);
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
  } else {
    entry["error"] = row.error;
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

void RunRecordWriter::Commit() {
  writer_->Write("\n]}\n");
  writer_->Commit();
}

RunRecordHeader ReadRunRecord(std::string_view bytes,
                              const std::function<void(const RunRecordRow&)>& onRow) {
  return Parse(bytes, onRow);
}

RunRecordHeader ReadRunRecordFile(const std::filesystem::path& file,
                                  const std::function<void(const RunRecordRow&)>& onRow) {
  // Read in pieces through a regular file's descriptor, so neither a FIFO nor a record of a
  // million rows stands in the way.
  __gnu_cxx::stdio_filebuf<char> buffer(OpenRegularFile(file),  // closes the descriptor
                                        std::ios::in | std::ios::binary);
  std::istream in(&buffer);
  try {
    return Parse(in, onRow);
  } catch (const SerialError& error) {
    throw SerialError(std::string(error.what()) + " (" + file.string() + ")");
  }
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
