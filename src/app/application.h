#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/edit_commands.h"
#include "designer/page_model.h"
#include "designer/print_formats.h"
#include "designer/project_state.h"
#include "dialogs/code_window.h"
#include "dialogs/data_field_window.h"
#include "dialogs/page_windows.h"
#include "dialogs/project_windows.h"
#include "dialogs/property_windows.h"
#include "dialogs/template_folder.h"
#include "ui/platform.h"

namespace quirabel::designer {
class DocumentWindow;
}

namespace quirabel::app {

// "Das Dokument ist 4 farbig" and, per page, its inks: "Seite 1: Cyan, Magenta, Gelb, Schwarz;
// Seite 2: Schwarz" (a page without any: "keine").
std::string InkReport(const std::vector<graphics::InkFlags>& pages);

// The application: its state (the open project) and its windows. The main window's commands are
// written here once; the designer calls them from its menus, the batch tool from its command
// line, and tests directly. Dialog answers come through the platform.
class Application : public ui::Component {
 public:
  Application(ui::Platform& platform, std::string programFolder);
  ~Application() override;
  std::string ClassName() const override { return "TApplication"; }

  // Shows what an operation that succeeded had to tell, one message each.
  void Tell(const Notices& notices);

  designer::ProjectState& State() { return state_; }
  // The document window, none while no document is open.
  designer::DocumentWindow* DocumentWindow() const { return documentWindow_; }
  // The page shown, none while no document is open.
  designer::PageModel* Page() const;
  dialogs::FormatWindow& FormatWindow() { return *formatWindow_; }
  dialogs::ProjectInfoWindow& ProjectInfoWindow() { return *projectInfoWindow_; }
  dialogs::SaveQuestionWindow& SaveQuestionWindow() { return *saveQuestionWindow_; }
  dialogs::GoToPageWindow& GoToPageWindow() { return *goToPageWindow_; }
  dialogs::DeletePageWindow& DeletePageWindow() { return *deletePageWindow_; }
  // The text line and text field windows belong to the open document: made afresh with each new
  // or opened document and freed when it closes, so each document starts with their design
  // values. None while no document is open.
  dialogs::LabelPropertiesWindow* LabelWindow() const { return labelWindow_; }
  dialogs::TextPropertiesWindow* TextWindow() const { return textWindow_; }
  // The rectangle and data-field windows live for the whole run.
  dialogs::RectanglePropertiesWindow& RectangleWindow() { return *rectangleWindow_; }
  dialogs::CodePropertiesWindow& CodeWindow() { return *codeWindow_; }
  dialogs::DataFieldWindow& DataFieldWindow() { return *dataFieldWindow_; }

  // "Eigenschaften..." in an element's popup, and a double-click on the element: the property
  // window of the pressed element's kind, filled for it and shown at the mouse cursor.
  void OpenPropertiesOfPressed(designer::ElementMenu popup);
  // What the property window of a kind does with an element of it. The windows of the kinds that
  // have one are registered under the kind's popup menu (designer::ElementType::menu).
  struct PropertyWindowHooks {
    // A left press on the element: the window shows its settings.
    std::function<void(report::TPRItem&)> fill;
    // The window opens for the element at a point of the screen.
    std::function<void(report::TPRItem&, ui::TPoint)> open;
  };
  void RegisterPropertyWindow(designer::ElementMenu menu, PropertyWindowHooks hooks);
  // "&Label Eigenschaften", "Te&xt Eigenschaften", "&Rechteck Eigenschaften": the window where
  // it last stood.
  void ShowLabelWindow();
  void ShowTextWindow();
  void ShowRectangleWindow();
  // Undo, redo, the element clipboard and the keyboard's editing commands.
  EditCommands& Edits() { return *edits_; }
  dialogs::NewPageWindow& NewPageWindow() { return *newPageWindow_; }
  dialogs::TemplateNameWindow& TemplateNameWindow() { return *templateNameWindow_; }
  dialogs::DeleteTemplatesWindow& DeleteTemplatesWindow() { return *deleteTemplatesWindow_; }

  // Called for every document window as it is made, before it shows a page: the screen wires its
  // popup menus and property windows here.
  std::function<void(designer::DocumentWindow&)> OnDocumentWindowMade;

