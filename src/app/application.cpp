#include "app/application.h"

#include <algorithm>

#include "app/command_boundary.h"
#include "base/atomic_file.h"
#include "base/digits.h"
#include "base/file_names.h"
#include "base/shared_bytes.h"
#include "designer/document_window.h"
#include "designer/page_format.h"
#include "designer/projectfile/page_text.h"
#include "designer/projectfile/project_split.h"
#include "graphics/code_symbol.h"
#include "pdf/pdf_errors.h"

namespace quirabel::app {

namespace pf = designer::projectfile;

namespace {

constexpr const char* kSaveFirst = "Bitte speichern Sie zunächst Ihr Dokument als Quirabel Datei!";
constexpr const char* kProjectFilter = "Quirabel Dateien|*.kxp";
constexpr const char* kPdfFilter = "PDF-Files|*.pdf";
constexpr const char* kPictureFilter =
    "Alle unterstützten Formate|*.bmp;*.jpg;*.gif;*.png|BMP|*.bmp|JPG|*.jpg|GIF|*.gif|PNG|*.png";
// Every format the background takes is offered at once; the single entries are as they always
// were.
constexpr const char* kBackgroundFilter =
    "Alle unterstützten Formate|*.jpg;*.bmp;*.gif;*.png|JPG-Files|*.jpg|BMP-Files|*.bmp|"
    "GIF-Files|*.gif|PNG-Dateien|*.png";

// A name that points at a folder gets no file: "sub/" would otherwise become the hidden
// "sub/.kxp".
bool NamesAFolder(const std::string& name) {
  std::error_code error;
  return name.empty() || name.back() == '/' || std::filesystem::is_directory(name, error);
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  if (std::filesystem::equivalent(a, b, error)) return true;
  const std::filesystem::path first = std::filesystem::weakly_canonical(a, error);
  if (error) return false;
  const std::filesystem::path second = std::filesystem::weakly_canonical(b, error);
  return !error && first == second;
}

}  // namespace

Application::Application(ui::Platform& platform, std::string programFolder) : platform_(platform) {
  SetPlatform(&platform);
  state_.programFolder = std::move(programFolder);
  formatWindow_ = new dialogs::FormatWindow(this);
  projectInfoWindow_ = new dialogs::ProjectInfoWindow(this);
  saveQuestionWindow_ = new dialogs::SaveQuestionWindow(this);
  goToPageWindow_ = new dialogs::GoToPageWindow(this);
  deletePageWindow_ = new dialogs::DeletePageWindow(this);
  const dialogs::DocumentSource document = [this] { return documentWindow_; };
  rectangleWindow_ = new dialogs::RectanglePropertiesWindow(this, document);
  codeWindow_ = new dialogs::CodePropertiesWindow(this, document, state_.dataFields);
  dataFieldWindow_ = new dialogs::DataFieldWindow(this, state_.dataFields, document);
  edits_ = std::make_unique<EditCommands>(*this);
  newPageWindow_ = new dialogs::NewPageWindow(this);
  templateNameWindow_ = new dialogs::TemplateNameWindow(this);
  replaceTemplateWindow_ = new dialogs::ReplaceTemplateWindow(this);
  deleteTemplatesWindow_ = new dialogs::DeleteTemplatesWindow(this);
  RegisterPropertyWindows();
}

Application::~Application() = default;

void Application::ShowMessage(const std::string& text) { platform_.ShowMessage(text); }

std::string InkReport(const std::vector<graphics::InkFlags>& pages) {
  graphics::InkFlags all;
  std::string perPage;
  for (std::size_t n = 0; n < pages.size(); ++n) {
    const graphics::InkFlags& inks = pages[n];
    std::string names;
    for (const auto& [used, name] :
         {std::pair{inks.cyan, "Cyan"}, std::pair{inks.magenta, "Magenta"},
          std::pair{inks.yellow, "Gelb"}, std::pair{inks.black, "Schwarz"}}) {
      if (used) names += (names.empty() ? "" : ", ") + std::string(name);
    }
    perPage += (n == 0 ? "" : "; ") + ("Seite " + std::to_string(n + 1) + ": ") +
               (names.empty() ? "keine" : names);
    all.cyan |= inks.cyan;
    all.magenta |= inks.magenta;
    all.yellow |= inks.yellow;
    all.black |= inks.black;
  }
  return "Das Dokument ist " + std::to_string(all.Count()) + " farbig\n" + perPage;
}

std::optional<std::vector<graphics::InkFlags>> Application::InksOfAllPages() {
  if (documentWindow_ == nullptr) return std::nullopt;
  const int shown = state_.currentPage;
  std::vector<graphics::InkFlags> pages;
  platform_.SetScreenCursor(ui::crHourGlass);
  struct RestoreCursor {
    ui::Platform& platform;
    ~RestoreCursor() { platform.SetScreenCursor(ui::crDefault); }
  } restoreCursor{platform_};
  for (int n = 1; n <= state_.pageCount; ++n) {
    // The page on screen is checked as it stands; the others as stored.
    if (n != state_.currentPage && !GoToPage(n)) {
      GoToPage(shown);
      return std::nullopt;
    }
    platform_.ProcessMessages();
    documentWindow_->Page().CountInks();
    pages.push_back(documentWindow_->Page().Inks());
  }
  if (state_.currentPage != shown && !GoToPage(shown)) return std::nullopt;
  return pages;
}

void Application::CheckInks() {
  if (documentWindow_ == nullptr) return;
  RunCommand(platform_, [this] {
    const auto pages = InksOfAllPages();
    if (pages) ShowMessage(InkReport(*pages));
    return pages.has_value();
  });
}

void Application::Tell(const Notices& notices) {
  for (const std::string& notice : notices) platform_.ShowMessage(notice);
}

std::string Application::NewProjectNumber() {
  return designer::TimeDigits(platform_.GetClock().Now());
}

designer::PageModel* Application::Page() const {
  return documentWindow_ != nullptr ? &documentWindow_->Page() : nullptr;
}

designer::DocumentWindow* Application::MakeDocumentWindow() {
  auto* window = new designer::DocumentWindow(this, state_);
  // A left press on a text shows it in its window; the windows are looked up at the press, as
  // they are made anew with each document.
  window->MouseEditor().OnPressed = [this](report::TPRItem& element) {
    const auto hooks = propertyWindows_.find(designer::TypeOf(element).menu);
    if (hooks != propertyWindows_.end() && hooks->second.fill) hooks->second.fill(element);
  };
  window->MouseEditor().OnMemoFitted = [this](const designer::MemoGeometry& geometry) {
    if (textWindow_ != nullptr) textWindow_->FitEditor(geometry);
  };
  window->OnProperties = [this](designer::ElementMenu popup) { OpenPropertiesOfPressed(popup); };
  window->OnPageRebuilt = [this] { dataFieldWindow_->RefillList(); };
  window->OnCheckInks = [this] { CheckInks(); };
  window->OnChanged = [this](std::string_view mergeKey) { edits_->Record(mergeKey); };
  if (OnDocumentWindowMade) OnDocumentWindowMade(*window);
  return window;
}

designer::DocumentWindow& Application::CreateDocumentWindow() {
  FreeDocumentWindow();
  CreatePropertyWindows();
  documentWindow_ = MakeDocumentWindow();
  return *documentWindow_;
}

void Application::FreeDocumentWindow() {
  FreePropertyWindows();
  delete documentWindow_;
  documentWindow_ = nullptr;
}

void Application::CreatePropertyWindows() {
  FreePropertyWindows();
  const dialogs::DocumentSource document = [this] { return documentWindow_; };
  labelWindow_ = new dialogs::LabelPropertiesWindow(this, document);
  textWindow_ = new dialogs::TextPropertiesWindow(this, document);
  labelWindow_->SetDataFieldWindow(dataFieldWindow_);
  textWindow_->SetDataFieldWindow(dataFieldWindow_);
  dataFieldWindow_->SetPropertyWindows(labelWindow_, textWindow_);
}

void Application::FreePropertyWindows() {
  delete labelWindow_;
  delete textWindow_;
  labelWindow_ = nullptr;
  textWindow_ = nullptr;
}

void Application::RegisterPropertyWindow(designer::ElementMenu menu, PropertyWindowHooks hooks) {
  propertyWindows_[menu] = std::move(hooks);
}

// The windows are looked up when they are used: the text line and text field windows are made
// anew with each document. Each is registered for its kind only, so the element handed to it is
// of that kind.
void Application::RegisterPropertyWindows() {
  RegisterPropertyWindow(designer::ElementMenu::Label,
                         {[this](report::TPRItem& element) {
                            if (labelWindow_ != nullptr)
                              labelWindow_->Fill(static_cast<report::TPRLabel&>(element));
                          },
                          [this](report::TPRItem& element, ui::TPoint at) {
                            if (labelWindow_ == nullptr) return;
                            labelWindow_->textEdit->SetText(element.Caption());
                            labelWindow_->ShowAt(at);
                          }});
  RegisterPropertyWindow(designer::ElementMenu::Text,
                         {[this](report::TPRItem& element) {
                            if (textWindow_ != nullptr)
                              textWindow_->Fill(static_cast<report::TPRText&>(element));
                          },
                          [this](report::TPRItem& element, ui::TPoint at) {
                            if (textWindow_ == nullptr) return;
                            const auto& text = static_cast<const report::TPRText&>(element);
                            // Every opening fits the editing area to the field, whether it was
                            // placed by click or read with its page.
                            textWindow_->FitEditorTo(text);
                            textWindow_->Fill(text);
                            textWindow_->ShowAt(at);
                          }});
  // Codes share the rectangles' popup and mouse handling, and have a window of their own.
  RegisterPropertyWindow(designer::ElementMenu::Rect,
                         {nullptr, [this](report::TPRItem& element, ui::TPoint at) {
                            if (element.Kind() == report::ElementKind::Code) {
                              codeWindow_->ShowAt(at);
                            } else {
                              rectangleWindow_->ShowAt(at);
                            }
                          }});
}

void Application::OpenPropertiesOfPressed(designer::ElementMenu popup) {
  if (documentWindow_ == nullptr) return;
  report::TPRItem* pressed = documentWindow_->Selected().Pressed();
  if (pressed == nullptr) return;
  const designer::ElementType& type = designer::TypeOf(*pressed);
  // The popup of one kind opens no window for an element of another.
  if (type.menu != popup || !type.hasProperties) return;
  const auto hooks = propertyWindows_.find(popup);
  if (hooks == propertyWindows_.end() || !hooks->second.open) return;
  hooks->second.open(*pressed, platform_.CursorPosition());
}

void Application::ShowLabelWindow() {
  if (labelWindow_ != nullptr) labelWindow_->Show();
}

void Application::ShowTextWindow() {
  if (textWindow_ != nullptr) textWindow_->Show();
}

void Application::ShowRectangleWindow() { rectangleWindow_->Show(); }

void Application::OnNewDocument() {
  // The open document keeps its number when the person decides to stay with it.
  if (documentWindow_ != nullptr && !SaveOnRequest()) return;
  state_.projectNumber = NewProjectNumber();
  FreeDocumentWindow();
  formatWindow_->SetVisible(true);
  state_.currentPage = 1;
  state_.pageCount = 1;
  state_.lastPdfFileName.clear();
}

bool Application::CreateChosenDocument() {
  formatWindow_->SetVisible(false);
  const std::optional<designer::PageFormat> format = formatWindow_->ChosenFormat();
  if (!format) {
    ShowMessage(dialogs::kInvalidMillimetres);
    return false;
  }
  return NewDocument(*format, formatWindow_->printFormat);
}

bool Application::NewDocument(const designer::PageFormat& format,
                              const designer::PrintFormat* printFormat) {
  if (!designer::WidthPixels(format.widthMm) || !designer::HeightPixels(format.heightMm)) {
    ShowMessage(dialogs::kInvalidMillimetres);
    return false;
  }
  if (state_.projectNumber.empty()) state_.projectNumber = NewProjectNumber();
  state_.docType = format.docType;
  state_.formatWidthText = format.widthMm;
  state_.formatHeightText = format.heightMm;
  state_.verticalFolds = printFormat ? printFormat->verticalFolds : 0;
  state_.horizontalFolds = printFormat ? printFormat->horizontalFolds : 0;
  state_.verticalPerforations = printFormat ? printFormat->verticalPerforations : 0;
  state_.horizontalPerforations = printFormat ? printFormat->horizontalPerforations : 0;
  state_.orderDocument = printFormat != nullptr;
  state_.sampleTemplateDocument = false;
  state_.projectFileName = designer::kNewDocName;
  // The pages of the project that was open go with it; the new one has one page.
  state_.pageTexts.clear();
  state_.dataFields.clear();
  dataFieldWindow_->RefillList();
  state_.readLosses.clear();
  state_.bitmapPixelsByPage.clear();
  state_.currentPage = 1;
  state_.pageCount = 1;

  designer::DocumentWindow& window = CreateDocumentWindow();
  window.Page().SetDocumentId(designer::MakeDocumentId(platform_.GetClock().Now()));
  window.InitDocument();
  window.Page().SetBackgroundColour(graphics::clWhite);
  window.ShowHandlesOnTop();
  window.sizeLabel->SetCaption("H " + format.heightMm + "/B " + format.widthMm + " mm");
  edits_->Reset();
  return true;
}

bool Application::OpenClick() {
  if (documentWindow_ != nullptr) {
    state_.lastPdfFileName.clear();
    if (!SaveOnRequest()) return false;
  }
  const auto file = platform_.FileDialog({"", kProjectFilter, "", false});
  if (!file) return false;
  return OpenProject(*file);
}

bool Application::OpenProject(const std::filesystem::path& file) {
  pf::ProjectFileBytes read;
  platform_.Progress("Read Projektfile..", 0, 1);
  try {
    read = pf::ReadProjectFile(file, designer::PageModel::kMaxPageTextBytes);
    platform_.EndProgress();
  } catch (const FileError& e) {
    platform_.EndProgress();
    ShowMessage("Die Datei kann nicht gelesen werden: " + file.string() + "\n" + e.Reason());
    return false;
  }
  // The page texts stay pieces of the bytes read: nothing is copied.
  std::vector<SharedBytes> pages = std::move(read.pages);
  if (pages.empty()) {
    ShowMessage("Die Datei ist keine Quirabel-Projektdatei: " + file.string());
    return false;
  }
  std::map<int, std::string> losses;
  if (const std::size_t tail = read.unfinishedTailBytes; tail > 0) {
    losses[0] = "Nach der letzten vollständigen Seite stehen " + std::to_string(tail) +
                " Bytes einer abgeschnittenen Seite; sie wurden ausgelassen.";
  }
  // The first page is built in a window of its own; only when it stands does it replace the
  // open document.
  const designer::ProjectState before = state_;
  state_.currentPage = 1;
  state_.readLosses = std::move(losses);
  state_.bitmapPixelsByPage.clear();
  designer::DocumentWindow* window = MakeDocumentWindow();
  try {
    Tell(window->LoadPageText(pages.front(), 1, true));
  } catch (const pf::ProjectFileError& e) {
    delete window;
    state_ = before;
    dataFieldWindow_->RefillList();
    ShowMessage(std::string(e.what()) + "\n" + file.string());
    return false;
  }
  FreeDocumentWindow();
  CreatePropertyWindows();
  documentWindow_ = window;
  state_.projectFileName = file.string();
  state_.pageTexts = std::move(pages);
  state_.pageCount = static_cast<int>(state_.pageTexts.size());
  state_.currentPage = 1;
  state_.lastPdfFileName.clear();
  documentWindow_->Selected().SetPressed(nullptr);
  documentWindow_->ShowHandlesOnTop();
  documentWindow_->SetCaption(state_.DocumentCaption());
  edits_->Reset();
  return true;
}

bool Application::SaveProjectTo(std::string fileName) {
  if (documentWindow_ == nullptr) return false;
  if (NamesAFolder(fileName)) {
    ShowMessage("Das Ziel ist ein Ordner, keine Datei: " + fileName);
    return false;
  }
  fileName = WithExtension(std::move(fileName), ".kxp");
  documentWindow_->Page().StoreCurrentPage();
  platform_.Progress("Save Dokument. Please wait...", 0, 1);
  try {
    documentWindow_->Page().WriteProjectFile(fileName);
    platform_.EndProgress();
  } catch (const pf::ProjectFileError& e) {
    platform_.EndProgress();
    ShowMessage(std::string("Das Projekt wird nicht gespeichert. ") + e.what());
    return false;
  } catch (const FileError& e) {
    platform_.EndProgress();
    ShowMessage("Das Projekt „" + fileName + "“ kann nicht gespeichert werden. " + e.Reason());
    return false;
  }
  state_.projectFileName = fileName;
  edits_->MarkSaved();
  documentWindow_->SetCaption(state_.DocumentCaption());
  return true;
}

bool Application::SaveOnRequest() {
  if (documentWindow_ == nullptr || !state_.unsavedChanges) return true;
  switch (saveQuestionWindow_->ShowModal()) {
    case ui::mrOk:
      return SaveUnderProjectName();
    case ui::mrNo:
      return true;  // "Nein": the changes go
    default:
      return false;  // Escape or the close button: the document stays as it is
  }
}

bool Application::SaveUnderProjectName() {
  if (state_.projectFileName != designer::kNewDocName) {
    return SaveProjectTo(state_.projectFileName);
  }
  const auto file = platform_.FileDialog({"", kProjectFilter, "", true});
  if (!file) return false;
  return SaveProjectTo(*file);
}

bool Application::ProjectInfoClick() {
  projectInfoWindow_->Refresh(state_.info);
  const ui::TModalResult result = projectInfoWindow_->ShowModal();
  if (result == ui::mrOk) state_.info = projectInfoWindow_->Info();
  // "Weglassen" leaves the information as it was and goes on; only the window's close button or
  // Escape stop what asked for it.
  return result == ui::mrOk || result == ui::mrIgnore;
}

bool Application::Save() {
  if (documentWindow_ == nullptr) return false;
  if (!ProjectInfoClick()) return false;
  return SaveUnderProjectName();
}

bool Application::SaveAs() {
  if (documentWindow_ == nullptr) return false;
  documentWindow_->Page().StoreCurrentPage();
  const auto file = platform_.FileDialog({"", kProjectFilter, "", true});
  if (!file) return false;
  return SaveProjectTo(*file);
}

std::optional<std::string> Application::AskPdfFile() {
  if (documentWindow_ == nullptr) return std::nullopt;
  if (state_.projectFileName == designer::kNewDocName) {
    ShowMessage(kSaveFirst);
    return std::nullopt;
  }
  const std::string preset = WithoutExtension(state_.projectFileName, ".kxp");
  ProjectInfoClick();  // "Weglassen" keeps the information as it was and exports all the same
  return platform_.FileDialog({"", kPdfFilter, preset, true});
}

bool Application::ExportPdf() {
  const auto file = AskPdfFile();
  return file && ExportPdfTo(*file);
}

std::optional<std::vector<int>> Application::ExportSheetPdf(const report::SheetRequest& request) {
  const auto file = AskPdfFile();
  if (!file) return std::nullopt;
  return ExportSheetPdfTo(*file, request);
}

report::SheetLayout Application::PlanSheets(const report::SheetRequest& request) const {
  if (documentWindow_ == nullptr) throw report::SheetError("Es ist kein Dokument geöffnet.");
  // The card is the page inside the bleed the report gives orderable documents.
  const report::TPRPage& page = documentWindow_->Page().PagePanel();
  return report::PlanSheet(request, page.Width(), page.Height(),
                           state_.orderDocument ? designer::kBleedPoints : 0);
}

bool Application::ExportPdfTo(std::string fileName) {
  if (documentWindow_ == nullptr) return false;
  if (NamesAFolder(fileName)) {
    ShowMessage("Das Ziel ist ein Ordner, keine Datei: " + fileName);
    return false;
  }
  if (const std::string pdf = WithExtension(fileName, ".pdf");
      state_.projectFileName != designer::kNewDocName && SameFile(pdf, state_.projectFileName)) {
    ShowMessage("Die PDF-Datei würde das Projekt selbst überschreiben: " + pdf);
    return false;
  }
  PrepareExport();
  fileName = WithExtension(std::move(fileName), ".pdf");
  documentWindow_->Page().Report().SetFileName(fileName);
  state_.lastPdfFileName = fileName;

  return PrintAllPages(true);
}

std::optional<std::string> Application::ExportPdfBytes(int pages) {
  if (documentWindow_ == nullptr) return std::nullopt;
  PrepareExport();
  report::TPReport& report = documentWindow_->Page().Report();
  std::string bytes;
  report.SetOutputBytes(&bytes);
  struct Reset {
    report::TPReport& report;
    ~Reset() { report.SetOutputBytes(nullptr); }
  } reset{report};
  if (!PrintAllPages(true, pages)) return std::nullopt;
  return bytes;
}

std::optional<std::string> Application::ExportPreviewBytes(int pages, int pixels) {
  if (documentWindow_ == nullptr || pixels <= 0) return std::nullopt;
  report::TPReport& report = documentWindow_->Page().Report();
  const report::TPRPage& page = documentWindow_->Page().PagePanel();
  report.Canvas().SetPreviewPointsPerPixel(
      static_cast<double>(std::max(page.Width(), page.Height())) / pixels);
  struct Reset {
    report::TPReport& report;
    ~Reset() { report.Canvas().SetPreviewPointsPerPixel(0); }
  } reset{report};
  return ExportPdfBytes(pages);
}

void Application::PrepareExport() {
  report::TPReport& report = documentWindow_->Page().Report();
  report.SetTitle(state_.info.title);
  report.SetSubject(state_.info.subject);
  report.SetAuthor(state_.info.author);
  report.SetKeywords(state_.info.keywords);
  report.SetCreator(state_.info.creator);
  documentWindow_->Page().StoreCurrentPage();
}

std::optional<std::vector<int>> Application::ExportSheetPdfTo(std::string fileName,
                                                              const report::SheetRequest& request) {
  bool written = false;
  const auto cards = OnSheets(request, [&](report::TPReport& report) {
    written = ExportPdfTo(std::move(fileName));
    return report.CardsPerSheet();
  });
  if (!written) return std::nullopt;
  return cards;
}

std::optional<std::string> Application::ExportSheetPdfBytes(const report::SheetRequest& request) {
  std::optional<std::string> bytes;
  OnSheets(request, [&](report::TPReport&) {
    bytes = ExportPdfBytes();
    return std::vector<int>{};
  });
  return bytes;
}

std::optional<std::vector<int>> Application::OnSheets(
    const report::SheetRequest& request,
    const std::function<std::vector<int>(report::TPReport&)>& exportPages) {
  if (documentWindow_ == nullptr) return std::nullopt;
  report::TPReport& report = documentWindow_->Page().Report();
  report.SetSheets(request);
  struct Reset {
    report::TPReport& report;
    ~Reset() { report.SetSheets(std::nullopt); }
  } reset{report};
  try {
    return exportPages(report);
  } catch (const report::SheetError& e) {
    ShowMessage(e.what());
    return std::nullopt;
  }
}

bool Application::PrintAllPages(bool storeBack, int pages) {
  report::TPReport& report = documentWindow_->Page().Report();
  documentWindow_->Page().BeginPdf();
  // Whichever way this ends, the progress window goes away and no half-made document stays open
  // in the report to refuse the next export.
  struct Finish {
    ui::Platform& platform;
    report::TPReport& report;
    ~Finish() {
      platform.EndProgress();
      if (report.Printing()) report.Abort();
    }
  } finish{platform_, report};
  bool written = false;
  const int last = pages > 0 ? std::min(pages, state_.pageCount) : state_.pageCount;
  if (last == state_.pageCount) documentWindow_->Page().ReadAllPages();
  try {
    for (int n = 1; n <= last; ++n) {
      platform_.Progress("Seite " + std::to_string(n) + "/" + std::to_string(last),
                         static_cast<std::uint64_t>(n - 1), static_cast<std::uint64_t>(last));
      const bool maximise = storeBack;  // the export maximises the window, the preview does not
      Tell(documentWindow_->LoadPage(n, maximise));
      if (storeBack) documentWindow_->Page().StoreCurrentPage();
      ShowSideOfPage(n);  // the back side's guide lines mirrored; fold lines are not printed
      platform_.ProcessMessages();
      report.Print(documentWindow_->Page().PagePanel());
    }
    Tell(report.TakeNotes());
    // A file that cannot be written throws the report's UserError to the command boundary.
    documentWindow_->Page().EndPdf();
    written = true;
  } catch (const pf::ProjectFileError& e) {
    ShowMessage(std::string("Der Export ist nicht möglich: ") + e.what());
    return false;
  } catch (const graphics::CodeError& e) {
    // A code whose content its kind cannot hold at its size: the person changes one or the other.
    ShowMessage(std::string("Der Export ist nicht möglich: ") + e.what());
    return false;
  } catch (const pdf::EPdfMissingCharacters& e) {
    // A warning that names the element and the characters, not a failed command: the text can be
    // changed, or a font with those characters installed.
    ShowMessage(std::string(e.Control() ? "Der Export ist nicht möglich, weil ein Text "
                                          "Steuerzeichen enthält:\n"
                                        : "Der Export ist nicht möglich, weil keine installierte "
                                          "Schrift alle Zeichen hat:\n") +
                e.what());
    return false;
  }
  documentWindow_->ShowHandlesOnTop();
  platform_.ProcessMessages();
  return written;
}

std::optional<std::filesystem::path> Application::PreviewPdf() {
  if (documentWindow_ == nullptr) return std::nullopt;
  report::TPReport& report = documentWindow_->Page().Report();
  report.SetAuthor(designer::kProgramText);
  documentWindow_->Page().StoreCurrentPage();
  const std::filesystem::path file =
      std::filesystem::path(state_.programFolder.empty() ? "." : state_.programFolder) /
      "showdef.pdf";
  report.SetFileName(file.string());
  if (!PrintAllPages(false)) return std::nullopt;
  return file;
}

bool Application::CloseDocument() {
  if (documentWindow_ == nullptr) return true;
  if (!SaveOnRequest()) return false;
  FreeDocumentWindow();
  return true;
}

void Application::StartWith(const std::string& argument) {
  if (!argument.empty()) state_.projectFileName = argument;
}

bool Application::OpenStartProject() {
  if (state_.projectFileName == designer::kNewDocName) return false;
  if (OpenProject(state_.projectFileName)) return true;
  // Nothing was opened: the name must not stay on a project that is not there.
  state_.projectFileName = designer::kNewDocName;
  return false;
}

bool Application::InsertPictureClick() {
  if (documentWindow_ == nullptr) return false;
  const auto file =
      platform_.FileDialog({"Bitte wählen Sie ein Bild aus...", kPictureFilter, "", false});
  if (!file) return false;
  Tell(documentWindow_->InsertPicture(*file));
  return true;
}

bool Application::BackgroundColourClick() {
  if (documentWindow_ == nullptr) return false;
  const auto colour = platform_.ColorDialog(graphics::clWhite);
  if (!colour) return false;
  documentWindow_->Page().SetBackgroundColour(*colour);
  edits_->Record();
  return true;
}

bool Application::BackgroundPictureClick() {
  if (documentWindow_ == nullptr) return false;
  const auto file = platform_.FileDialog({"Bildauswahl", kBackgroundFilter, "", false});
  if (!file) return false;
  documentWindow_->LoadBackgroundPicture(*file);
  edits_->Record();
  return true;
}

bool Application::SinglePageClick() {
  if (documentWindow_ == nullptr) return false;
  const auto file = platform_.FileDialog({"", kPdfFilter, "", true});
  if (!file) return false;
  Tell(documentWindow_->Page().SinglePageAsPdf(*file));
  return true;
}

bool Application::VisitAllPages() {
  if (documentWindow_ == nullptr) return false;
  const int shown = state_.currentPage;
  documentWindow_->Page().ReadAllPages();
  for (int n = 1; n <= state_.pageCount; ++n) {
    if (!GoToPage(n)) return false;
  }
  return GoToPage(shown);
}

}  // namespace quirabel::app
