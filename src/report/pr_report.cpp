#include "report/pr_report.h"

#include "base/atomic_file.h"
#include "base/user_error.h"
#include "graphics/code_symbol.h"
#include "pdf/pdf_unicode_font.h"
#include "report/pr_panels.h"
#include "ui/errors.h"
#include "ui/platform.h"

namespace quirabel::report {

namespace {

// The real reason, whatever it is: a full disk or a read-only folder is no viewer holding the
// file open.
std::string CannotCreateFile(const std::string& fileName, const FileError& error) {
  return "Die Datei „" + fileName + "“ kann nicht erstellt werden. " + error.Reason();
}

}  // namespace

TPReport::TPReport(ui::Component* owner) : TAbstractPReport(owner) {
  creationDate_ = SerialFromDateTime(GetClock().Now());
}

TPReport::~TPReport() = default;

const Clock& TPReport::GetClock() const {
  ui::Platform* platform = GetPlatform();
  return platform != nullptr ? platform->GetClock() : DefaultClock();
}

void TPReport::CheckIdle(const char* operation) const {
  if (doc_ != nullptr) {
    throw pdf::EPdfInvalidOperation(std::string(operation) + " --invalid operation.");
  }
}

void TPReport::SetAuthor(std::string value) {
  CheckIdle("SetAuthor");
  author_ = std::move(value);
}

void TPReport::SetCreationDate(double value) {
  CheckIdle("SetCreationDate");
  creationDate_ = value;
}

void TPReport::SetCreator(std::string value) {
  CheckIdle("SetCreator");
  creator_ = std::move(value);
}

void TPReport::SetKeywords(std::string value) {
  CheckIdle("SetKeyWords");
  keywords_ = std::move(value);
}

void TPReport::SetModDate(double value) {
  CheckIdle("SetModDate");
  modDate_ = value;
}

void TPReport::SetSubject(std::string value) {
  CheckIdle("SetSubject");
  subject_ = std::move(value);
}

void TPReport::SetTitle(std::string value) {
  CheckIdle("SetTitle");
  title_ = std::move(value);
}

void TPReport::SetPageLayout(pdf::TPdfPageLayout value) {
  CheckIdle("SetPageLayout");
  pageLayout_ = value;
}

void TPReport::SetPageMode(pdf::TPdfPageMode value) {
  CheckIdle("SetPageMode");
  pageMode_ = value;
}

void TPReport::SetNonFullScreenPageMode(pdf::TPdfPageMode value) {
  CheckIdle("SetNonFullScreenPageMode");
  nonFullScreenPageMode_ =
      value == pdf::TPdfPageMode::pmFullScreen ? pdf::TPdfPageMode::pmUseNone : value;
}

void TPReport::SetUseOutlines(bool value) {
  CheckIdle("SetUseOutlines");
  useOutlines_ = value;
}

void TPReport::SetViewerPreference(pdf::TPdfViewerPreferences value) {
  CheckIdle("SetViewerPreference");
  viewerPreference_ = value;
}

void TPReport::BeginDoc() {
  Abort();
  canvas_.TakeNotes();  // a new document starts without the last one's notes
  auto doc = std::make_unique<pdf::TPdfDoc>(GetClock());
  doc->SetUseOutlines(useOutlines_);
  doc->SetCompressionMethod(compressionMethod_);
  doc->SetBleed(bleed_);
  doc->NewDoc();

  pdf::TPdfCatalog& root = doc->Root();
  root.SetPageMode(pageMode_);
  root.SetPageLayout(pageLayout_);
  if (nonFullScreenPageMode_ != pdf::TPdfPageMode::pmUseNone) {
    root.SetNonFullScreenPageMode(nonFullScreenPageMode_);
  }
  if (!viewerPreference_.Empty()) root.SetViewerPreference(viewerPreference_);

  pdf::TPdfInfo& info = doc->Info();
  info.SetAuthor(pdf::PdfTextString(author_));
  info.SetCreationDate(DateTimeFromSerial(creationDate_));
  info.SetCreator(pdf::PdfTextString(creator_));
  info.SetKeywords(pdf::PdfTextString(keywords_));
  info.SetModDate(DateTimeFromSerial(modDate_));
  info.SetSubject(pdf::PdfTextString(subject_));
  info.SetTitle(pdf::PdfTextString(title_));

  doc_ = std::move(doc);
  pageCount_ = 0;
  sheetsMade_ = false;
  cardsPerSheet_.clear();
}

void TPReport::Print(TPRPage& page) {
  if (doc_ == nullptr) throw ui::EInvalidOperation("Print --document is null..");
  doc_->AddPage();
  ++pageCount_;
  canvas_.SetPdfCanvas(&doc_->Canvas());
  ui::Platform* platform = GetPlatform();
  canvas_.SetRandom(platform != nullptr ? &platform->Random() : nullptr);
  try {
    page.Print(canvas_);
  } catch (const pdf::EPdfMissingCharacters& e) {
    throw pdf::EPdfMissingCharacters("Seite " + std::to_string(pageCount_) + ", " + e.what(),
                                     e.Characters(), e.Control());
  } catch (const graphics::CodeError& e) {
    throw graphics::CodeError("Seite " + std::to_string(pageCount_) + ", " + e.what());
  }
}

void TPReport::EndDoc() {
  if (doc_ == nullptr) throw ui::EInvalidOperation("document is null..");
  // Once per document: a second try after a failed write finds the sheets already made.
  if (sheets_ && !sheetsMade_) {
    cardsPerSheet_ = PutCardsOnSheets(*doc_, *sheets_, bleed_);
    sheetsMade_ = true;
  }
  if (outputBytes_ != nullptr) {
    std::string text;
    std::vector<std::string_view> pieces;
    doc_->SaveToPieces(text, pieces);
    outputBytes_->clear();
    for (const std::string_view piece : pieces) outputBytes_->append(piece);
    Abort();
    return;
  }
  try {
    doc_->SaveToFile(fileName_);
  } catch (const FileError& error) {
    // The old file, if any, is untouched; the document stays open for another try.
    throw UserError(CannotCreateFile(fileName_, error));
  }
  Abort();
}

void TPReport::Abort() {
  canvas_.SetPdfCanvas(nullptr);
  doc_.reset();
  pageCount_ = 0;
}

}  // namespace quirabel::report
