#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quirabel::serial {

// The link file ties a project's data fields to the columns of a CSV file. It lives in the
// program folder as csv_db/<ProjectNumber>._cv, written by the link tool (or `quirabel-batch
// link`) and read by the serial run. Its lines end with CR LF:
//   1  a line of our own, not read
//   2  scrambled: the field assignment list, one entry per line ("Name  ->  Feld3")
//   3  scrambled: the CSV file's full path
//   4  scrambled: its first character is the column separator
// The texts in the file are Windows-1252.

inline constexpr std::string_view kScrambleKey = "qvw47ktrbmz93";
inline constexpr std::string_view kAssignmentArrow = "  ->  Feld";
inline constexpr std::size_t kMaxLinkFileBytes = 16 * 1024 * 1024;

// Each line is scrambled by itself: byte i under key character i mod 13, plain p to (p + k) mod
// 256 and back.
std::string Scramble(std::string_view plain);
std::string Unscramble(std::string_view scrambled);

struct LinkFile {
  std::vector<std::string> assignments;  // UTF-8 entries, as the list box shows them
  std::string csvPath;                   // UTF-8
  char separator = ';';                  // a Windows-1252 byte
};

// "Name  ->  Feld3".
std::string AssignmentEntry(std::string_view fieldName, int column);

// The column (from 1) assigned to a data field: the entry whose name is the field name, not one
// that merely ends with it. None when no entry has the name; SerialError when the entry's column
// is no number from 1 on.
std::optional<int> AssignedColumn(const std::vector<std::string>& assignments,
                                  std::string_view fieldName);

// The file's bytes as the serial run reads them; SerialError when a line is missing.
LinkFile ParseLinkFile(std::string_view bytes);
// The bytes of a link file. SerialError when a text cannot be stored: the CSV path or a field
// name that Windows-1252 cannot hold, a line break inside a field name, or a line whose scrambled
// form would contain CR LF (it would split the line when read back).
std::string LinkFileBytes(const LinkFile& link);

// A project number is digits (the designer makes it from the clock). Any other text in a project
// file is refused wherever the number would become a file name or a program's argument.
inline constexpr std::size_t kMaxProjectNumberDigits = 40;
bool IsProjectNumber(std::string_view text);
// SerialError with the German refusal when the text is no project number.
void CheckProjectNumber(std::string_view text);

// The project's link file in the program folder; SerialError for a text that is no project
// number.
std::filesystem::path LinkFilePath(const std::filesystem::path& programFolder,
                                   std::string_view projectNumber);
// Reading and writing (atomically, making the csv_db folder); SerialError names the file.
LinkFile ReadLinkFile(const std::filesystem::path& file);
void WriteLinkFile(const std::filesystem::path& file, const LinkFile& link);

}  // namespace quirabel::serial
