#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/shared_bytes.h"

namespace quirabel::designer {

// A project as undo sees it: every page text in file form and the page on screen.
struct ProjectSnapshot {
  std::vector<SharedBytes> pages;
  int currentPage = 1;
};

// The steps a person can go back and forth through. Each state is kept as page texts cut into
// pieces at places their content decides; equal pieces are stored once for the whole history. So
// a page with a 20 MB background costs those bytes once, not once per step, and a change that
// moves the bytes behind it (a longer text before the picture) does not make them new.
class UndoHistory {
 public:
  static constexpr std::size_t kDefaultSteps = 200;
  explicit UndoHistory(std::size_t maxSteps = kDefaultSteps);
  ~UndoHistory();
  UndoHistory(const UndoHistory&) = delete;
  UndoHistory& operator=(const UndoHistory&) = delete;

  // Starts again from a state (a new or opened document): nothing to undo or redo.
  void Reset(const ProjectSnapshot& state);
  // Records the state after a completed action; what could be redone is dropped. When the merge
  // key is not empty and equals the one of the step before, the two become one step (arrow presses
  // on one element, typing into one field), so one undo goes back past them all.
  void Record(const ProjectSnapshot& state, std::string_view mergeKey = {});
  // The next record starts a step of its own, whatever its key.
  void BreakMerge() { mergeKey_.clear(); }

  bool CanUndo() const { return current_ > 0; }
  bool CanRedo() const { return current_ + 1 < states_.size(); }
  // The state to show after going one step back or forth; none when there is no such step.
  std::optional<ProjectSnapshot> Undo();
  std::optional<ProjectSnapshot> Redo();

  // Steps that can be undone.
  std::size_t UndoSteps() const { return current_; }
  // Bytes held: every distinct piece once, and the lists of pieces.
  std::size_t StoredBytes() const;

 private:
  using Piece = std::shared_ptr<const std::string>;
  // A page text as pieces, or as the shared bytes themselves for a page as it was read (a page
  // of the file opened: it costs nothing to keep, and is cut only once it is stored anew).
  struct Text {
    std::vector<Piece> pieces;
    SharedBytes whole;
  };
  using TextRef = std::shared_ptr<const Text>;
  struct State {
    std::vector<TextRef> pages;
    int currentPage = 1;
  };

  // keepWhole: pages other than the one on screen are kept as the bytes they are.
  State Store(const ProjectSnapshot& snapshot, bool keepWhole = false);
  TextRef StoreText(std::string_view text);
  Piece StorePiece(std::string_view bytes);
  ProjectSnapshot Restore(const State& state);
  void ForgetUnusedPieces();

  std::size_t maxSteps_;
  std::deque<State> states_;
  std::size_t current_ = 0;
  std::string mergeKey_;
  // Every stored piece by the hash of its bytes; pieces no state holds any more are dropped.
  std::unordered_multimap<std::uint64_t, std::weak_ptr<const std::string>> pieces_;
  std::size_t recordsSinceSweep_ = 0;
  // The page texts last stored or restored and what they became: a page that is still the very
  // same shared bytes is not cut again.
  std::vector<std::pair<SharedBytes, TextRef>> known_;
};

}  // namespace quirabel::designer
