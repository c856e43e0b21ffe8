#include "serial/link_file.h"

#include <algorithm>

#include <cerrno>
#include <system_error>

#include "base/atomic_file.h"
#include "base/cp1252.h"
#include "base/split.h"
#include "serial/serial_error.h"

namespace quirabel::serial {

namespace {

constexpr std::string_view kFirstLine = "Quirabel Datenverknuepfung";
constexpr std::size_t kLargestColumn = 1000000;

// The file's lines: split at CR LF only, since a scrambled byte may be a lone CR or LF.
std::vector<std::string_view> FileLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  while (!bytes.empty()) {
    const SplitAt split = SplitAtFirst(bytes, "\r\n");
    lines.push_back(split.before);
    if (!split.found) break;
    bytes = split.after;
  }
  return lines;
}

// The entries of the plain assignment list; a list box's text has one per line.
std::vector<std::string> Entries(std::string_view plain) {
  std::vector<std::string> entries;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= plain.size(); ++i) {
    if (i < plain.size() && plain[i] != '\r' && plain[i] != '\n') continue;
    if (i > start) entries.emplace_back(plain.substr(start, i - start));
    if (i < plain.size() && plain[i] == '\r' && i + 1 < plain.size() && plain[i + 1] == '\n') ++i;
    start = i + 1;
  }
  return entries;
}

std::string StoredText(std::string_view utf8, std::string_view what) {
  bool lossy = false;
  std::string bytes = Utf8ToCp1252(utf8, &lossy);
  if (lossy) {
    throw SerialError(std::string(what) + " enthält Zeichen, die die Verknüpfungsdatei nicht " +
                      "speichern kann: " + std::string(utf8));
  }
  return bytes;
}

std::string ScrambledLine(std::string_view plain, std::string_view what) {
  std::string scrambled = Scramble(plain);
  if (scrambled.find("\r\n") != std::string::npos) {
    throw SerialError(std::string(what) +
                      " lässt sich nicht in der Verknüpfungsdatei speichern (verschlüsselt "
                      "enthielte er einen Zeilenumbruch). Bitte ändern Sie ihn.");
  }
  return scrambled;
}

}  // namespace

std::string Scramble(std::string_view plain) {
  std::string out(plain);
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char>(static_cast<unsigned char>(out[i]) +
                               static_cast<unsigned char>(kScrambleKey[i % kScrambleKey.size()]));
  }
  return out;
}

std::string Unscramble(std::string_view scrambled) {
  std::string out(scrambled);
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char>(static_cast<unsigned char>(out[i]) -
                               static_cast<unsigned char>(kScrambleKey[i % kScrambleKey.size()]));
  }
  return out;
}

std::string AssignmentEntry(std::string_view fieldName, int column) {
  return std::string(fieldName) + std::string(kAssignmentArrow) + std::to_string(column);
}

std::optional<int> AssignedColumn(const std::vector<std::string>& assignments,
                                  std::string_view fieldName) {
  for (const std::string& entry : assignments) {
    const SplitAt split = SplitAtFirst(entry, "  ->");
    if (!split.found || split.before != fieldName) continue;
    std::string_view digits = split.after;
    bool valid = digits.starts_with("  Feld");
    digits.remove_prefix(valid ? 6 : digits.size());
    valid = valid && !digits.empty();
    std::size_t column = 0;
    for (char c : digits) {
      if (c < '0' || c > '9' || column > kLargestColumn) {
        valid = false;
        break;
      }
      column = column * 10 + static_cast<std::size_t>(c - '0');
    }
    if (!valid || column == 0 || column > kLargestColumn) {
      throw SerialError("Die Zuordnung \"" + entry + "\" nennt keine gültige Spalte.");
    }
    return static_cast<int>(column);
  }
  return std::nullopt;
}

LinkFile ParseLinkFile(std::string_view bytes) {
  const std::vector<std::string_view> lines = FileLines(bytes);
  if (lines.size() < 4) throw SerialError("Die Verknüpfungsdatei ist unvollständig.");
  LinkFile link;
  link.assignments = Entries(Cp1252ToUtf8(Unscramble(lines[1])));
  link.csvPath = Cp1252ToUtf8(Unscramble(lines[2]));
  const std::string separator = Unscramble(lines[3]);
  if (separator.empty()) throw SerialError("Die Verknüpfungsdatei nennt kein Trennzeichen.");
  link.separator = separator[0];
  return link;
}

std::string LinkFileBytes(const LinkFile& link) {
  std::string plainList;
  for (const std::string& entry : link.assignments) {
    if (entry.find_first_of("\r\n") != std::string::npos)
      throw SerialError("Ein Feldname darf keinen Zeilenumbruch enthalten.");
    plainList += StoredText(entry, "Die Zuordnung");
    plainList += "\r\n";
  }
  const std::string path = StoredText(link.csvPath, "Der Pfad der CSV-Datei");
  if (link.separator == '\r' || link.separator == '\n' || link.separator == '"' ||
      link.separator == '\0') {
    throw SerialError("Dieses Trennzeichen ist nicht möglich.");
  }
  std::string bytes(kFirstLine);
  bytes += "\r\n";
  bytes += ScrambledLine(plainList, "Die Feldzuordnung");
  bytes += "\r\n";
  bytes += ScrambledLine(path, "Der Pfad der CSV-Datei");
  bytes += "\r\n";
  bytes += ScrambledLine(std::string(1, link.separator), "Das Trennzeichen");
  bytes += "\r\n";
  return bytes;
}

bool IsProjectNumber(std::string_view text) {
  return !text.empty() && text.size() <= kMaxProjectNumberDigits &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void CheckProjectNumber(std::string_view text) {
  if (IsProjectNumber(text)) return;
  std::string shown;
  for (char c : text.substr(0, 40)) shown += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
  if (text.size() > 40) shown += "…";
  throw SerialError("Die Projektnummer „" + shown +
                    "“ ist ungültig: sie darf nur aus Ziffern bestehen. Legen Sie das Projekt "
                    "neu an oder speichern Sie es unter neuem Namen.");
}

std::filesystem::path LinkFilePath(const std::filesystem::path& programFolder,
                                   std::string_view projectNumber) {
  CheckProjectNumber(projectNumber);
  return programFolder / "csv_db" / (std::string(projectNumber) + "._cv");
}

LinkFile ReadLinkFile(const std::filesystem::path& file) {
  std::string bytes;
  try {
    bytes = ReadFile(file, kMaxLinkFileBytes);
  } catch (const FileError& e) {
    throw SerialError("Die Verknüpfungsdatei kann nicht gelesen werden: " + file.string() + "\n" +
                      e.Reason());
  }
  try {
    return ParseLinkFile(bytes);
  } catch (const SerialError& e) {
    throw SerialError(std::string(e.what()) + "\n" + file.string());
  }
}

void WriteLinkFile(const std::filesystem::path& file, const LinkFile& link) {
  const std::string bytes = LinkFileBytes(link);
  try {
    if (file.has_parent_path()) {
      std::error_code error;
      std::filesystem::create_directories(file.parent_path(), error);
    }
    WriteFileAtomic(file, bytes);
  } catch (const FileError& e) {
    throw SerialError("Die Verknüpfungsdatei kann nicht geschrieben werden: " + file.string() +
                      "\n" + e.Reason());
  }
}

}  // namespace quirabel::serial
