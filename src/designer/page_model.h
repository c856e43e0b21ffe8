#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/shared_bytes.h"
#include "base/user_error.h"
#include "designer/element_kinds.h"
#include "designer/project_state.h"
#include "designer/projectfile/page_text.h"
#include "graphics/ink.h"
#include "report/pr_images.h"
#include "report/pr_report.h"
#include "ui/controls.h"

namespace quirabel::designer {

class GuideLines;

// An element of the page with its number (the digits after prefix and document identifier).
struct PageElement {
  report::TPRItem* item;
  ElementKind kind;
  int number;  // 0 when the name carries another document identifier
};

// A picture file that cannot become a background or an element; the text tells the person why.
class PictureFileError : public UserError {
 public:
  using UserError::UserError;
};

// One page of the open project, apart from any window: its elements and their numbering, the
// background, the guide lines, the page text in and out, and printing into a report. The
// designer's document window shows and edits one; the serial run and the batch tool print with
// them and no window. The controls belong to the owner given (the document window, or a root
// component of a run), so component names stay where they always were.
class PageModel {
 public:
  PageModel(ui::Component& owner, ProjectState& state);
  ~PageModel();
  PageModel(const PageModel&) = delete;
  PageModel& operator=(const PageModel&) = delete;

  ui::Component& Owner() const { return owner_; }
  ProjectState& State() const { return state_; }
  // The grey frame around the page ("Panel1"), the page ("PRPage1") and its layout panel
  // ("PRLayoutPanel1"), on which background, elements and guide lines lie.
  ui::TPanel& Frame() const { return *frame_; }
  report::TPRPage& PagePanel() const { return *pagePanel_; }
  report::TPRLayoutPanel& LayoutPanel() const { return *layoutPanel_; }
  // The report the page prints into ("PReport1").
  report::TPReport& Report() const { return *report_; }
  // The cut, fold and perforation lines of an orderable document.
  GuideLines& Guides() const { return *guideLines_; }

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
  // Adds the data fields an element is filled from to the project's list, each once.
  void NoteDataFields(const report::TPRItem& item);
  // A new element made from a stored one (see StoreElement), with a name and number of its own,
  // moved by dx, dy and kept inside the margins; pictures come with the picture they show. Its
  // data field joins the data-field list.
  report::TPRItem& AddElementCopy(const projectfile::ElementBlock& block,
                                  const graphics::Picture& picture, int dx, int dy);
  // Inserts a picture file as a bitmap element (BMP, PNG) or a JPEG element (JPEG, or GIF
  // converted), at 20, 20 in its own size. The format is recognised from the content.
  // PictureFileError when the file is no readable picture; nothing is added then.
  report::TPRImage& InsertPicture(const std::filesystem::path& file);
  // Brings an element to the front and gives it the highest number (swapping with the element
  // that had it), so the order survives saving.
  void BringElementToFront(report::TPRItem& element);
  // Frees an element; false for the background.
  bool DeleteElement(report::TPRItem& element);
  // Frees every element and the background.
  void ClearPage();
  // Moves an element inside the page margins.
  void KeepInsideMargins(report::TPRItem& element) const;

  // The largest page text or project file read (pictures of a few pages are far below it).
  static constexpr std::size_t kMaxPageTextBytes = 1024ull * 1024 * 1024;
  // What the pictures a page holds may decode to, together, and what the bitmaps of a project
  // may (they go into a PDF pixel by pixel, where a JPEG passes through as it is). A 20-megapixel
  // photograph on every page stays far below; a page of "bombs" does not.
  static constexpr std::uint64_t kMaxPixelsPerPage = 120'000'000;
  static constexpr std::uint64_t kMaxBitmapPixelsPerProject = 100'000'000;

