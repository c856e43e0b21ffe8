#include "serial/pdf_names.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <unordered_map>

#include "base/name_folding.h"

namespace quirabel::serial {

namespace {

bool IsTrimmed(char c) { return c == ' ' || c == '\t'; }

// A set of 64-bit hashes, open addressing: eight or sixteen bytes a name where a set of strings
// takes a hundred. Two names with one hash (about one in 10^19) only give the later one a "-2"
// it did not need. A table beyond kMemorySlots lives in a temporary file without a name, read a
// block of slots at a time, so the memory of a run stays the same however many rows it names.
class HashSet {
 public:
  // Room for `count` keys at once, so the table never grows (and never holds two copies).
  explicit HashSet(std::size_t count) {
    std::size_t slots = 1024;
    while (slots < count * 2) slots *= 2;
    if (slots > kMemorySlots) fd_ = OpenScratch(slots);
    if (fd_ < 0) slots_.assign(slots, 0);
    slotCount_ = slots;
  }
  ~HashSet() {
    if (fd_ >= 0) ::close(fd_);
  }
  HashSet(const HashSet&) = delete;
  HashSet& operator=(const HashSet&) = delete;

  // Adds a key; false when it is there already.
  bool Insert(std::uint64_t key) {
    key = key == 0 ? 1 : key;
    if (fd_ >= 0) {
      if (const std::optional<bool> added = InsertInFile(key)) return *added;
      // The file failed: on in memory, with what it held.
      LoadFromFile();
    }
    if ((size_ + 1) * 2 > slots_.size()) Grow();
    for (std::size_t i = key & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
      if (slots_[i] == key) return false;
      if (slots_[i] == 0) {
        slots_[i] = key;
        ++size_;
        return true;
      }
    }
  }

 private:
  static constexpr std::size_t kMemorySlots = 512 * 1024;  // 4 MB
  static constexpr std::size_t kBlockSlots = 64;

  static int OpenScratch(std::size_t slots) {
    const int fd = ::open(std::filesystem::temp_directory_path().c_str(),
                          O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (::ftruncate(fd, static_cast<off_t>(slots * sizeof(std::uint64_t))) != 0) {
      ::close(fd);
      return -1;
    }
    return fd;
  }

  bool ReadBlock(std::size_t block, std::array<std::uint64_t, kBlockSlots>& slots) const {
    const auto bytes = static_cast<ssize_t>(sizeof slots);
    return ::pread(fd_, slots.data(), sizeof slots, static_cast<off_t>(block * sizeof slots)) ==
           bytes;
  }

  std::optional<bool> InsertInFile(std::uint64_t key) {
    std::array<std::uint64_t, kBlockSlots> block{};
    for (std::size_t i = key & (slotCount_ - 1);;) {
      const std::size_t first = i / kBlockSlots;
      if (!ReadBlock(first, block)) return std::nullopt;
      for (std::size_t j = i % kBlockSlots; j < kBlockSlots; ++j) {
        if (block[j] == key) return false;
        if (block[j] != 0) continue;
        const off_t at = static_cast<off_t>((first * kBlockSlots + j) * sizeof key);
        if (::pwrite(fd_, &key, sizeof key, at) != static_cast<ssize_t>(sizeof key))
          return std::nullopt;
        ++size_;
        return true;
      }
      i = ((first + 1) * kBlockSlots) & (slotCount_ - 1);
    }
  }

  void LoadFromFile() {
    slots_.assign(slotCount_, 0);
    std::array<std::uint64_t, kBlockSlots> block{};
    for (std::size_t b = 0; b < slotCount_ / kBlockSlots; ++b) {
      if (!ReadBlock(b, block)) continue;
      std::copy(block.begin(), block.end(),
                slots_.begin() + static_cast<std::ptrdiff_t>(b * kBlockSlots));
    }
    ::close(fd_);
    fd_ = -1;
  }

  void Grow() {
    std::vector<std::uint64_t> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, 0);
    slotCount_ = slots_.size();
    size_ = 0;
    for (std::uint64_t key : old)
      if (key != 0) Insert(key);
  }

  std::vector<std::uint64_t> slots_;
  std::size_t slotCount_ = 0;
  std::size_t size_ = 0;
  int fd_ = -1;
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

// The names a Windows disk keeps for devices, whatever follows after a dot.
bool IsReservedName(std::string_view stem) {
  std::string upper(stem.substr(0, stem.find('.')));
  while (!upper.empty() && upper.back() == ' ') upper.pop_back();
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
         upper[3] >= '1' && upper[3] <= '9';
}

std::string SafeFileStem(std::string_view text) {
  std::string stem;
  stem.reserve(text.size());
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '/') continue;
    // What FAT, exFAT and NTFS refuse in a name, on every disk: the folder may be copied to one.
    // Tabs at either end are trimmed below, the others become '_' then.
    const bool refused = (b < 0x20 && c != '\t') || b == 0x7F ||
                         std::string_view(":*?\"<>|\\").find(c) != std::string_view::npos;
    stem += refused ? '_' : c;
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
  std::replace(stem.begin(), stem.end(), '\t', '_');
  if (stem == "." || stem == "..") return {};
  if (IsReservedName(stem)) stem.insert(std::min(stem.find('.'), stem.size()), "_");
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
    if (taken.Insert(KeyOf(stem + ".pdf"))) return;
    std::uint32_t& next = nextRepeat.try_emplace(KeyOf(stem), 2).first->second;
    std::uint32_t repeat = 0;
    do {
      repeat = next++;
    } while (!taken.Insert(KeyOf(WithRepeat(stem, repeat))));
    if (row >= first_) repeats_[row - first_] = repeat;
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