  // The program started with a file named: it becomes the project's name at once and is opened
  // a second later.
  void StartWith(const std::string& argument);
  // Once, a second after the start: opens the project named at the start, without any question.
  bool OpenStartProject();

  // "&Neu": offers to save the open project, closes it and shows the format window.
  void OnNewDocument();
  // The format window's "Dokument erstellen...": a new document of the chosen format. False
  // (with "Keine gültige Millimeter-Angabe!") when the size gives no page.
  bool CreateChosenDocument();
  // A new document of a format, as the format window makes it; orderable with the guide lines of
  // a print format when one is given (format is then that print format's page).
  bool NewDocument(const designer::PageFormat& format,
                   const designer::PrintFormat* printFormat = nullptr);

  // "Öffnen": offers to save, asks for a file and opens it.
  bool OpenClick();
  // Opens a project file. The file is read and checked before anything closes: a file that is
  // no project is reported and the open document stays as it was.
  bool OpenProject(const std::filesystem::path& file);

  // "Datei-Infos": the project information window; on "Übernehmen" its fields become the
  // project's, on "Weglassen" they stay as they were. False when it was closed otherwise (its
  // close button, Escape).
  bool ProjectInfoClick();
  // "Speichern": the project information window first, then saving (asking for a name when
  // the project has none).
  bool Save();
  // "Speichern unter..": asks for a name.
  bool SaveAs();
  // Stores the page on screen and writes the project under a name (".kxp" appended when the name
  // lacks it), which becomes the project's name.
  bool SaveProjectTo(std::string fileName);
  // Asks whether to save the open project when it has unsaved changes, and does so on "Ja".
  // False when the document must stay: the question was cancelled (Escape, the window's close
  // button), or saving was wanted but did not happen (cancelled name, failed write).
  bool SaveOnRequest();

  // "Als PDF- speichern unter...": every page into one PDF file.
  bool ExportPdf();
  // The export itself, to a named file.
  bool ExportPdfTo(std::string fileName);
  // The same PDF in memory, for a look at it that needs no file; none (after a message) when it
  // could not be made. `pages` > 0 prints only the first so many pages, and reads no other.
  std::optional<std::string> ExportPdfBytes(int pages = 0);
  // The first `pages` pages for a picture whose longer side is `pixels`: the same PDF, but detail
  // no pixel could show may be left out (a code too small to read is a grey area).
  std::optional<std::string> ExportPreviewBytes(int pages, int pixels);
  // "Druckbogen als PDF...": the document's card (page 1, and page 2 as its back) as copies on
  // printing sheets into a named file; the number of cards on each sheet, or none (after a
  // message) when nothing was written.
  std::optional<std::vector<int>> ExportSheetPdfTo(std::string fileName,
                                                   const report::SheetRequest& request);
  // The same, asking for the file as "Als PDF- speichern unter..." does.
  std::optional<std::vector<int>> ExportSheetPdf(const report::SheetRequest& request);
  // The same sheets in memory, for a printer; none (after a message) when they could not be made.
  std::optional<std::string> ExportSheetPdfBytes(const report::SheetRequest& request);
  // Where the copies of the document's card go on the sheets asked for, as the two above put
  // them: for a preview. Raises report::SheetError when the card does not fit (or no document is
  // open).
  report::SheetLayout PlanSheets(const report::SheetRequest& request) const;
  // "Vorschau": every page into "showdef.pdf" in the program folder; the file, or none when it
  // could not be written.
  std::optional<std::filesystem::path> PreviewPdf();

  // Closing the document window: offers to save, then frees it. False when saving was wanted
  // but did not happen (the window stays).
  bool CloseDocument();

  // The one way to another page: stores the page on screen, loads page n (1-based) and shows the
  // guide lines of its side. False (with a message) when page n cannot be read; the page on
  // screen then stays.
  bool GoToPage(int page);
  // "<": the page before the one on screen, when there is one.
  bool PreviousPageClick();
  // ">": the next page; at the last page asks in the new-page window for an empty page or one
  // from a template, and appends it. Refused for documents made from sample templates and for
  // orderable documents, which have two pages at most.
  bool NextPageClick();
  // Appends a page after the last one and shows it: empty (white) or with the content of a
  // template file named by its index path. False, with no page added, when the template cannot
  // be read.
  bool AppendPage(const std::string& templatePath = {});
  // "Seite in den Vorlageorder übernehmen.": asks for a name and saves the page on screen as a
  // template. Not for orderable documents.
  bool SaveTemplateClick();
  // Saves the page on screen as a template of a name (asking before it replaces one).
  bool SaveTemplate(const std::string& name);
  // "&Vorlagen": the window that deletes templates.
  bool DeleteTemplatesClick();
  // "goto": asks for a page number in the go-to window and shows that page.
  bool GotoClick();
  // "X": asks, then deletes the page on screen. A project keeps at least one page.
  bool DeletePageClick();
  // Deletes the page on screen and shows the one before it (the new first page when it was the
  // first). The page to show is read before anything is deleted.
  bool DeleteCurrentPage();

