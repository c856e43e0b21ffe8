#include "app/application.h"

#include "base/atomic_file.h"
#include "base/digits.h"
#include "base/shared_bytes.h"
#include "designer/page_format.h"
#include "designer/projectfile/page_text.h"
#include "designer/projectfile/project_split.h"

namespace quirabel::app {

namespace pf = designer::projectfile;

namespace {

constexpr const char* kSaveFirst = "Bitte speichern Sie zunächst Ihr Dokument als Quirabel Datei!";
constexpr const char* kProjectFilter = "Quirabel Dateien|*.kxp";
constexpr const char* kPdfFilter = "PDF-Files|*.pdf";
constexpr const char* kPictureFilter =
    "Alle unterstützten Formate|*.bmp;*.jpg;*.gif|BMP|*.bmp|JPG|*.jpg|GIF|*.gif";
constexpr const char* kBackgroundFilter = "JPG-Files|*.jpg|BMP-Files|*.bmp|GIF-Files|*.gif";

std::string WithExtension(std::string name, const char* extension) {
  if (name.find(extension) == std::string::npos) name += extension;
  return name;
}

}  // namespace

Application::Application(ui::Platform& platform, std::string programFolder) : platform_(platform) {
  SetPlatform(&platform);
  state_.programFolder = std::move(programFolder);
  form9_ = new dialogs::TForm9(this);
  form24_ = new dialogs::TForm24(this);
  form26_ = new dialogs::TForm26(this);
  form20_ = new dialogs::TForm20(this);
  form21_ = new dialogs::TForm21(this);
}

Application::~Application() = default;

void Application::ShowMessage(const std::string& text) { platform_.ShowMessage(text); }

std::string Application::NewProjectNumber() {
  return designer::TimeDigits(platform_.GetClock().Now());
}

designer::TForm2& Application::CreateDocumentWindow() {
  FreeDocumentWindow();
  form2_ = new designer::TForm2(this, state_);
  return *form2_;
}

void Application::FreeDocumentWindow() {
  delete form2_;
  form2_ = nullptr;
}

void Application::Neu1Click() {
  state_.projectNumber = NewProjectNumber();
  if (form2_ != nullptr && !SaveOnRequest()) return;
  FreeDocumentWindow();
  form9_->SetVisible(true);
  state_.currentPage = 1;
  state_.pageCount = 1;
  state_.lastPdfFileName.clear();
}

bool Application::Form9Button1Click() {
  form9_->SetVisible(false);
  const std::optional<designer::PageFormat> format = form9_->ChosenFormat();
  if (!format) {
    ShowMessage(dialogs::kInvalidMillimetres);
    return false;
  }
  return NewDocument(*format);
}

bool Application::NewDocument(const designer::PageFormat& format) {
  if (!designer::WidthPixels(format.widthMm) || !designer::HeightPixels(format.heightMm)) {
    ShowMessage(dialogs::kInvalidMillimetres);
    return false;
  }
  if (state_.projectNumber.empty()) state_.projectNumber = NewProjectNumber();
  state_.docType = format.docType;
  state_.formatWidthText = format.widthMm;
  state_.formatHeightText = format.heightMm;
  state_.verticalFolds = state_.horizontalFolds = 0;
  state_.verticalPerforations = state_.horizontalPerforations = 0;
  state_.orderDocument = false;
  state_.sampleTemplateDocument = false;
  state_.projectFileName = designer::kNewDocName;
  // The pages of the project that was open go with it; the new one has one page.
  state_.pageTexts.clear();
  state_.dataFields.clear();
  state_.currentPage = 1;
  state_.pageCount = 1;

  designer::TForm2& window = CreateDocumentWindow();
  window.SetDocumentId(designer::MakeDocumentId(platform_.GetClock().Now()));
  window.InitDocument();
  window.SetDocBackground(graphics::clWhite);
  window.ShowHandlesOnTop();
  window.Label10->SetCaption("H " + format.heightMm + "/B " + format.widthMm + " mm");
  return true;
}

bool Application::OpenClick() {
  if (form2_ != nullptr) {
    state_.lastPdfFileName.clear();
    if (!SaveOnRequest()) return false;
  }
  const auto file = platform_.FileDialog({"", kProjectFilter, "", false});
  if (!file) return false;
  return OpenProject(*file);
}

bool Application::OpenProject(const std::filesystem::path& file) {
  SharedBytes bytes;
  platform_.Progress("Read Projektfile..", 0, 1);
  try {
    bytes = MapFile(file, designer::TForm2::kMaxPageTextBytes);
    platform_.EndProgress();
  } catch (const FileError&) {
    platform_.EndProgress();
    ShowMessage("Die Datei kann nicht gelesen werden: " + file.string());
    return false;
  }
  // The page texts stay pieces of the bytes read: nothing is copied.
  std::vector<SharedBytes> pages;
  for (std::string_view page : pf::SplitProjectViews(bytes.View()))
    pages.push_back(bytes.Piece(page));
  if (pages.empty()) {
    ShowMessage("Die Datei ist keine Quirabel-Projektdatei: " + file.string());
    return false;
  }
  // The first page is built in a window of its own; only when it stands does it replace the
  // open document.
  const designer::ProjectState before = state_;
  state_.currentPage = 1;
  auto* window = new designer::TForm2(this, state_);
  try {
    window->LoadPageText(pages.front(), true);
  } catch (const pf::ProjectFileError& e) {
    delete window;
    state_ = before;
    ShowMessage(std::string(e.what()) + "\n" + file.string());
    return false;
  }
  FreeDocumentWindow();
  form2_ = window;
  state_.projectFileName = file.string();
  state_.pageTexts = std::move(pages);
  state_.pageCount = static_cast<int>(state_.pageTexts.size());
  state_.currentPage = 1;
  state_.lastPdfFileName.clear();
  form2_->PressedElementName.clear();
  form2_->ShowHandlesOnTop();
  form2_->SetCaption(state_.DocumentCaption());
  return true;
}

bool Application::SaveProjectTo(std::string fileName) {
  if (form2_ == nullptr) return false;
  fileName = WithExtension(std::move(fileName), ".kxp");
  form2_->SaveKXFile({}, false);
  platform_.Progress("Save Dokument. Please wait...", 0, 1);
  try {
    form2_->SaveProjektFile(fileName);
    platform_.EndProgress();
  } catch (const FileError& e) {
    platform_.EndProgress();
    ShowMessage("Das Projekt kann nicht gespeichert werden: " + std::string(e.what()));
    return false;
  }
  state_.projectFileName = fileName;
  form2_->SetCaption(state_.DocumentCaption());
  return true;
}

bool Application::SaveOnRequest() {
  if (form2_ == nullptr) return true;
  if (form26_->ShowModal() != ui::mrOk) return true;  // "Nein": nothing to save
  return SaveUnderProjectName();
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
  form24_->Refresh(state_.info);
  if (form24_->ShowModal() != ui::mrOk) return false;
  state_.info = form24_->Info();
  return true;
}

bool Application::Save() {
  if (form2_ == nullptr) return false;
  if (!ProjectInfoClick()) return false;
  return SaveUnderProjectName();
}

bool Application::SaveAs() {
  if (form2_ == nullptr) return false;
  form2_->SaveKXFile({}, false);
  const auto file = platform_.FileDialog({"", kProjectFilter, "", true});
  if (!file) return false;
  return SaveProjectTo(*file);
}

bool Application::ExportPdf() {
  if (form2_ == nullptr) return false;
  if (state_.projectFileName == designer::kNewDocName) {
    ShowMessage(kSaveFirst);
    return false;
  }
  const std::string preset = state_.projectFileName.substr(0, state_.projectFileName.find(".kxp"));
  ProjectInfoClick();  // "Weglassen" keeps the information as it was and exports all the same
  const auto file = platform_.FileDialog({"", kPdfFilter, preset, true});
  if (!file) return false;
  return ExportPdfTo(*file);
}

bool Application::ExportPdfTo(std::string fileName) {
  if (form2_ == nullptr) return false;
  report::TPReport& report = *form2_->PReport1;
  report.SetTitle(state_.info.title);
  report.SetSubject(state_.info.subject);
  report.SetAuthor(state_.info.author);
  report.SetKeywords(state_.info.keywords);
  report.SetCreator(state_.info.creator);
  form2_->SaveKXFile({}, false);
  fileName = WithExtension(std::move(fileName), ".pdf");
  report.SetFileName(fileName);
  state_.lastPdfFileName = fileName;

  return PrintAllPages(true);
}

bool Application::PrintAllPages(bool storeBack) {
  report::TPReport& report = *form2_->PReport1;
  report.BeginDoc();
  // The progress window goes away whichever way this ends.
  struct ProgressEnd {
    ui::Platform& platform;
    ~ProgressEnd() { platform.EndProgress(); }
  } progressEnd{platform_};
  try {
    for (int n = 1; n <= state_.pageCount; ++n) {
      platform_.Progress("Seite " + std::to_string(n) + "/" + std::to_string(state_.pageCount),
                         static_cast<std::uint64_t>(n - 1),
                         static_cast<std::uint64_t>(state_.pageCount));
      state_.currentPage = n;
      const bool maximise = storeBack;  // the export maximises the window, the preview does not
      form2_->openkxfile({}, false, maximise);
      if (storeBack) form2_->SaveKXFile({}, false);
      platform_.ProcessMessages();
      report.Print(*form2_->PRPage1);
    }
  } catch (const pf::ProjectFileError& e) {
    report.Abort();
    ShowMessage(std::string("Der Export ist nicht möglich: ") + e.what());
    return false;
  }
  report.EndDoc();
  const bool written = !report.Printing();  // a file that could not be written keeps it open
  form2_->ShowHandlesOnTop();
  platform_.ProcessMessages();
  return written;
}

std::optional<std::filesystem::path> Application::PreviewPdf() {
  if (form2_ == nullptr) return std::nullopt;
  report::TPReport& report = *form2_->PReport1;
  report.SetAuthor(designer::kProgramText);
  form2_->SaveKXFile({}, false);
  const std::filesystem::path file =
      std::filesystem::path(state_.programFolder.empty() ? "." : state_.programFolder) /
      "showdef.pdf";
  report.SetFileName(file.string());
  if (!PrintAllPages(false)) return std::nullopt;
  return file;
}

bool Application::CloseDocument() {
  if (form2_ == nullptr) return true;
  if (!SaveOnRequest()) return false;
  FreeDocumentWindow();
  return true;
}

bool Application::GoToPage(int page) {
  if (form2_ == nullptr || page < 1 || page > state_.pageCount) return false;
  form2_->SaveKXFile({}, false);
  const int previous = state_.currentPage;
  state_.currentPage = page;
  try {
    form2_->openkxfile({}, false, false);
  } catch (const pf::ProjectFileError& e) {
    state_.currentPage = previous;
    ShowMessage(e.what());
    return false;
  }
  return true;
}

bool Application::PreviousPageClick() {
  return state_.currentPage > 1 && GoToPage(state_.currentPage - 1);
}

bool Application::NextPageClick() {
  return state_.currentPage < state_.pageCount && GoToPage(state_.currentPage + 1);
}

bool Application::GotoClick() {
  if (form2_ == nullptr) return false;
  form20_->Edit1->SetText("");
  if (form20_->ShowModal() != ui::mrOk) return false;
  const int page = ParseDigits(form20_->Edit1->Text()).value_or(0);
  if (page < 1 || page > state_.pageCount) {
    ShowMessage(dialogs::kNoSuchPage);
    return false;
  }
  return GoToPage(page);
}

bool Application::DeletePageClick() {
  if (form2_ == nullptr) return false;
  if (state_.pageCount <= 1) {
    ShowMessage(dialogs::kOnlyOnePage);
    return false;
  }
  if (form21_->ShowModal() != ui::mrYes) return false;
  return DeleteCurrentPage();
}

bool Application::DeleteCurrentPage() {
  if (form2_ == nullptr || state_.pageCount <= 1) return false;
  const int deleted = state_.currentPage;
  const auto at = state_.pageTexts.begin() + (deleted - 1);
  SharedBytes removed = *at;
  state_.pageTexts.erase(at);
  state_.pageCount -= 1;
  state_.currentPage = deleted > 1 ? deleted - 1 : 1;
  try {
    form2_->openkxfile({}, false, true);
  } catch (const pf::ProjectFileError& e) {
    // The page to show cannot be read: the deleted one comes back, and stays on screen.
    state_.pageTexts.insert(state_.pageTexts.begin() + (deleted - 1), std::move(removed));
    state_.pageCount += 1;
    state_.currentPage = deleted;
    ShowMessage(e.what());
    return false;
  }
  form2_->ShowHandlesOnTop();
  return true;
}

void Application::StartWith(const std::string& argument) {
  if (!argument.empty()) state_.projectFileName = argument;
}

bool Application::Timer3() {
  if (state_.projectFileName == designer::kNewDocName) return false;
  if (OpenProject(state_.projectFileName)) return true;
  // Nothing was opened: the name must not stay on a project that is not there.
  state_.projectFileName = designer::kNewDocName;
  return false;
}

bool Application::InsertPictureClick() {
  if (form2_ == nullptr) return false;
  const auto file =
      platform_.FileDialog({"Bitte wählen Sie ein Bild aus...", kPictureFilter, "", false});
  return file && form2_->InsertPicture(*file);
}

bool Application::BackgroundColourClick() {
  if (form2_ == nullptr) return false;
  const auto colour = platform_.ColorDialog(graphics::clWhite);
  if (!colour) return false;
  form2_->SetDocBackground(*colour);
  return true;
}

bool Application::BackgroundPictureClick() {
  if (form2_ == nullptr) return false;
  const auto file = platform_.FileDialog({"Bildauswahl", kBackgroundFilter, "", false});
  return file && form2_->SetDocBackgroundPicture(*file);
}

bool Application::SinglePageClick() {
  if (form2_ == nullptr) return false;
  const auto file = platform_.FileDialog({"", kPdfFilter, "", true});
  if (!file) return false;
  form2_->SinglePageAsPdf(*file);
  return true;
}

bool Application::VisitAllPages() {
  if (form2_ == nullptr) return false;
  const int shown = state_.currentPage;
  for (int n = 1; n <= state_.pageCount; ++n) {
    if (!GoToPage(n)) return false;
  }
  return GoToPage(shown);
}

}  // namespace quirabel::app
