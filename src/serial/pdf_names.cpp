#include "serial/pdf_names.h"

#include <unordered_map>
#include <unordered_set>

namespace quirabel::serial {

namespace {

bool IsTrimmed(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string SafeFileStem(std::string_view text) {
  std::string stem;
  stem.reserve(text.size());
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || b < 0x20 || b == 0x7F) continue;
    stem += c;
  }
  auto trim = [](std::string& s) {
    std::size_t begin = 0;
    while (begin < s.size() && IsTrimmed(s[begin])) ++begin;
    std::size_t end = s.size();
    while (end > begin && IsTrimmed(s[end - 1])) --end;
    s = s.substr(begin, end - begin);
  };
  trim(stem);
  if (stem.size() > kMaxFileStemBytes) {
    std::size_t cut = kMaxFileStemBytes;
    // Not inside a UTF-8 sequence: back up over continuation bytes.
    while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
    stem.resize(cut);
    trim(stem);
  }
  if (stem == "." || stem == "..") return {};
  return stem;
}

std::vector<std::string> PdfFileNames(const CsvTable& table, const Naming& naming,
                                      std::size_t count) {
  std::vector<std::string> names;
  names.reserve(count);
  std::unordered_set<std::string> taken;
  std::unordered_map<std::string, int> nextRepeat;
  for (std::size_t row = 1; row <= count; ++row) {
    std::string stem;
    if (naming.column > 0) stem = SafeFileStem(CellAt(table.Row(row - 1), naming.column));
    if (stem.empty()) stem = SafeFileStem(naming.identifier + std::to_string(row));
    std::string name = stem + ".pdf";
    if (taken.contains(name)) {
      // Counting on from where the last repeat of this name stopped keeps many equal cells fast.
      int& repeat = nextRepeat.try_emplace(stem, 2).first->second;
      do {
        name = stem + "-" + std::to_string(repeat++) + ".pdf";
      } while (taken.contains(name));
    }
    taken.insert(name);
    names.push_back(std::move(name));
  }
  return names;
}

PdfFileNamer::PdfFileNamer(const CsvTable& table, Naming naming, std::size_t count)
    : naming_(std::move(naming)) {
  // Twenty digits are more than any row number has.
  if (naming_.column > 0 || naming_.identifier.size() + 20 > kMaxFileStemBytes)
    names_ = PdfFileNames(table, naming_, count);
}

std::string PdfFileNamer::NameOfRow(std::size_t row) const {
  if (!names_.empty()) return row >= 1 && row <= names_.size() ? names_[row - 1] : std::string();
  return SafeFileStem(naming_.identifier + std::to_string(row)) + ".pdf";
}

}  // namespace quirabel::serial
