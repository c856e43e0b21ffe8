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
#include "designer/project_state.h"
#include "designer/selection.h"
#include "graphics/ink.h"
#include "report/pr_images.h"
#include "report/pr_labels.h"
#include "report/pr_report.h"
#include "report/pr_shapes.h"
#include "ui/controls.h"

namespace quirabel::designer {

// An element of the page with its number (the digits after prefix and document identifier).
struct PageElement {
  report::TPRItem* item;
  ElementKind kind;
  int number;  // 0 when the name carries another document identifier
};

// The document window: one page of the open project with its elements, on a grey background.
// It keeps no project state of its own beyond the page on screen; the rest is the application's.
class DocumentWindow : public ui::TForm {
 public:
  DocumentWindow(ui::Component* owner, ProjectState& state);
  ~DocumentWindow() override;
  std::string ClassName() const override { return "DocumentWindow"; }

  // Components.
  ui::TPanel* pageFrame;
  report::TPRPage* pagePanel;
  report::TPRLayoutPanel* layoutPanel;
  ui::TPanel* sidePanel;
  ui::TLabel* positionLabel;  // position readout
  ui::TLabel* copiesLabel;    // copies per A3 sheet
  ui::TLabel* sizeLabel;      // gross size
  report::TPReport* pdfReport;

  // The resize handles at the corners of the selected element, and the ruler markers along its
  // sides.
  ui::TImage* Handle(Corner corner) const { return handles_[static_cast<int>(corner)]; }
  ui::TImage* Marker(Side side) const { return markers_[static_cast<int>(side)]; }
  const std::array<ui::TImage*, 4>& Handles() const { return handles_; }
  const std::array<ui::TImage*, 4>& Markers() const { return markers_; }

  ProjectState& State() { return state_; }
  const std::string& DocumentId() const { return documentId_; }
  void SetDocumentId(std::string id) { documentId_ = std::move(id); }
  int ElementCounter() const { return static_cast<int>(Elements().size()) + 1; }

  // The page background element (a JPEG image named DocumentId), none before a page is built.
  report::TPRJpegImage* Background() const;
  // The elements of the page in ascending number (kind order within a number); elements whose
  // name carries another identifier come last, in stacking order.
  std::vector<PageElement> Elements() const;
  report::TPRItem* FindElement(std::string_view name) const;
  // The number for the next new element: the smallest from 2 up that no element carries.
  int NextElementNumber() const;
  std::string ElementName(ElementKind kind, int number) const;

  // Creates an element of a kind with the next number, on top of the page.
  report::TPRItem& CreateElement(ElementKind kind);
  // A new element made from a stored one (see StoreElement), with a name and number of its own,
  // moved by dx, dy; pictures come with the picture they show.
  report::TPRItem& AddElementCopy(const projectfile::ElementBlock& block,
                                  const graphics::Picture& picture, int dx, int dy);
  // The element tools: the next click on the page creates an element of the mode ("label",
  // "memo" or "Rect"); the screen cursor shows the up-arrow while armed.
  void ArmCreation(std::string_view mode);
  // The armed click on the page background: creates the element CreateMode names at the last
  // mouse position when the screen cursor is still armed; the cursor falls back either way.
  void CreateArmedElement();
  // Inserts a picture from a file as a bitmap element (BMP) or a JPEG element (JPEG, or GIF
  // converted), shrunk to fit the page. The format is recognised from the content. False (with a
  // message) when the file is no readable picture.
  bool InsertPicture(const std::filesystem::path& file);
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
  void PopupPropertiesClick(Popup popup);
  // Frees every element and the background.
  void ClearPage();
  // Puts the resize handles at the corners of an element (none: they stay).
  void PlaceHandlesAround(const report::TPRItem* element);
  void ShowHandlesOnTop();
  // Nothing is chosen any more: no element, handle or marker (a click beside the page).
  void LetGo();
  // Moves a new element (created, pasted, inserted) inside the page margins.
  void KeepInsideMargins(report::TPRItem& element) const;
  // Takes the resize handles and the ruler markers off the page.
  void HideHandlesAndMarkers();
  // Copies per A3 sheet, also shown in copiesLabel.
  int CopiesPerA3Sheet();
  // Starts a PDF document in the report, created now.
  void BeginPdf();
  // Writes the report's PDF document. When the file cannot be written the report tells why and
  // the document is given up, so the next export starts clean; false then.
  bool EndPdf();
  // Writes the page on screen alone as a PDF (".pdf" appended when the name lacks it); false when
  // the file could not be written.
  bool SinglePageAsPdf(const std::string& fileName);

