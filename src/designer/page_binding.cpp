// The page to and from its page text.
#include <algorithm>
#include <cstdint>
#include <future>
#include <span>
#include <thread>

#include "base/atomic_file.h"
#include "base/cp1252.h"
#include "designer/element_kinds.h"
#include "designer/guide_lines.h"
#include "designer/kinds/background_class.h"
#include "designer/page_format.h"
#include "designer/page_model.h"
#include "designer/projectfile/file_text.h"
#include "designer/projectfile/guide_line_string.h"
#include "designer/projectfile/page_reading.h"
#include "designer/projectfile/page_text.h"
#include "designer/projectfile/project_split.h"

namespace quirabel::designer {

namespace pf = projectfile;

namespace {

// Positions and sizes a page can use; anything beyond is a damaged file, not a page.
constexpr std::int32_t kMaxCoordinate = 100000;

std::string Text(std::string_view bytes) { return projectfile::FromFileText(bytes); }

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

// Which of a bitmap's columns and rows a preview needs: a page `pageSide` pixels along its longer
// side is shown `previewPixels` wide or high, and the picture is stretched over its element, so
// more than one picture pixel per preview pixel of the element is never seen. An element larger
// than the page counts as large as the page: the preview shows no more of it.
graphics::BmpSampling PreviewSampling(std::string_view bytes, const pf::ImageRecord& record,
                                      int pageSide, int previewPixels) {
  if (previewPixels <= 0 || pageSide <= 0) return {};
  graphics::BmpInfo info;
  try {
    info = graphics::ReadBmpInfo(bytes);
  } catch (const graphics::ImageError&) {
    return {};  // reading the picture says what is wrong with it
  }
  const auto step = [&](std::int64_t pictureSide, std::int32_t elementSide) {
    const std::int64_t shown =
        std::max<std::int64_t>(1, std::int64_t{std::clamp(elementSide, 0, pageSide)} *
                                      previewPixels / pageSide);
    return static_cast<int>(std::clamp<std::int64_t>(pictureSide / shown, 1, INT32_MAX));
  };
  return {step(info.width, record.width), step(info.height, record.height)};
}

graphics::Picture LoadPicture(const SharedBytes& bytes, bool jpeg,
                              const std::optional<graphics::JpegLayout>& checked,
                              const pf::ImageRecord& record,
                              graphics::BmpSampling sampling = {}) {
  const std::string& name = record.name;
  try {
    if (jpeg && checked) return graphics::Picture::FromCheckedJpegBytes(bytes, *checked);
    if (jpeg) return graphics::Picture::FromJpegBytes(bytes);
    graphics::Picture picture = graphics::Picture::FromSampledBmpBytes(bytes, sampling);
    picture.SetCameFromPng(record.fromPng);
    return picture;
  } catch (const graphics::ImageError& e) {
    throw pf::ProjectFileError("Die Seite ist beschädigt: das Bild von „" + Text(name) +
                               "“ kann nicht gelesen werden (" + e.what() + ").");
  }
}

// "2 Element(e) ohne die Kennung ihrer Art im Namen ausgelassen (PRShape1, Hello)."
std::string UnmarkedText(const std::vector<std::string>& names) {
  std::string text = std::to_string(names.size()) +
                     " Element(e) ohne die Kennung ihrer Art im Namen ausgelassen (";
  for (std::size_t i = 0; i < names.size() && i < 5; ++i) text += (i > 0 ? ", " : "") + names[i];
  return text + (names.size() > 5 ? ", …)." : ").");
}

}  // namespace

void PageModel::CheckPixelBudget(const pf::PageText& page, int pageNumber) {
  // What each picture would decode to, from its header alone: a small file may claim a huge
  // picture (a run-length bitmap that ends at once), and that must be refused before anything
  // is allocated for it.
  const auto pixelsOf = [](const SharedBytes& bytes,
                           const std::optional<graphics::JpegLayout>& checked) -> std::uint64_t {
    // A JPEG that reading walked already is not walked again.
    if (checked) return graphics::DecodedPixels(*checked);
    try {
      return bytes.empty() ? 0 : graphics::DecodedPixels(bytes.View());
    } catch (const graphics::ImageError&) {
      return 0;  // no readable header: reading the picture itself reports it
    }
  };
  const auto refuse = [pageNumber](const std::string& name, const std::string& why) {
    throw pf::ProjectFileError("Die Seite " + std::to_string(pageNumber) +
                               " wird nicht gelesen: das Bild von „" + Text(name) + "“ " + why);
  };
  std::uint64_t pagePixels = pixelsOf(page.backgroundJpeg, page.checkedBackground);
  std::uint64_t bitmapPixels = 0;
  if (pagePixels > kMaxPixelsPerPage) refuse(page.background.name, "ist zu groß.");
  std::uint64_t otherPagesBitmapPixels = 0;
  for (const auto& [number, pixels] : state_.bitmapPixelsByPage) {
    if (number != pageNumber) otherPagesBitmapPixels += pixels;
  }
  for (const pf::ElementBlock& block : page.elements) {
    if (block.kind != pf::ElementKind::Jpeg && block.kind != pf::ElementKind::Bitmap) continue;
    const std::string& name = std::get<pf::ImageRecord>(block.record).name;
    const std::uint64_t pixels = pixelsOf(block.data, block.checkedJpeg);
    pagePixels += pixels;
    if (pagePixels > kMaxPixelsPerPage) {
      refuse(name, "brächte die Bilder der Seite über " +
                       std::to_string(kMaxPixelsPerPage / 1000000) + " Megapixel.");
    }
    // Bitmaps go into a PDF pixel by pixel; JPEGs pass through as they are.
    if (block.kind == pf::ElementKind::Bitmap) bitmapPixels += pixels;
    if (otherPagesBitmapPixels + bitmapPixels > kMaxBitmapPixelsPerProject) {
      refuse(name, "brächte die Bitmaps des Projekts über " +
                       std::to_string(kMaxBitmapPixelsPerProject / 1000000) + " Megapixel.");
    }
  }
  state_.bitmapPixelsByPage[pageNumber] = bitmapPixels;
}

pf::PageText PageModel::ParsedPageText() const {
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
  // Where the guide lines stand is kept with the first page only.
  if (state_.orderDocument && state_.currentPage == 1) h.guideLines = guideLines_->Write();

  kinds::Background().Store(Background(), documentId_, page);
  page.orderMark = state_.sampleTemplateDocument ? '2' : state_.orderDocument ? '1' : '0';

  for (const PageElement& e : Elements()) page.elements.push_back(StoreElement(*e.item));
  return page;
}

std::string PageModel::PageText() const { return pf::WritePageText(ParsedPageText()); }

SharedBytes PageModel::SharedPageText() const {
  const pf::PageText page = ParsedPageText();
  const auto index = static_cast<std::size_t>(std::max(state_.currentPage, 1) - 1);
  // An unchanged page keeps the bytes it has: they are a piece of the file as read, which its
  // pictures (and a PDF being written) share, and a copy would only double the memory.
  if (index < state_.pageTexts.size() && pf::WritesAs(page, state_.pageTexts[index])) {
    return state_.pageTexts[index];
  }
  return SharedBytes(pf::WritePageText(page));
}

void PageModel::StoreCurrentPage() {
  SharedBytes text = SharedPageText();
  const auto index = static_cast<std::size_t>(std::max(state_.currentPage, 1) - 1);
  if (state_.pageTexts.size() <= index) {
    state_.pageTexts.push_back(std::move(text));
  } else {
    state_.pageTexts[index] = std::move(text);
  }
}

void PageModel::WriteProjectFile(const std::filesystem::path& fileName) const {
  // Page by page straight into the file: a large project is not joined in memory first. Every
  // page is read back: a file the designer could not open again is never written. The pages are
  // read back on a thread of their own while they are written, and the file is committed only
  // when all of them could be; a page that could not is named as if it had been read back just
  // before it was written (a write that failed before it is reported instead).
  const std::span<const SharedBytes> pages = state_.pageTexts;
  const auto readBack = [&](std::size_t index) {
    try {
      pf::ReadPageText(pages[index]);
    } catch (const pf::ProjectFileError& e) {
      throw pf::ProjectFileError("Die Seite " + std::to_string(index + 1) +
                                 " ließe sich nicht wieder lesen: " + e.what());
    }
  };
  AtomicFileWriter writer(fileName);
  std::future<std::optional<std::size_t>> unreadable =
      std::async(std::launch::async | std::launch::deferred,
                 [pages] { return pf::FirstUnreadablePage(pages); });
  std::size_t written = 0;
  try {
    for (const SharedBytes& page : pages) {
      writer.Write(page.View());
      writer.Write(pf::kEndOfFile);
      ++written;
    }
  } catch (const FileError&) {
    // Page `written` failed to be written: a page before it that cannot be read back is named.
    if (const std::optional<std::size_t> bad = unreadable.get(); bad && *bad <= written) {
      readBack(*bad);
    }
    throw;
  }
  if (const std::optional<std::size_t> bad = unreadable.get()) readBack(*bad);
  writer.Commit();
}

PageModel::Loaded PageModel::LoadPage(int page) {
  if (page < 1 || static_cast<std::size_t>(page) > state_.pageTexts.size()) {
    throw pf::ProjectFileError("Die Seite " + std::to_string(page) +
                               " gibt es in diesem Projekt nicht.");
  }
  const Loaded loaded = LoadPageText(state_.pageTexts[static_cast<std::size_t>(page) - 1], page);
  state_.currentPage = page;
  return loaded;
}

const pf::PageText& PageModel::ReadPage(const SharedBytes& pageText, int pageNumber) {
  const auto known = readPages_.find(pageNumber);
  if (known != readPages_.end() && known->second.text.data() == pageText.data() &&
      known->second.text.size() == pageText.size()) {
    return known->second.page;
  }
  pf::PageText page = pf::ReadPageText(pageText);  // a page that fails is not kept
  PageAsRead& entry = readPages_[pageNumber];
  entry = {pageText, std::move(page)};
  return entry.page;
}

void PageModel::ReadAllPages() {
  std::vector<SharedBytes> unread;
  std::vector<int> numbers;
  for (std::size_t i = 0; i < state_.pageTexts.size(); ++i) {
    const SharedBytes& text = state_.pageTexts[i];
    const int number = static_cast<int>(i) + 1;
    const auto known = readPages_.find(number);
    if (known != readPages_.end() && known->second.text.data() == text.data() &&
        known->second.text.size() == text.size()) {
      continue;
    }
    unread.push_back(text);
    numbers.push_back(number);
  }
  std::vector<std::optional<pf::PageText>> pages =
      pf::ReadPageTextsSideBySide(unread, std::thread::hardware_concurrency());
  for (std::size_t k = 0; k < pages.size(); ++k) {
    // A page that could not be read is read again when it is loaded, which says why.
    if (pages[k]) readPages_[numbers[k]] = {unread[k], std::move(*pages[k])};
  }
}

PageModel::Loaded PageModel::LoadPageText(const SharedBytes& pageText, int pageNumber) {
  // Everything is read and checked before the page is touched: a damaged page leaves it as it
  // was.
  const pf::PageText& page = ReadPage(pageText, pageNumber);
  const pf::PageHeader& h = page.header;
  if (!WidthPixels(h.widthMm) || !HeightPixels(h.heightMm)) {
    throw pf::ProjectFileError("Die Seite hat keine gültige Größe: " + Text(h.widthMm) + " x " +
                               Text(h.heightMm) + " mm.");
  }
  const pf::ImageRecord& b = page.background;
  CheckGeometry(b.top, b.left, b.height, b.width, b.name);
  CheckPixelBudget(page, pageNumber);
  const bool orderable = page.orderMark == '1' || page.orderMark == '2';
  pf::GuideLineRecords guideRecords;
  if (orderable) {
    guideRecords = pf::ReadGuideLineString(
        h.guideLines,
        {h.verticalFolds, h.horizontalFolds, h.verticalPerforations, h.horizontalPerforations},
        *WidthPixels(h.widthMm), *HeightPixels(h.heightMm));
  }
  graphics::Picture backgroundPicture;
  if (!page.backgroundJpeg.empty())
    backgroundPicture = LoadPicture(page.backgroundJpeg, true, page.checkedBackground, b);
  std::vector<graphics::Picture> pictures(page.elements.size());
  const int pageSide = std::max(*WidthPixels(h.widthMm), *HeightPixels(h.heightMm));
  for (std::size_t i = 0; i < page.elements.size(); ++i) {
    const pf::ElementBlock& block = page.elements[i];
    std::visit([](const auto& r) { CheckGeometry(r.top, r.left, r.height, r.width, r.name); },
               block.record);
    if (block.kind == pf::ElementKind::Jpeg || block.kind == pf::ElementKind::Bitmap) {
      const auto& record = std::get<pf::ImageRecord>(block.record);
      const bool jpeg = block.kind == pf::ElementKind::Jpeg;
      pictures[i] = LoadPicture(
          block.data, jpeg, block.checkedJpeg, record,
          jpeg ? graphics::BmpSampling{}
               : PreviewSampling(block.data.View(), record, pageSide, state_.previewPixels));
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

  kinds::Background().Restore(PlaceBackground(), page, backgroundPicture);

  // Elements are known by the mark of their kind in their names: one without it is on no list of
  // the page, so storing, printing and the batch tool leave it out.
  std::vector<std::string> unmarked;
  for (std::size_t i = 0; i < page.elements.size(); ++i) {
    report::TPRItem* element = RestoreElement(page.elements[i], pictures[i], &owner_);
    for (std::string& dataField : DataFieldsOf(*element))
      state_.dataFields.push_back(std::move(dataField));
    if (!ElementKindOfName(element->Name())) unmarked.push_back(element->Name());
    Place(*element);
  }
  // The guide lines stay on the window from page to page; the first page is the front side and
  // says where they stand.
  guideLines_->Build();
  if (orderable) {
    if (pageNumber == 1) guideLines_->ShowFrontSide();
    if (!h.guideLines.empty()) guideLines_->Apply(guideRecords);
  }
  // A loss stays on record once seen: the page stored again afterwards no longer shows it.
  if (page.skippedBitmapBlocks + page.skippedUnknownBlocks + unmarked.size() > 0 &&
      !state_.readLosses.contains(pageNumber)) {
    std::string lost = "Seite " + std::to_string(pageNumber) + ":";
    if (page.skippedBitmapBlocks > 0)
      lost += " " + std::to_string(page.skippedBitmapBlocks) +
              " Bild-Element(e) mit zu kurzem Satz ausgelassen.";
    if (page.skippedUnknownBlocks > 0)
      lost += " " + std::to_string(page.skippedUnknownBlocks) +
              " Element(e) unbekannter oder verschobener Art ausgelassen.";
    if (!unmarked.empty()) lost += " " + UnmarkedText(unmarked);
    state_.readLosses[pageNumber] = std::move(lost);
  }
  // The designer says so too: it shows them, but saves and prints without them.
  return {page.skippedBitmapBlocks,
          unmarked.empty()
              ? std::string()
              : "Seite " + std::to_string(pageNumber) + ": " + UnmarkedText(unmarked) +
                    " Sie werden nicht gespeichert und nicht gedruckt; bitte neu anlegen."};
}

}  // namespace quirabel::designer
