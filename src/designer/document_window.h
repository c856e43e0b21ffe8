#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "designer/element_kinds.h"
#include "designer/guide_lines.h"
#include "designer/mouse_editing.h"
#include "designer/page_model.h"
#include "designer/project_state.h"
#include "designer/selection.h"
#include "graphics/ink.h"
#include "report/pr_images.h"
#include "report/pr_labels.h"
#include "report/pr_report.h"
#include "report/pr_shapes.h"
#include "ui/controls.h"

namespace quirabel::designer {

// The document window: shows and edits one page model (Page()) on a grey background, with the
// resize handles and ruler markers of the chosen element, the side panel and the mouse editing.
// It keeps no project state of its own; the page is the model's, the rest the application's.
class DocumentWindow : public ui::TForm, private EditingSurface {
 public:
  DocumentWindow(ui::Component* owner, ProjectState& state);
  ~DocumentWindow() override;
  std::string ClassName() const override { return "DocumentWindow"; }

  // The page shown and edited.
  PageModel& Page() override { return page_; }
  const PageModel& Page() const { return page_; }

  // Components.
  ui::TPanel* pageFrame;  // the model's frame, shown in this window
  ui::TPanel* sidePanel;
  ui::TLabel* positionLabel;  // position readout
  ui::TLabel* copiesLabel;    // copies per A3 sheet
  ui::TLabel* sizeLabel;      // gross size

  // The resize handles at the corners of the selected element, and the ruler markers along its
  // sides.
  ui::TImage* Handle(Corner corner) const override { return handles_[static_cast<int>(corner)]; }
  ui::TImage* Marker(Side side) const override { return markers_[static_cast<int>(side)]; }
  const std::array<ui::TImage*, 4>& Handles() const override { return handles_; }
  const std::array<ui::TImage*, 4>& Markers() const override { return markers_; }

  ProjectState& State() { return state_; }
  // The element tools: the next click on the page creates an element of the mode ("label",
  // "memo" or "Rect"); the screen cursor shows the up-arrow while armed.
  void ArmCreation(std::string_view mode);
  // The armed click on the page background: creates the element CreateMode names at the last
  // mouse position when the screen cursor is still armed; the cursor falls back either way.
  void CreateArmedElement();
  // Inserts a picture from a file (see PageModel::InsertPicture), shrunk to fit the page; tells
  // each shrinking. Raises PictureFileError when the file is no readable picture.
  Notices InsertPicture(const std::filesystem::path& file);
  // Brings an element to the front and gives it the highest number (swapping with the element
  // that had it), so the order survives saving.
  void BringElementToFront(report::TPRItem& element);
  void BringElementToFront(std::string_view name);
  // Frees an element and takes its handles and markers off the page; false for the background
  // or when none has the name.
  bool DeleteElement(report::TPRItem& element);
  bool DeleteElement(std::string_view name);

  // The popup menus of the four element kinds ("Element löschen", "In den Vordergrund"). The
  // text line, text field and rectangle menus act on the pressed element (the first two only on
  // one of their own kind), the image menu on the image it was opened on.
  using Popup = ElementMenu;
  void PopupDeleteClick(Popup popup);
  void PopupBringToFrontClick(Popup popup);
  // "Eigenschaften...": the property window of the pressed element's kind, when the pressed
  // element is of that kind. Double-clicks on text lines, text fields and rectangles ask for it
  // too.
  void PopupPropertiesClick(Popup popup) override;
  // Frees every element and the background; nothing stays chosen.
  void ClearPage();
  // Puts the resize handles at the corners of an element (none: they stay).
  void PlaceHandlesAround(const report::TPRItem* element) override;
  void ShowHandlesOnTop();
  // Nothing is chosen any more: no element, handle or marker (a click beside the page).
  void LetGo();
  // Takes the resize handles and the ruler markers off the page.
  void HideHandlesAndMarkers();
  // Copies per A3 sheet, also shown in copiesLabel.
  int CopiesPerA3Sheet();
  // Rebuilds the page on screen from page n (1-based) of the page list (see PageModel::LoadPage),
  // telling of bitmap blocks that could not be read.
  Notices LoadPage(int page, bool maximise = false);
  // Rebuilds the page on screen from a page text that stands for page n of its project (the
  // first page carries the project information).
  Notices LoadPageText(const SharedBytes& pageText, int page, bool maximise);
  // Sets the page size from the format texts (pixels from millimetres), and the caption.
  void ApplyPageSize();
  // The page area of a new document: background, size, handles, CopiesPerA3Sheet.
  void InitDocument();

  // A background picture from a file; raises PictureFileError when the file is no picture.
  void LoadBackgroundPicture(const std::filesystem::path& file);
  // The side panel's "Check CMYK": runs the check and gives the result in words.
  std::string CheckInks();

  // Gives an element the mouse handlers of its kind (moving, selecting, popups); called for every
  // element the window creates or reads.
  void AttachElementHandlers(report::TPRItem& item);
  // An action changed the page (an element made, moved, resized, deleted, brought forward, a
  // property set): whoever keeps the undo history records a step. Actions with the same merge key
  // in a row make one step (see UndoHistory).
  std::function<void(std::string_view mergeKey)> OnChanged;
  void Changed(std::string_view mergeKey = {}) override {
    if (OnChanged) OnChanged(mergeKey);
  }
  // Opens a popup menu at a position on the page; the screen shows it, tests record it.
  std::function<void(Popup popup, int x, int y)> OnPopup;
  // Shows the property window of a kind at the mouse cursor; the screen shows it.
  std::function<void(Popup popup)> OnProperties;
  // A page was rebuilt from its text: the data-field list holds its data fields now.
  std::function<void()> OnPageRebuilt;
  // The side panel's ink check was pressed: whoever shows messages runs the check and tells.
  std::function<void()> OnCheckInks;
  // The element editing by mouse, with this window's drag state and its hooks.
  MouseEditing& MouseEditor() { return mouseEditing_; }
  // The cut, fold and perforation lines of an orderable document.
  GuideLines& Guides() { return page_.Guides(); }
  const GuideLines& Guides() const { return page_.Guides(); }

  // What the mouse picked on the page (the editing of elements keeps it up to date).
  Selection& Selected() override { return selection_; }
  const Selection& Selected() const { return selection_; }
  // Where the mouse was last on the page background.
  int LastPagePointX = 0;
  int LastPagePointY = 0;

 private:
  // What the mouse editing asks of the window besides the above.
  ui::Platform* EditingPlatform() const override { return GetPlatform(); }
  bool GridAid() const override { return state_.gridAid; }
  void CreateArmedElementAt(int x, int y) override {
    LastPagePointX = x;
    LastPagePointY = y;
    CreateArmedElement();
  }
  void ShowPosition(const std::string& text) override { positionLabel->SetCaption(text); }
  void ShowPopup(Popup popup, int x, int y) override {
    if (OnPopup) OnPopup(popup, x, y);
  }

  void AttachBackgroundHandlers(report::TPRJpegImage& background);
  // What the window shows besides the page once a page is built or rebuilt.
  void ShowBuiltPage(bool maximise);

  ProjectState& state_;
  PageModel page_;
  Selection selection_;
  std::array<ui::TImage*, 4> handles_;
  std::array<ui::TImage*, 4> markers_;
  MouseEditing mouseEditing_{*this};
};

}  // namespace quirabel::designer