  // The largest page text or project file read (pictures of a few pages are far below it).
  static constexpr std::size_t kMaxPageTextBytes = 1024ull * 1024 * 1024;
  // What the pictures a page holds may decode to, together, and what the bitmaps of a project
  // may (they go into a PDF pixel by pixel, where a JPEG passes through as it is). A 20-megapixel
  // photograph on every page stays far below; a page of "bombs" does not.
  static constexpr std::uint64_t kMaxPixelsPerPage = 120'000'000;
  static constexpr std::uint64_t kMaxBitmapPixelsPerProject = 100'000'000;

  // Page texts (file form): the page on screen into its text, and back.
  std::string PageTextOfScreen() const;
  // The same, as the current page's stored text when that has exactly these bytes (no copy).
  SharedBytes SharedPageTextOfScreen() const;
  // Stores the page on screen as the current page's text in the page list.
  void StoreCurrentPage();
  // Rebuilds the page on screen from page n (1-based) of the page list, which becomes the current
  // page. Raises ProjectFileError (German message) for a text that is no page or a page the
  // project does not have; the page on screen and the current page are then kept.
  void LoadPage(int page, bool maximise = false);
  // Rebuilds the page on screen from a page text that stands for page n of its project (the
  // first page carries the project information).
  void LoadPageText(const SharedBytes& pageText, int page, bool maximise);
  // Writes every page text into a project file, replacing it only when all is written. Raises
  // ProjectFileError (nothing written) when a page would not read back, FileError when the file
  // cannot be written.
  void WriteProjectFile(const std::filesystem::path& fileName);

  // Sets the page size from the format texts (pixels from millimetres).
  void ApplyPageSize();
  // The page area of a new document: background, size, handles, CopiesPerA3Sheet.
  void InitDocument();

  // Backgrounds and the colour check.
  void SetBackgroundColour(graphics::TColor color);
  bool LoadBackgroundPicture(const std::filesystem::path& file);
  graphics::TColor GifReplaceColour() const { return gifReplaceColour_; }
  int CountInks();
  // The side panel's "Check CMYK": runs the check and tells the result.
  void CheckInksClick();

  // Gives an element the mouse handlers of its kind (moving, selecting, popups); called for every
  // element the window creates or reads.
  void AttachElementHandlers(report::TPRItem& item);
  // An action changed the page (an element made, moved, resized, deleted, brought forward, a
  // property set): whoever keeps the undo history records a step. Actions with the same merge key
  // in a row make one step (see UndoHistory).
  std::function<void(std::string_view mergeKey)> OnChanged;
  void Changed(std::string_view mergeKey = {}) {
    if (OnChanged) OnChanged(mergeKey);
  }
  // Opens a popup menu at a position on the page; the screen shows it, tests record it.
  std::function<void(Popup popup, int x, int y)> OnPopup;
  // Shows the property window of a kind at the mouse cursor; the screen shows it.
  std::function<void(Popup popup)> OnProperties;
  // A page was rebuilt from its text: the data-field list holds its data fields now.
  std::function<void()> OnPageRebuilt;
  // The element editing by mouse, with this window's drag state and its hooks.
  MouseEditing& MouseEditor() { return mouseEditing_; }
  // The cut, fold and perforation lines of an orderable document.
  GuideLines& Guides() { return guideLines_; }
  const GuideLines& Guides() const { return guideLines_; }

  // What the mouse picked on the page (the editing of elements keeps it up to date).
  Selection& Selected() { return selection_; }
  const Selection& Selected() const { return selection_; }
  // Where the mouse was last on the page background.
  int LastPagePointX = 0;
  int LastPagePointY = 0;

 private:
  void AttachBackgroundHandlers(report::TPRJpegImage& background);
  // Refuses a page whose pictures would decode to more than the budgets allow (see above).
  void CheckPixelBudget(const projectfile::PageText& page, int pageNumber);
  projectfile::PageText PageOfScreen() const;
  // Page n read from its text, or as read before from the very same bytes (an export after going
  // through the pages reads each page once).
  const projectfile::PageText& ReadPage(const SharedBytes& pageText, int pageNumber);
  void SetBackgroundPicture(const graphics::Picture& jpeg);
  void ShowMessage(std::string_view text);
  std::filesystem::path ScratchBackgroundFile() const;

  ProjectState& state_;
  Selection selection_;
  std::array<ui::TImage*, 4> handles_;
  std::array<ui::TImage*, 4> markers_;
  std::string documentId_;
  graphics::TColor gifReplaceColour_ = graphics::clWhite;
  graphics::InkFlags inks_;
  MouseEditing mouseEditing_{*this};
  GuideLines guideLines_{*this};
  // Pages read, by number, with the bytes they were read from: kept with the entry, those bytes
  // cannot be freed and others take their place while it stands.
  struct PageAsRead {
    SharedBytes text;
    projectfile::PageText page;
  };
  std::map<int, PageAsRead> readPages_;
};

}  // namespace quirabel::designer
