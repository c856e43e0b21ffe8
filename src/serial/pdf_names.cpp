#include "serial/pdf_names.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

#include "base/name_folding.h"

namespace quirabel::serial {

namespace {

bool IsTrimmed(char c) { return c == ' ' || c == '\t'; }

// A set of 64-bit hashes, open addressing: eight or sixteen bytes a name where a set of strings
// takes a hundred. Two names with one hash (about one in 10^19) only give the later one a "-2"
// it did not need.
class HashSet {
 public:
  // Room for `count` keys at once, so the table never grows (and never holds two copies).
  explicit HashSet(std::size_t count) {
    std::size_t slots = 1024;
    while (slots < count * 2) slots *= 2;
    slots_.assign(slots, 0);
  }
  bool Contains(std::uint64_t key) const {
    if (slots_.empty()) return false;
    key = key == 0 ? 1 : key;
    for (std::size_t i = key & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
      if (slots_[i] == key) return true;
      if (slots_[i] == 0) return false;
    }
  }
  void Insert(std::uint64_t key) {
    if ((size_ + 1) * 2 > slots_.size()) Grow();
    key = key == 0 ? 1 : key;
    for (std::size_t i = key & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
      if (slots_[i] == key) return;
      if (slots_[i] == 0) {
        slots_[i] = key;
        ++size_;
        return;
      }
    }
  }

 private:
  void Grow() {
    std::vector<std::uint64_t> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, 0);
    size_ = 0;
    for (std::uint64_t key : old)
      if (key != 0) Insert(key);
  }
  std::vector<std::uint64_t> slots_;
  std::size_t size_ = 0;
};

std::uint64_t KeyOf(std::string_view name) {
  // std::hash spreads the low bits poorly for the open table; mix them.
  std::uint64_t h = std::hash<std::string_view>{}(FoldedFileName(name));
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return h;
}

std::string WithRepeat(const std::string& stem, std::uint32_t repeat) {
  return repeat == 0 ? stem + ".pdf" : stem + "-" + std::to_string(repeat) + ".pdf";
}

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
  const PdfFileNamer namer(table, naming, count);
  std::vector<std::string> names;
  names.reserve(count);
  for (std::size_t row = 1; row <= count; ++row) names.push_back(namer.NameOfRow(row));
  return names;
}

PdfFileNamer::PdfFileNamer(const CsvTable& table, Naming naming, std::size_t count,
                           std::size_t first)
    : table_(&table),
      naming_(std::move(naming)),
      count_(count),
      first_(std::max<std::size_t>(first, 1)) {
  // Twenty digits are more than any row number has.
  perRow_ = naming_.column <= 0 && naming_.identifier.size() + 20 <= kMaxFileStemBytes;
  if (perRow_ || first_ > count_) return;
  repeats_.assign(count_ - first_ + 1, 0);
  HashSet taken(count);
  // Counting on from where the last repeat of a name stopped keeps many equal cells fast.
  std::unordered_map<std::uint64_t, std::uint32_t> nextRepeat;
  auto name = [&](std::size_t row, const std::string& stem) {
    std::uint64_t key = KeyOf(stem + ".pdf");
    if (taken.Contains(key)) {
      std::uint32_t& next = nextRepeat.try_emplace(KeyOf(stem), 2).first->second;
      std::uint32_t repeat = 0;
      do {
        repeat = next++;
        key = KeyOf(WithRepeat(stem, repeat));
      } while (taken.Contains(key));
      if (row >= first_) repeats_[row - first_] = repeat;
    }
    taken.Insert(key);
  };
  if (naming_.column <= 0) {
    for (std::size_t row = 1; row <= count_; ++row) name(row, StemOf({}, row));
    return;
  }
  // The rows are read in one pass; cells beyond the table give the identifier's names.
  std::size_t row = 1;
  table.ForEachRow(0, count_ - 1, [&](std::size_t index, std::vector<std::string>& cells) {
    for (; row < index + 1; ++row) name(row, StemOf({}, row));
    name(row, StemOf(CellAt(cells, naming_.column), row));
    ++row;
  });
  for (; row <= count_; ++row) name(row, StemOf({}, row));
}

std::string PdfFileNamer::StemOf(std::string_view cell, std::size_t row) const {
  std::string stem = SafeFileStem(cell);
  if (stem.empty()) stem = SafeFileStem(naming_.identifier + std::to_string(row));
  return stem;
}

std::string PdfFileNamer::StemOfRow(std::size_t row) const {
  if (naming_.column > 0) return StemOf(CellAt(table_->Row(row - 1), naming_.column), row);
  return StemOf({}, row);
}

std::string PdfFileNamer::NameOfRow(std::size_t row) const {
  if (row < first_ || row > count_) return {};
  if (perRow_) return SafeFileStem(naming_.identifier + std::to_string(row)) + ".pdf";
  return WithRepeat(StemOfRow(row), repeats_[row - first_]);
}

}  // namespace quirabel::serial
