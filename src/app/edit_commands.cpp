#include "app/edit_commands.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/application.h"
#include "designer/document_window.h"
#include "designer/element_kinds.h"
#include "designer/mouse_editing.h"
#include "report/pr_images.h"

namespace quirabel::app {

namespace {

constexpr int kPasteStep = 10;

}  // namespace

EditCommands::EditCommands(Application& application) : application_(application) {}

designer::ProjectSnapshot EditCommands::Snapshot() const {
  const designer::ProjectState& state = application_.State();
  designer::ProjectSnapshot snapshot;
  snapshot.pages = state.pageTexts;
  snapshot.currentPage = std::max(state.currentPage, 1);
  if (designer::DocumentWindow* window = application_.DocumentWindow()) {
    const auto index = static_cast<std::size_t>(snapshot.currentPage - 1);
    if (snapshot.pages.size() <= index) snapshot.pages.resize(index + 1);
    snapshot.pages[index] = window->Page().SharedPageText();
  }
  return snapshot;
}

void EditCommands::Reset() {
  const designer::ProjectSnapshot snapshot = Snapshot();
  history_.Reset(snapshot);
  savedPages_ = snapshot.pages;
  application_.State().unsavedChanges = false;
}

void EditCommands::MarkSaved() {
  savedPages_ = Snapshot().pages;
  application_.State().unsavedChanges = false;
}

void EditCommands::Record(std::string_view mergeKey) {
  history_.Record(Snapshot(), mergeKey);
  application_.State().unsavedChanges = true;
}

bool EditCommands::Restore(const std::optional<designer::ProjectSnapshot>& snapshot) {
  designer::DocumentWindow* window = application_.DocumentWindow();
  if (!snapshot || window == nullptr) return false;
  designer::ProjectState& state = application_.State();
  state.pageTexts = snapshot->pages;
  state.pageCount = static_cast<int>(snapshot->pages.size());
  // The page on screen is not stored first: the step's own text replaces it.
  const int page = std::clamp(snapshot->currentPage, 1, state.pageCount);
  window->LoadPage(page);
  application_.ShowSideOfPage(page);
  // The elements are new: nothing is chosen, and no handle or marker stays where one stood.
  window->Selected().Clear();
  window->HideHandlesAndMarkers();
  // Back (or forth) to the state last saved: nothing is unsaved.
  const std::vector<SharedBytes> pages = Snapshot().pages;
  state.unsavedChanges =
      !std::equal(pages.begin(), pages.end(), savedPages_.begin(), savedPages_.end(),
                  [](const SharedBytes& a, const SharedBytes& b) { return a == b.View(); });
  return true;
}

bool EditCommands::Undo() { return Restore(history_.Undo()); }
bool EditCommands::Redo() { return Restore(history_.Redo()); }

report::TPRItem* EditCommands::Target() const {
  designer::DocumentWindow* window = application_.DocumentWindow();
  return window != nullptr ? window->Selected().Pressed() : nullptr;
}

void EditCommands::Select(report::TPRItem& element) {
  designer::DocumentWindow& window = *application_.DocumentWindow();
  window.Selected().Press(element, true);
  for (ui::TImage* handle : window.Handles()) handle->SetVisible(true);
  window.PlaceHandlesAround(&element);
}

bool EditCommands::Copy() {
  const report::TPRItem* element = Target();
  if (element == nullptr) return false;
  Clip clip{designer::StoreElement(*element), {}};
  if (const graphics::Picture* picture = designer::ClassOf(*element).PictureOf(*element))
    clip.picture = *picture;
  clipboard_ = std::move(clip);
  pasteOffset_ = 0;
  return true;
}

bool EditCommands::Paste() {
  designer::DocumentWindow* window = application_.DocumentWindow();
  if (!clipboard_ || window == nullptr) return false;
  pasteOffset_ += kPasteStep;
  report::TPRItem& copy = window->Page().AddElementCopy(clipboard_->block, clipboard_->picture,
                                                        pasteOffset_, pasteOffset_);
  Select(copy);
  Record();
  return true;
}

bool EditCommands::Duplicate() { return Copy() && Paste(); }

bool EditCommands::Delete() {
  designer::DocumentWindow* window = application_.DocumentWindow();
  report::TPRItem* element = Target();
  return window != nullptr && element != nullptr && window->DeleteElement(*element);
}

bool EditCommands::Nudge(int dx, int dy) {
  designer::DocumentWindow* window = application_.DocumentWindow();
  report::TPRItem* element = Target();
  if (window == nullptr || element == nullptr) return false;
  // The margin rule of the mouse: a step inward is always taken, one outward stops at the margin.
  const int left = designer::ClampToPage(element->Left() + dx, window->Page().PagePanel().Width(),
                                         element->Width(), element->Left());
  const int top = designer::ClampToPage(element->Top() + dy, window->Page().PagePanel().Height(),
                                        element->Height(), element->Top());
  if (left == element->Left() && top == element->Top()) return false;
  element->SetBounds(left, top, element->Width(), element->Height());
  window->PlaceHandlesAround(element);
  window->MouseEditor().FollowWithMarkers(*element);
  window->Changed("nudge " + element->Name());
  return true;
}

bool EditCommands::SelectNext(bool forward) {
  designer::DocumentWindow* window = application_.DocumentWindow();
  if (window == nullptr) return false;
  std::vector<designer::PageElement> elements = window->Page().Elements();
  if (elements.empty()) return false;
  std::stable_sort(elements.begin(), elements.end(),
                   [](const auto& a, const auto& b) { return a.number < b.number; });
  const report::TPRItem* current = Target();
  auto at = std::find_if(elements.begin(), elements.end(),
                         [current](const auto& e) { return e.item == current; });
  std::size_t index = 0;
  if (at == elements.end()) {
    index = forward ? 0 : elements.size() - 1;
  } else {
    const auto here = static_cast<std::size_t>(at - elements.begin());
    index = forward ? (here + 1) % elements.size() : (here + elements.size() - 1) % elements.size();
  }
  Select(*elements[index].item);
  return true;
}

bool EditCommands::Escape() {
  designer::DocumentWindow* window = application_.DocumentWindow();
  if (window == nullptr) return false;
  ui::Platform* platform = window->GetPlatform();
  if (platform != nullptr && platform->ScreenCursor() == ui::crUpArrow) {
    platform->SetScreenCursor(ui::crDefault);
    return true;
  }
  if (Target() == nullptr) return false;
  window->Selected().Clear();
  window->HideHandlesAndMarkers();
  return true;
}

bool EditCommands::OpenProperties() {
  designer::DocumentWindow* window = application_.DocumentWindow();
  const report::TPRItem* element = Target();
  if (window == nullptr || element == nullptr || !designer::TypeOf(*element).hasProperties)
    return false;
  window->PopupPropertiesClick(designer::TypeOf(*element).menu);
  return true;
}

}  // namespace quirabel::app
