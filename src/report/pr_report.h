#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "pdf/pdf_doc.h"
#include "report/pr_canvas.h"
#include "report/sheet_output.h"
#include "ui/component.h"

namespace quirabel::report {

class TPRPage;

class TAbstractPReport : public ui::Component {
 public:
  using ui::Component::Component;
  std::string ClassName() const override { return "TAbstractPReport"; }
};

// The document-wide PDF settings and the production of the file: BeginDoc, one Print per page,
// EndDoc. The settings are read when a document starts and are locked while it is open. Texts are
// UTF-8; the file gets them as Windows-1252 when they fit, else as UTF-16.
class TPReport : public TAbstractPReport {
 public:
  explicit TPReport(ui::Component* owner = nullptr);
  ~TPReport() override;
  std::string ClassName() const override { return "TPReport"; }

  const std::string& FileName() const { return fileName_; }
  void SetFileName(std::string value) { fileName_ = std::move(value); }
  // With a string, EndDoc puts the PDF's bytes there instead of into the file; none writes the
  // file again.
  void SetOutputBytes(std::string* bytes) { outputBytes_ = bytes; }
  // Bleed around the product on every page of the documents begun from now on, in points (see
  // TPdfDoc::SetBleed); 0 for none.
  void SetBleed(double points) { bleed_ = points; }
  // With a request, EndDoc puts the pages on printing sheets as copies of one card
  // (PutCardsOnSheets) before writing; none writes the pages as they are.
  void SetSheets(std::optional<SheetRequest> request) { sheets_ = std::move(request); }
  // The number of cards on each sheet of the last document written on sheets.
  const std::vector<int>& CardsPerSheet() const { return cardsPerSheet_; }
  const std::string& Author() const { return author_; }
  void SetAuthor(std::string value);
  double CreationDate() const { return creationDate_; }
  void SetCreationDate(double value);
  const std::string& Creator() const { return creator_; }
  void SetCreator(std::string value);
  const std::string& Keywords() const { return keywords_; }
  void SetKeywords(std::string value);
  double ModDate() const { return modDate_; }
  void SetModDate(double value);
  const std::string& Subject() const { return subject_; }
  void SetSubject(std::string value);
  const std::string& Title() const { return title_; }
  void SetTitle(std::string value);
  pdf::TPdfPageLayout PageLayout() const { return pageLayout_; }
  void SetPageLayout(pdf::TPdfPageLayout value);
  pdf::TPdfPageMode PageMode() const { return pageMode_; }
  void SetPageMode(pdf::TPdfPageMode value);
  pdf::TPdfPageMode NonFullScreenPageMode() const { return nonFullScreenPageMode_; }
  // pmFullScreen is stored as pmUseNone.
  void SetNonFullScreenPageMode(pdf::TPdfPageMode value);
  pdf::TPdfCompressionMethod CompressionMethod() const { return compressionMethod_; }
  void SetCompressionMethod(pdf::TPdfCompressionMethod value) { compressionMethod_ = value; }
  bool UseOutlines() const { return useOutlines_; }
  void SetUseOutlines(bool value);
  pdf::TPdfViewerPreferences ViewerPreference() const { return viewerPreference_; }
  void SetViewerPreference(pdf::TPdfViewerPreferences value);

  // Starts a document in memory, discarding one still open.
  void BeginDoc();
  // Adds a PDF page and renders the page panel into it.
  void Print(TPRPage& page);
  // Writes the document to FileName (through a temporary file) and releases it. When the file
  // cannot be written a UserError says why and the document stays open.
  void EndDoc();
  // What kept elements out of the document since BeginDoc (see TPRCanvas::Note), taken once.
  Notices TakeNotes() { return canvas_.TakeNotes(); }
  // Releases the open document without writing.
  void Abort();

  bool Printing() const { return doc_ != nullptr; }
  int PageCount() const { return pageCount_; }
  // The open document (for tests and the outline root handle); none while idle.
  pdf::TPdfDoc* Doc() const { return doc_.get(); }
  TPRCanvas& Canvas() { return canvas_; }

 private:
  void CheckIdle(const char* operation) const;
  const Clock& GetClock() const;

  std::string fileName_ = "default.pdf";
  std::string* outputBytes_ = nullptr;
  double bleed_ = 0;
  std::optional<SheetRequest> sheets_;
  std::vector<int> cardsPerSheet_;
  bool sheetsMade_ = false;
  std::string author_;
  double creationDate_ = 0;
  std::string creator_;
  std::string keywords_;
  double modDate_ = 0;
  std::string subject_;
  std::string title_;
  pdf::TPdfPageLayout pageLayout_ = pdf::TPdfPageLayout::plSinglePage;
  pdf::TPdfPageMode pageMode_ = pdf::TPdfPageMode::pmUseNone;
  pdf::TPdfPageMode nonFullScreenPageMode_ = pdf::TPdfPageMode::pmUseNone;
  pdf::TPdfCompressionMethod compressionMethod_ = pdf::TPdfCompressionMethod::cmNone;
  bool useOutlines_ = false;
  pdf::TPdfViewerPreferences viewerPreference_;

  std::unique_ptr<pdf::TPdfDoc> doc_;
  TPRCanvas canvas_;
  int pageCount_ = 0;
};

}  // namespace quirabel::report