  // The element and page tools: each asks through its dialog and hands the answer to the
  // document window. False when there is no document or the dialog was cancelled.
  bool InsertPictureClick();      // "Ein Bild einfügen (BMP,JPG,GIF)"
  bool BackgroundColourClick();   // "Die Hintergrundfarbe ändern"
  bool BackgroundPictureClick();  // "Ein Hintergrundbild laden"
  bool SinglePageClick();         // "Einzelseite als PDF speichern.."

  // Orderable documents: page 2 is the back side with mirrored guide lines.
  void ShowSideOfPage(int page);

  // Loads and stores back every page, as export does, and comes back to the page shown before.
  bool VisitAllPages();
  // The document's ink check over every page, told as "Das Dokument ist N farbig" with the inks
  // of each page; the page shown stays.
  void CheckInks();
  // The inks of each page, from page 1; none when a page cannot be loaded (after its message).
  std::optional<std::vector<graphics::InkFlags>> InksOfAllPages();

 private:
  void ShowMessage(const std::string& text);
  // Saves under the project's name, asking for one when it has none.
  bool SaveUnderProjectName();
  // A new document window, handed to OnDocumentWindowMade.
  designer::DocumentWindow* MakeDocumentWindow();
  designer::DocumentWindow& CreateDocumentWindow();
  void FreeDocumentWindow();
  void CreatePropertyWindows();
  void FreePropertyWindows();
  std::string NewProjectNumber();
  // Prints every page (or the first `pages` > 0) into the report's file, each loaded from its page
  // text (and stored back when asked). False, with a message, when a page cannot be read or the
  // file not written.
  bool PrintAllPages(bool storeBack, int pages = 0);
  // The project's information into the report, and the page on screen into the project, before
  // an export.
  void PrepareExport();
  // Runs an export with the report set to put the card on `request`'s sheets, and back; a card
  // that does not fit is told, and gives none.
  std::optional<std::vector<int>> OnSheets(
      const report::SheetRequest& request,
      const std::function<std::vector<int>(report::TPReport&)>& exportPages);
  // The PDF file an export goes to, asked for after the project information; none when there is
  // no document, the project was never saved (with a message) or the question was cancelled.
  std::optional<std::string> AskPdfFile();

  ui::Platform& platform_;
  designer::ProjectState state_;
  designer::DocumentWindow* documentWindow_ = nullptr;
  dialogs::FormatWindow* formatWindow_;
  dialogs::ProjectInfoWindow* projectInfoWindow_;
  dialogs::SaveQuestionWindow* saveQuestionWindow_;
  dialogs::GoToPageWindow* goToPageWindow_;
  dialogs::DeletePageWindow* deletePageWindow_;
  // The property windows of the kinds, by popup menu.
  std::map<designer::ElementMenu, PropertyWindowHooks> propertyWindows_;
  void RegisterPropertyWindows();
  dialogs::LabelPropertiesWindow* labelWindow_ = nullptr;
  dialogs::TextPropertiesWindow* textWindow_ = nullptr;
  dialogs::RectanglePropertiesWindow* rectangleWindow_;
  dialogs::CodePropertiesWindow* codeWindow_;
  dialogs::DataFieldWindow* dataFieldWindow_;
  std::unique_ptr<EditCommands> edits_;
  dialogs::NewPageWindow* newPageWindow_;
  dialogs::TemplateNameWindow* templateNameWindow_;
  dialogs::ReplaceTemplateWindow* replaceTemplateWindow_;
  dialogs::DeleteTemplatesWindow* deleteTemplatesWindow_;
};

}  // namespace quirabel::app
