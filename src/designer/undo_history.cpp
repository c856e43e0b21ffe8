#include "designer/undo_history.h"

#include <algorithm>
#include <array>
#include <functional>
#include <unordered_set>

namespace quirabel::designer {

namespace {

// Piece sizes: a cut is made where the rolling hash of the last 64 bytes has its low bits zero,
// on average about every 20 KB, never closer than 4 KB or further apart than 128 KB.
constexpr std::size_t kMinPiece = 4 * 1024;
constexpr std::size_t kMaxPiece = 128 * 1024;
constexpr std::uint64_t kCutMask = (1u << 14) - 1;
// Each step shifts the hash left by one bit: after 64 steps a byte no longer counts.
constexpr std::size_t kWindow = 64;

// Fixed pseudo-random values per byte for the rolling hash (the same in every run).
constexpr std::array<std::uint64_t, 256> MakeGear() {
  std::array<std::uint64_t, 256> gear{};
  std::uint64_t x = 0x9E3779B97F4A7C15ull;
  for (auto& value : gear) {
    x += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = x;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    value = z ^ (z >> 31);
  }
  return gear;
}
constexpr std::array<std::uint64_t, 256> kGear = MakeGear();

// The length of the piece that starts at the beginning of `text`.
std::size_t PieceLength(std::string_view text) {
  if (text.size() <= kMinPiece) return text.size();
  const std::size_t end = std::min(text.size(), kMaxPiece);
  std::uint64_t hash = 0;
  // No cut comes before kMinPiece, and the hash there depends on the window before it only.
  for (std::size_t i = kMinPiece - kWindow; i < end; ++i) {
    hash = (hash << 1) + kGear[static_cast<unsigned char>(text[i])];
    if (i + 1 >= kMinPiece && (hash & kCutMask) == 0) return i + 1;
  }
  return end;
}

}  // namespace

UndoHistory::UndoHistory(std::size_t maxSteps) : maxSteps_(std::max<std::size_t>(maxSteps, 1)) {}
UndoHistory::~UndoHistory() = default;

void UndoHistory::Reset(const ProjectSnapshot& state) {
  states_.clear();
  known_.clear();
  pieces_.clear();
  mergeKey_.clear();
  states_.push_back(Store(state, true));
  current_ = 0;
}

void UndoHistory::Record(const ProjectSnapshot& state, std::string_view mergeKey) {
  State stored = Store(state);
  states_.erase(states_.begin() + static_cast<std::ptrdiff_t>(current_) + 1, states_.end());
  if (!mergeKey.empty() && mergeKey == mergeKey_ && current_ > 0) {
    states_[current_] = std::move(stored);
  } else {
    states_.push_back(std::move(stored));
    ++current_;
    while (states_.size() > maxSteps_ + 1) {
      states_.pop_front();
      --current_;
    }
  }
  mergeKey_ = std::string(mergeKey);
  if (++recordsSinceSweep_ >= 32) ForgetUnusedPieces();
}

std::optional<ProjectSnapshot> UndoHistory::Undo() {
  if (!CanUndo()) return std::nullopt;
  mergeKey_.clear();
  return Restore(states_[--current_]);
}

std::optional<ProjectSnapshot> UndoHistory::Redo() {
  if (!CanRedo()) return std::nullopt;
  mergeKey_.clear();
  return Restore(states_[++current_]);
}

std::size_t UndoHistory::StoredBytes() const {
  std::size_t bytes = 0;
  std::unordered_set<const std::string*> counted;
  for (const State& state : states_) {
    for (const TextRef& page : state.pages) {
      bytes += sizeof(Text) + page->pieces.size() * sizeof(Piece);
      // Whole pages are the bytes of the file read, shared with the project itself.
      for (const Piece& piece : page->pieces)
        if (counted.insert(piece.get()).second) bytes += sizeof(std::string) + piece->capacity();
    }
  }
  return bytes;
}

UndoHistory::State UndoHistory::Store(const ProjectSnapshot& snapshot, bool keepWhole) {
  State state;
  state.currentPage = snapshot.currentPage;
  std::vector<std::pair<SharedBytes, TextRef>> known;
  for (std::size_t i = 0; i < snapshot.pages.size(); ++i) {
    const SharedBytes& page = snapshot.pages[i];
    TextRef text;
    for (const auto& [bytes, stored] : known_) {
      if (bytes.data() == page.data() && bytes.size() == page.size()) {
        text = stored;
        break;
      }
    }
    const bool onScreen = static_cast<int>(i) + 1 == snapshot.currentPage;
    if (!text && keepWhole && !onScreen) text = std::make_shared<const Text>(Text{{}, page});
    if (!text) text = StoreText(page.View());
    state.pages.push_back(text);
    // The page on screen was just written out for this record and is not kept by anybody else.
    if (!onScreen) known.emplace_back(page, text);
  }
  known_ = std::move(known);
  return state;
}

UndoHistory::TextRef UndoHistory::StoreText(std::string_view text) {
  auto stored = std::make_shared<Text>();
  while (!text.empty()) {
    const std::size_t length = PieceLength(text);
    stored->pieces.push_back(StorePiece(text.substr(0, length)));
    text.remove_prefix(length);
  }
  return stored;
}

UndoHistory::Piece UndoHistory::StorePiece(std::string_view bytes) {
  const std::uint64_t hash = std::hash<std::string_view>{}(bytes);
  auto [first, last] = pieces_.equal_range(hash);
  for (auto it = first; it != last; ++it) {
    if (Piece piece = it->second.lock(); piece && *piece == bytes) return piece;
  }
  auto piece = std::make_shared<const std::string>(bytes);
  pieces_.emplace(hash, piece);
  return piece;
}

ProjectSnapshot UndoHistory::Restore(const State& state) {
  ProjectSnapshot snapshot;
  snapshot.currentPage = state.currentPage;
  std::vector<std::pair<SharedBytes, TextRef>> known;
  for (const TextRef& page : state.pages) {
    if (page->pieces.empty()) {
      snapshot.pages.push_back(page->whole);
      known.emplace_back(page->whole, page);
      continue;
    }
    std::size_t size = 0;
    for (const Piece& piece : page->pieces) size += piece->size();
    std::string bytes;
    bytes.reserve(size);
    for (const Piece& piece : page->pieces) bytes += *piece;
    SharedBytes shared(std::move(bytes));
    snapshot.pages.push_back(shared);
    known.emplace_back(std::move(shared), page);
  }
  known_ = std::move(known);
  return snapshot;
}

void UndoHistory::ForgetUnusedPieces() {
  recordsSinceSweep_ = 0;
  std::erase_if(pieces_, [](const auto& entry) { return entry.second.expired(); });
}

}  // namespace quirabel::designer
