// The page on screen to and from its page text.
#include <algorithm>

#include "base/atomic_file.h"
#include "base/cp1252.h"
#include "designer/document_window.h"
#include "designer/page_format.h"
#include "designer/projectfile/page_text.h"
#include "designer/projectfile/project_split.h"

namespace quirabel::designer {

namespace pf = projectfile;

namespace {

// Positions and sizes a page can use; anything beyond is a damaged file, not a page.
constexpr std::int32_t kMaxCoordinate = 100000;

// Texts people type go into the page text as they are; a tag of the format inside one would end a
// field early when the page is read. Its '<' becomes the look-alike '‹' (Windows-1252 0x8B).
std::string TypedText(std::string_view utf8) {
  std::string bytes = Utf8ToCp1252(utf8);
  for (std::size_t pos = bytes.find('<'); pos != std::string::npos;
       pos = bytes.find('<', pos + 1)) {
    const std::string_view rest = std::string_view(bytes).substr(pos);
    if (rest.starts_with("</kx") || rest.starts_with("<kx") || rest.starts_with("<vs>") ||
        rest.starts_with("</endoffile>") || rest.starts_with("</VBL>") ||
        rest.starts_with("</HBL>") || rest.starts_with("</SVBL>") || rest.starts_with("</SHBL>")) {
      bytes[pos] = '\x8B';
    }
  }
  return bytes;
}

std::string Text(std::string_view cp1252) { return Cp1252ToUtf8(cp1252); }

void CheckGeometry(std::int32_t top, std::int32_t left, std::int32_t height, std::int32_t width,
                   const std::string& name) {
  const auto inside = [](std::int32_t v, std::int32_t low) {
    return v >= low && v <= kMaxCoordinate;
  };
  if (!inside(top, -kMaxCoordinate) || !inside(left, -kMaxCoordinate) || !inside(height, 0) ||
      !inside(width, 0)) {
    throw pf::ProjectFileError("Die Seite ist beschädigt: das Element „" + Text(name) +
                               "“ hat eine ungültige Lage oder Größe.");
  }
}

graphics::Picture LoadPicture(const SharedBytes& bytes, bool jpeg, const std::string& name) {
  try {
    return jpeg ? graphics::Picture::FromJpegBytes(bytes) : graphics::Picture::FromBmpBytes(bytes);
  } catch (const graphics::ImageError& e) {
    throw pf::ProjectFileError("Die Seite ist beschädigt: das Bild von „" + Text(name) +
                               "“ kann nicht gelesen werden (" + e.what() + ").");
  }
}

template <class Record>
void Place(report::TPRItem& item, const Record& r) {
  item.SetBounds(r.left, r.top, r.width, r.height);
}

}  // namespace

std::string DocumentWindow::PageTextOfScreen() const {
  pf::PageText page;
  pf::PageHeader& h = page.header;
  h.projectNumber = TypedText(state_.projectNumber);
  h.documentId = TypedText(documentId_);
  h.title = TypedText(state_.info.title);
  h.subject = TypedText(state_.info.subject);
  h.author = TypedText(state_.info.author);
  h.keywords = TypedText(state_.info.keywords);
  h.docType = TypedText(state_.docType);
  h.heightMm = TypedText(state_.formatHeightText);
  h.widthMm = TypedText(state_.formatWidthText);
  h.verticalFolds = state_.verticalFolds;
  h.horizontalFolds = state_.horizontalFolds;
  h.verticalPerforations = state_.verticalPerforations;
  h.horizontalPerforations = state_.horizontalPerforations;
  h.guideLines.clear();  // the guide lines are stored once they exist

  if (const report::TPRJpegImage* background = Background()) {
    page.background = {Utf8ToCp1252(background->Name()),
                       background->Color(),
                       background->Top(),
                       background->Left(),
                       background->Height(),
                       background->Width()};
    page.backgroundJpeg = background->Picture().SaveToBytes();
  } else {
    page.background.name = Utf8ToCp1252(documentId_);
  }
  page.orderMark = state_.sampleTemplateDocument ? '2' : state_.orderDocument ? '1' : '0';

  for (const PageElement& e : Elements()) {
    pf::ElementBlock block;
    block.kind = static_cast<pf::ElementKind>(e.kind);
    const std::string name = Utf8ToCp1252(e.item->Name());
    switch (e.kind) {
      case ElementKind::Rect: {
        const auto& r = static_cast<const report::TPRRect&>(*e.item);
        block.record = pf::RectRecord{name,     r.FillColor(), r.LineColor(), r.Top(),
                                      r.Left(), r.Height(),    r.Width(),     r.LineWidth()};
        break;
      }
      case ElementKind::Label: {
        const auto& l = static_cast<const report::TPRLabel&>(*e.item);
        block.record = pf::LabelRecord{name,
                                       Utf8ToCp1252(l.dbfieldname()),
                                       static_cast<std::uint8_t>(l.FontName()),
                                       static_cast<std::uint8_t>(l.Alignment()),
                                       l.FontSize(),
                                       l.FontColor(),
                                       l.FontBold(),
                                       l.FontItalic(),
                                       l.CharSpace(),
                                       l.Top(),
                                       l.Left(),
                                       l.Height(),
                                       l.Width(),
                                       Utf8ToCp1252(l.Caption())};
        break;
      }
      case ElementKind::Text: {
        const auto& t = static_cast<const report::TPRText&>(*e.item);
        block.record = pf::TextRecord{name,
                                      Utf8ToCp1252(t.dbfieldname()),
                                      static_cast<std::uint8_t>(t.FontName()),
                                      t.FontSize(),
                                      t.FontColor(),
                                      t.FontBold(),
                                      t.FontItalic(),
                                      t.CharSpace(),
                                      t.Top(),
                                      t.Left(),
                                      t.Height(),
                                      t.Width(),
                                      t.Leading()};
        block.data = pf::EncodeTextLines(TypedText(t.Text()));
        break;
      }
      case ElementKind::Jpeg:
      case ElementKind::Bitmap: {
        const auto& i = static_cast<const report::TPRImage&>(*e.item);
        block.record = pf::ImageRecord{name, i.Color(), i.Top(), i.Left(), i.Height(), i.Width()};
        block.data = i.Picture().SaveToBytes();
        break;
      }
    }
    page.elements.push_back(std::move(block));
  }
  return pf::WritePageText(page);
}

void DocumentWindow::StoreCurrentPage() {
  std::string text = PageTextOfScreen();
  const auto index = static_cast<std::size_t>(std::max(state_.currentPage, 1) - 1);
  if (state_.pageTexts.size() <= index) {
    state_.pageTexts.emplace_back(std::move(text));
  } else {
    state_.pageTexts[index] = SharedBytes(std::move(text));
  }
}

void DocumentWindow::WriteProjectFile(const std::filesystem::path& fileName) {
  // Page by page straight into the file: a large project is not joined in memory first.
  AtomicFileWriter writer(fileName);
  for (const SharedBytes& page : state_.pageTexts) {
    writer.Write(page.View());
    writer.Write(pf::kEndOfFile);
  }
  writer.Commit();
}

void DocumentWindow::LoadPage(int page, bool maximise) {
  if (page < 1 || static_cast<std::size_t>(page) > state_.pageTexts.size()) {
    throw pf::ProjectFileError("Die Seite " + std::to_string(page) +
                               " gibt es in diesem Projekt nicht.");
  }
  LoadPageText(state_.pageTexts[static_cast<std::size_t>(page) - 1], page, maximise);
  state_.currentPage = page;
}

void DocumentWindow::LoadPageText(const SharedBytes& pageText, int pageNumber, bool maximise) {
  // Everything is read and checked before the page on screen is touched: a damaged page leaves
  // the window as it was.
  const pf::PageText page = pf::ReadPageText(pageText);
  const pf::PageHeader& h = page.header;
  if (!WidthPixels(h.widthMm) || !HeightPixels(h.heightMm)) {
    throw pf::ProjectFileError("Die Seite hat keine gültige Größe: " + Text(h.widthMm) + " x " +
                               Text(h.heightMm) + " mm.");
  }
  const pf::ImageRecord& b = page.background;
  CheckGeometry(b.top, b.left, b.height, b.width, b.name);
  graphics::Picture backgroundPicture;
  if (!page.backgroundJpeg.empty())
    backgroundPicture = LoadPicture(page.backgroundJpeg, true, b.name);
  std::vector<graphics::Picture> pictures(page.elements.size());
  for (std::size_t i = 0; i < page.elements.size(); ++i) {
    const pf::ElementBlock& block = page.elements[i];
    std::visit([](const auto& r) { CheckGeometry(r.top, r.left, r.height, r.width, r.name); },
               block.record);
    if (block.kind == pf::ElementKind::Jpeg || block.kind == pf::ElementKind::Bitmap) {
      pictures[i] = LoadPicture(block.data, block.kind == pf::ElementKind::Jpeg,
                                std::get<pf::ImageRecord>(block.record).name);
    }
  }

  ClearPage();
  state_.dataFields.clear();
  state_.projectNumber = Text(h.projectNumber);
  if (pageNumber == 1) {
    state_.info.title = Text(h.title);
    state_.info.subject = Text(h.subject);
    state_.info.author = Text(h.author);
    state_.info.keywords = Text(h.keywords);
  }
  state_.docType = Text(h.docType);
  state_.formatHeightText = Text(h.heightMm);
  state_.formatWidthText = Text(h.widthMm);
  state_.verticalFolds = h.verticalFolds;
  state_.horizontalFolds = h.horizontalFolds;
  state_.verticalPerforations = h.verticalPerforations;
  state_.horizontalPerforations = h.horizontalPerforations;
  state_.orderDocument = page.orderMark == '1' || page.orderMark == '2';
  state_.sampleTemplateDocument = page.orderMark == '2';
  documentId_ = Text(b.name);
  ApplyPageSize();

  auto* background = new report::TPRJpegImage(this);
  background->SetName(documentId_);
  background->SetStretch(true);
  background->SetPicture(backgroundPicture);
  Place(*background, b);
  AttachBackgroundHandlers(*background);
  background->SetParent(layoutPanel);
  background->SendToBack();

  for (std::size_t i = 0; i < page.elements.size(); ++i) {
    const pf::ElementBlock& block = page.elements[i];
    switch (block.kind) {
      case pf::ElementKind::Label: {
        const auto& r = std::get<pf::LabelRecord>(block.record);
        auto* label = new report::TPRLabel(this);
        label->SetName(Text(r.name));
        label->SetFontName(static_cast<report::TPRFontName>(r.fontName));
        label->SetAlignment(static_cast<pdf::TAlignment>(r.alignment));
        label->SetFontSize(r.fontSize);
        if (r.fontColor <= 0x0FFFFFFF) label->SetFontColor(r.fontColor);
        label->SetFontBold(r.fontBold);
        label->SetFontItalic(r.fontItalic);
        label->SetCharSpace(r.charSpace);
        Place(*label, r);
        label->SetCaption(Text(r.text));
        if (!r.dataField.empty()) {
          label->Setdbfieldname(Text(r.dataField));
          state_.dataFields.push_back(Text(r.dataField));
          label->SetCaption("<" + Text(r.dataField) + ">");
        }
        AttachElementHandlers(*label);
        label->SetParent(layoutPanel);
        break;
      }
      case pf::ElementKind::Rect: {
        const auto& r = std::get<pf::RectRecord>(block.record);
        auto* rect = new report::TPRRect(this);
        rect->SetName(Text(r.name));
        rect->SetFillColor(r.fillColor);
        rect->SetLineColor(r.lineColor);
        Place(*rect, r);
        rect->SetLineWidth(r.lineWidth);
        AttachElementHandlers(*rect);
        rect->SetParent(layoutPanel);
        break;
      }
      case pf::ElementKind::Text: {
        const auto& r = std::get<pf::TextRecord>(block.record);
        auto* text = new report::TPRText(this);
        text->SetName(Text(r.name));
        text->SetFontName(static_cast<report::TPRFontName>(r.fontName));
        text->SetFontSize(r.fontSize);
        if (r.fontColor <= 0x0FFFFFFF) text->SetFontColor(r.fontColor);
        text->SetFontBold(r.fontBold);
        text->SetFontItalic(r.fontItalic);
        text->SetCharSpace(r.charSpace);
        Place(*text, r);
        std::vector<std::string> lines;
        for (const auto& line : pf::DecodeTextLines(block.data)) lines.push_back(Text(line));
        text->SetLines(std::move(lines));
        text->SetLeading(r.leading);
        if (!r.dataField.empty()) {
          text->Setdbfieldname(Text(r.dataField));
          state_.dataFields.push_back(Text(r.dataField));
        }
        AttachElementHandlers(*text);
        text->SetParent(layoutPanel);
        break;
      }
      case pf::ElementKind::Jpeg:
      case pf::ElementKind::Bitmap: {
        const auto& r = std::get<pf::ImageRecord>(block.record);
        report::TPRImage* image = block.kind == pf::ElementKind::Jpeg
                                      ? new report::TPRJpegImage(this)
                                      : new report::TPRImage(this);
        image->SetName(Text(r.name));
        image->SetPicture(pictures[i]);
        Place(*image, r);
        AttachElementHandlers(*image);
        image->SetParent(layoutPanel);
        break;
      }
    }
  }
  for (int i = 0; i < page.skippedBitmapBlocks; ++i) ShowMessage("Fehler");
  ShowHandlesOnTop();
  if (maximise) SetMaximized(true);
  CopiesPerA3Sheet();
}

}  // namespace quirabel::designer