  // The page as its page text (file form).
  std::string PageText() const;
  // The same, as the current page's stored text when that has exactly these bytes (no copy).
  SharedBytes SharedPageText() const;
  // Stores the page as the current page's text in the page list.
  void StoreCurrentPage();
  // What reading a page left out that the person is told about at once.
  struct Loaded {
    int skippedBitmapBlocks = 0;  // bitmap blocks too short to read
    // Elements whose names lack the mark of their kind, for the person: none when empty.
    std::string unmarkedElements;
  };
  // Rebuilds the page from page n (1-based) of the page list, which becomes the current page.
  // Raises ProjectFileError (German message) for a text that is no page or a page the project
  // does not have; the page and the current page are then kept.
  Loaded LoadPage(int page);
  // Rebuilds the page from a page text that stands for page n of its project (the first page
  // carries the project information).
  Loaded LoadPageText(const SharedBytes& pageText, int page);
  // Writes every page text of the project into a project file, replacing it only when all is
  // written. Raises ProjectFileError (nothing written) when a page would not read back,
  // FileError when the file cannot be written.
  void WriteProjectFile(const std::filesystem::path& fileName) const;

  // Sets the page size from the format texts (pixels from millimetres).
  void ApplyPageSize();
  // The page of a new document: size, an empty background, the guide lines, the project
  // information of a new project.
  void InitDocument();

  // Backgrounds.
  void SetBackgroundColour(graphics::TColor color);
  // PictureFileError when the file is no readable picture; the background stays then.
  void LoadBackgroundPicture(const std::filesystem::path& file);
  // The colour transparent GIF parts take: the background's top-left pixel.
  graphics::TColor GifReplaceColour() const { return gifReplaceColour_; }
  // How many process inks the page needs at most (the colour check).
  int CountInks();
  // Which inks the last CountInks found.
  const graphics::InkFlags& Inks() const { return inks_; }

  // Starts a PDF document in the report, created now.
  void BeginPdf();
  // Prints the page into the report's open document.
  void PrintInto(report::TPReport& report) const { report.Print(*pagePanel_); }
  // Writes the report's PDF document. When the file cannot be written the document is given up,
  // so the next export starts clean, and the report's UserError says why.
  void EndPdf();
  // Writes the page alone as a PDF (".pdf" appended when the name lacks it) and gives what kept
  // elements out of it; a UserError when the file could not be written.
  Notices SinglePageAsPdf(const std::string& fileName);

  // An element or the background was put on the page: whoever shows the page gives it its mouse
  // handlers.
  std::function<void(report::TPRItem& element)> OnElementPlaced;
  std::function<void(report::TPRJpegImage& background)> OnBackgroundPlaced;
  // An action changed the page; see DocumentWindow::OnChanged.
  std::function<void(std::string_view mergeKey)> OnChanged;
  void Changed(std::string_view mergeKey = {}) const {
    if (OnChanged) OnChanged(mergeKey);
  }

  // Reads every page of the project that is not read yet, on all cores side by side, for a
  // caller about to go through all pages: each is then loaded without being read again.
  void ReadAllPages();

 private:
  // Refuses a page whose pictures would decode to more than the budgets allow (see above).
  void CheckPixelBudget(const projectfile::PageText& page, int pageNumber);
  projectfile::PageText ParsedPageText() const;
  // Page n read from its text, or as read before from the very same bytes (an export after going
  // through the pages reads each page once).
  const projectfile::PageText& ReadPage(const SharedBytes& pageText, int pageNumber);
  void SetBackgroundPicture(const graphics::Picture& jpeg);
  report::TPRJpegImage& PlaceBackground();
  void Place(report::TPRItem& element);
  std::filesystem::path ScratchBackgroundFile() const;

  ui::Component& owner_;
  ProjectState& state_;
  ui::TPanel* frame_;
  report::TPRPage* pagePanel_;
  report::TPRLayoutPanel* layoutPanel_;
  report::TPReport* report_;
  ui::ComponentRef<report::TPRJpegImage> background_;
  std::string documentId_;
  graphics::TColor gifReplaceColour_ = graphics::clWhite;
  graphics::InkFlags inks_;
  std::unique_ptr<GuideLines> guideLines_;
  // Pages read, by number, with the bytes they were read from: kept with the entry, those bytes
  // cannot be freed and others take their place while it stands.
  struct PageAsRead {
    SharedBytes text;
    projectfile::PageText page;
  };
  std::map<int, PageAsRead> readPages_;
};

}  // namespace quirabel::designer
