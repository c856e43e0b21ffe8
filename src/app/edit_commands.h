#pragma once

#include <optional>
#include <string_view>

#include "designer/projectfile/page_text.h"
#include "designer/undo_history.h"
#include "graphics/picture.h"
#include "report/pr_item.h"

namespace quirabel::app {

class Application;

// The "Bearbeiten" menu and the keyboard on the page: undo and redo, copying and pasting
// elements, deleting, nudging with the arrow keys and walking the elements with Tab. The
// designer's menus and keys and the tests call the same commands.
class EditCommands {
 public:
  explicit EditCommands(Application& application);

  // Forgets every step: a new or opened document starts here, with nothing unsaved.
  void Reset();
  // A completed action changed the project: one step, and the document has unsaved changes.
  // Actions with the same non-empty merge key in a row make one step.
  void Record(std::string_view mergeKey = {});

  // The project as it stands was saved: going back or forth to this state later counts as saved.
  void MarkSaved();

  // "Rückgängig" and "Wiederholen": false when there is no step to go to.
  bool Undo();
  bool Redo();
  bool CanUndo() const { return history_.CanUndo(); }
  bool CanRedo() const { return history_.CanRedo(); }
  const designer::UndoHistory& History() const { return history_; }

  // The element the commands act on: the one pressed last on the page; none without one.
  report::TPRItem* Target() const;
  // "Kopieren": the element into the program's clipboard.
  bool Copy();
  // "Einfügen": a copy of the clipboard's element, 10 pixels down and right of where it was
  // copied from, with a name and number of its own; it becomes the target.
  bool Paste();
  // "Duplizieren": copy and paste in one.
  bool Duplicate();
  // "Löschen" (Entf): deletes the element.
  bool Delete();
  // The arrow keys: moves the element by dx, dy pixels within the limits a mouse move keeps.
  bool Nudge(int dx, int dy);
  // Tab and Shift+Tab: the next or previous element in number order becomes the target.
  bool SelectNext(bool forward);
  // Escape: disarms an armed tool; without one, lets go of the target.
  bool Escape();
  // Enter: the target's property window; false for pictures, which have none.
  bool OpenProperties();

 private:
  struct Clip {
    designer::projectfile::ElementBlock block;
    graphics::Picture picture;
  };
  designer::ProjectSnapshot Snapshot() const;
  bool Restore(const std::optional<designer::ProjectSnapshot>& snapshot);
  void Select(report::TPRItem& element);

  Application& application_;
  designer::UndoHistory history_;
  // The pages as last saved (or opened); an undo or redo that arrives there is saved work.
  std::vector<SharedBytes> savedPages_;
  std::optional<Clip> clipboard_;
  // Copies land 10 pixels further each time the same clip is pasted again.
  int pasteOffset_ = 0;
};

}  // namespace quirabel::app
