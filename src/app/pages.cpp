// Moving between pages, adding pages and the template folder.
#include "app/application.h"
#include "base/atomic_file.h"
#include "base/digits.h"
#include "designer/document_window.h"
#include "designer/page_format.h"
#include "designer/projectfile/page_text.h"

namespace quirabel::app {

namespace pf = designer::projectfile;

namespace {

// A template is one page text; a larger file is no template of ours.
constexpr std::size_t kMaxTemplateBytes = designer::PageModel::kMaxPageTextBytes;

}  // namespace

void Application::ShowSideOfPage(int page) {
  if (documentWindow_ == nullptr || !state_.orderDocument) return;
  designer::GuideLines& guides = documentWindow_->Guides();
  if (page == 2) {
    guides.ShowBackSide();
  } else {
    guides.ShowFrontSide();
  }
}

bool Application::GoToPage(int page) {
  if (documentWindow_ == nullptr || page < 1 || page > state_.pageCount) return false;
  documentWindow_->Page().StoreCurrentPage();
  try {
    Tell(documentWindow_->LoadPage(page, true));
  } catch (const pf::ProjectFileError& e) {
    ShowMessage(e.what());
    return false;
  }
  ShowSideOfPage(page);
  documentWindow_->ShowHandlesOnTop();
  return true;
}

bool Application::PreviousPageClick() {
  return state_.currentPage > 1 && GoToPage(state_.currentPage - 1);
}

bool Application::NextPageClick() {
  if (documentWindow_ == nullptr) return false;
  if (state_.currentPage < state_.pageCount) return GoToPage(state_.currentPage + 1);
  if (state_.sampleTemplateDocument) {
    ShowMessage(dialogs::kTemplateDocumentNoPages);
    return false;
  }
  if (state_.orderDocument && state_.currentPage >= 2) {
    ShowMessage(dialogs::kOrderDocumentTwoPages);
    return false;
  }
  // Orderable documents take no templates: their second page is the back of the first.
  const bool templatesAllowed = !state_.orderDocument;
  newPageWindow_->Prepare(templatesAllowed);
  if (templatesAllowed) {
    try {
      for (const dialogs::TemplateEntry& entry :
           dialogs::TemplateFolder(state_.programFolder).ReadIndex()) {
        newPageWindow_->templateList->AddItem(entry.name);
        newPageWindow_->templatePaths.push_back(entry.path);
      }
      newPageWindow_->templateList->SetText(dialogs::kChooseTemplatePrompt);
    } catch (const FileError& e) {
      ShowMessage("Das Verzeichnis der Vorlagen kann nicht gelesen werden. " + e.Reason());
      return false;
    }
  }
  if (newPageWindow_->ShowModal() != ui::mrOk) return false;
  return AppendPage(newPageWindow_->ChosenTemplatePath());
}

bool Application::AppendPage(const std::string& templatePath) {
  if (documentWindow_ == nullptr) return false;
  designer::DocumentWindow& window = *documentWindow_;
  // The template is read first: a template that is gone or damaged adds no page.
  SharedBytes templateText;
  if (!templatePath.empty()) {
    const std::optional<std::filesystem::path> file =
        dialogs::TemplateFolder(state_.programFolder).Resolve(templatePath);
    if (!file) {
      ShowMessage("Die Vorlage liegt nicht im Vorlagenordner und wird nicht geöffnet: " +
                  templatePath);
      return false;
    }
    try {
      templateText = SharedBytes(ReadFile(*file, kMaxTemplateBytes));
      pf::ReadPageText(templateText);
    } catch (const FileError& e) {
      ShowMessage("Die Vorlage kann nicht gelesen werden: " + file->string() + "\n" + e.Reason());
      return false;
    } catch (const pf::ProjectFileError& e) {
      ShowMessage(std::string("Die Vorlage kann nicht gelesen werden: ") + e.what());
      return false;
    }
  }
  window.Page().StoreCurrentPage();
  const int previousPage = state_.currentPage;
  const std::string previousId = window.Page().DocumentId();

  window.ClearPage();
  state_.pageCount += 1;
  state_.currentPage = state_.pageCount;
  // A fresh identifier, also when the clock has not moved since the page before was made.
  LocalDateTime now = platform_.GetClock().Now();
  std::string id = designer::MakeDocumentId(now);
  for (int tries = 0; id == previousId && tries < 1000; ++tries) {
    now.millisecond = (now.millisecond + 1) % 1000;
    id = designer::MakeDocumentId(now);
  }
  window.Page().SetDocumentId(id);
  window.InitDocument();
  window.Page().SetBackgroundColour(graphics::clWhite);
  window.Page().StoreCurrentPage();
  if (!templateText.empty()) {
    try {
      Tell(window.LoadPageText(templateText, state_.currentPage, true));
    } catch (const pf::ProjectFileError& e) {
      // Checked above; a picture over the project's budget can still refuse it here.
      state_.pageTexts.pop_back();
      state_.pageCount -= 1;
      Tell(window.LoadPage(previousPage, true));
      ShowMessage(std::string("Die Vorlage kann nicht gelesen werden: ") + e.what());
      return false;
    }
    window.Page().StoreCurrentPage();
  }
  ShowSideOfPage(state_.currentPage);
  window.ShowHandlesOnTop();
  edits_->Record();
  return true;
}

bool Application::GotoClick() {
  if (documentWindow_ == nullptr) return false;
  goToPageWindow_->pageNumberEdit->SetText("");
  if (goToPageWindow_->ShowModal() != ui::mrOk) return false;
  const int page = ParseDigits(goToPageWindow_->pageNumberEdit->Text()).value_or(0);
  if (page < 1 || page > state_.pageCount) {
    ShowMessage(dialogs::kNoSuchPage);
    return false;
  }
  return GoToPage(page);
}

bool Application::DeletePageClick() {
  if (documentWindow_ == nullptr) return false;
  if (state_.pageCount <= 1) {
    ShowMessage(dialogs::kOnlyOnePage);
    return false;
  }
  if (deletePageWindow_->ShowModal() != ui::mrYes) return false;
  return DeleteCurrentPage();
}

bool Application::DeleteCurrentPage() {
  if (documentWindow_ == nullptr || state_.pageCount <= 1) return false;
  const int deleted = state_.currentPage;
  const auto at = state_.pageTexts.begin() + (deleted - 1);
  SharedBytes removed = *at;
  state_.pageTexts.erase(at);
  state_.bitmapPixelsByPage.clear();  // the pages after it moved up; counted anew as they load
  state_.pageCount -= 1;
  const int shown = deleted > 1 ? deleted - 1 : 1;
  try {
    Tell(documentWindow_->LoadPage(shown, true));
  } catch (const pf::ProjectFileError& e) {
    // The page to show cannot be read: the deleted one comes back, and stays on screen.
    state_.pageTexts.insert(state_.pageTexts.begin() + (deleted - 1), std::move(removed));
    state_.pageCount += 1;
    ShowMessage(e.what());
    return false;
  }
  ShowSideOfPage(shown);
  documentWindow_->ShowHandlesOnTop();
  edits_->Record();
  return true;
}

bool Application::SaveTemplateClick() {
  if (documentWindow_ == nullptr || state_.orderDocument) return false;
  templateNameWindow_->nameEdit->SetText("");
  if (templateNameWindow_->ShowModal() != ui::mrOk) return false;
  return SaveTemplate(templateNameWindow_->nameEdit->Text());
}

bool Application::SaveTemplate(const std::string& name) {
  if (documentWindow_ == nullptr || state_.orderDocument) return false;
  if (const std::optional<std::string> problem = dialogs::TemplateFolder::NameProblem(name)) {
    ShowMessage(*problem);
    return false;
  }
  const dialogs::TemplateFolder folder(state_.programFolder);
  std::error_code error;
  if (std::filesystem::exists(folder.FileFor(name), error)) {
    replaceTemplateWindow_->questionLabel->SetCaption("Die Vorlage „" + name +
                                                      "“ gibt es schon. Soll sie ersetzt werden?");
    if (replaceTemplateWindow_->ShowModal() != ui::mrYes) return false;
  }
  try {
    folder.Save(name, documentWindow_->Page().PageText());
  } catch (const FileError& e) {
    ShowMessage("Die Vorlage „" + name + "“ kann nicht gespeichert werden. " + e.Reason());
    return false;
  }
  return true;
}

bool Application::DeleteTemplatesClick() {
  deleteTemplatesWindow_->Open(state_.programFolder);
  return true;
}

}  // namespace quirabel::app
