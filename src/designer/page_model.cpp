#include "designer/page_model.h"

#include <algorithm>

#include "base/atomic_file.h"
#include "base/clock.h"
#include "base/file_names.h"
#include "designer/guide_lines.h"
#include "designer/kinds/background_class.h"
#include "designer/page_format.h"
#include "designer/page_margins.h"
#include "designer/print_formats.h"
#include "designer/projectfile/page_text.h"
#include "graphics/bmp.h"
#include "graphics/gif.h"
#include "graphics/jpeg.h"
#include "graphics/png.h"
#include "ui/platform.h"

namespace quirabel::designer {

using report::TPRItem;

namespace {

constexpr const char* kBackgroundScratch = "COLOR_DEF_BACKGROUND.JPG";

// Pictures a person may pick, whatever their file is called.
enum class PictureFormat { Unknown, Bmp, Jpeg, Gif, Png };

PictureFormat FormatOf(std::string_view bytes) {
  if (bytes.size() >= 2 && bytes.substr(0, 2) == "BM") return PictureFormat::Bmp;
  if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xD8 &&
      static_cast<unsigned char>(bytes[2]) == 0xFF) {
    return PictureFormat::Jpeg;
  }
  if (bytes.size() >= 4 && bytes.substr(0, 4) == "GIF8") return PictureFormat::Gif;
  if (graphics::IsPng(bytes)) return PictureFormat::Png;
  return PictureFormat::Unknown;
}

// What a person is told about a picture file that cannot be used, the same for elements and
// backgrounds.
PictureFileError CannotRead(const std::filesystem::path& file) {
  return PictureFileError("Die Bilddatei kann nicht gelesen werden: " + file.string());
}
PictureFileError NoPicture(const std::filesystem::path& file) {
  return PictureFileError("Die Datei enthält kein Bild im Format BMP, JPG oder GIF: " +
                          file.string());
}
PictureFileError BadPicture(const std::filesystem::path& file, const graphics::ImageError& e) {
  return PictureFileError("Das Bild kann nicht gelesen werden (" + std::string(e.what()) +
                          "): " + file.string());
}

// A JPEG as it may go into a page: comment and application segments that hold a closing tag of
// the project format are dropped (the picture itself is untouched), so a project with it always
// opens again. ImageError (German) when the picture data itself holds one.
std::string WithoutProjectTags(std::string bytes) {
  graphics::JpegWithoutTags cleaned =
      graphics::RemoveSegmentsHolding(bytes, projectfile::kTagsPicturesMustNotHold);
  switch (cleaned.result) {
    case graphics::JpegTagRemoval::Unchanged:
      return bytes;
    case graphics::JpegTagRemoval::SegmentsRemoved:
      return std::move(cleaned.bytes);
    case graphics::JpegTagRemoval::TagInImageData:
      break;
  }
  throw graphics::ImageError(
      "die Bilddaten enthalten Zeichen, die eine Projektdatei beschädigen würden");
}

std::string ReadPictureFile(const std::filesystem::path& file) {
  try {
    return ReadFile(file, graphics::Picture::kMaxFileBytes);
  } catch (const FileError&) {
    throw CannotRead(file);
  }
}

// The number an element's name carries after its kind's prefix and the document identifier;
// 0 for a name with another identifier or no number.
int NumberInName(const std::string& name, std::string_view prefix, const std::string& id) {
  const std::size_t stem = prefix.size() + id.size();
  if (name.size() <= stem || name.size() > stem + 9) return 0;
  if (name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(prefix.size(), id.size(), id) != 0) {
    return 0;
  }
  int number = 0;
  for (std::size_t i = stem; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

}  // namespace

PageModel::PageModel(ui::Component& owner, ProjectState& state) : owner_(owner), state_(state) {
  frame_ = new ui::TPanel(&owner_);
  frame_->SetName("Panel1");
  frame_->SetColor(graphics::clSilver);

  pagePanel_ = new report::TPRPage(&owner_);
  pagePanel_->SetName("PRPage1");
  pagePanel_->SetLeft(32);
  pagePanel_->SetTop(32);
  pagePanel_->SetParent(frame_);

  layoutPanel_ = new report::TPRLayoutPanel(&owner_);
  layoutPanel_->SetName("PRLayoutPanel1");
  layoutPanel_->SetParent(pagePanel_);

  report_ = new report::TPReport(&owner_);
  report_->SetName("PReport1");
  report_->SetFileName("default.pdf");
  report_->SetUseOutlines(false);

  guideLines_ = std::make_unique<GuideLines>(*this);
}

PageModel::~PageModel() = default;

report::TPRJpegImage* PageModel::Background() const {
  report::TPRJpegImage* background = background_.Get();
  if (background == nullptr || !kinds::Background().Is(*background, documentId_)) return nullptr;
  return background;
}

std::vector<PageElement> PageModel::Elements() const {
  std::vector<PageElement> elements;
  const report::TPRJpegImage* background = Background();
  elements.reserve(layoutPanel_->Controls().size());
  for (ui::Control* child : layoutPanel_->Controls()) {
    TPRItem* item = report::AsItem(child);
    if (item == nullptr || item == background) continue;
    // Elements are known by their names; what an element is comes from the element itself.
    if (!ElementKindOfName(item->Name())) continue;
    const ElementKind kind = item->Kind();
    elements.push_back({item, kind, NumberInName(item->Name(), ElementPrefix(kind), documentId_)});
  }
  // Ascending number, kinds in their fixed order; foreign names keep their stacking order, last.
  std::stable_sort(elements.begin(), elements.end(),
                   [](const PageElement& a, const PageElement& b) {
                     const bool aKnown = a.number > 0, bKnown = b.number > 0;
                     if (aKnown != bKnown) return aKnown;
                     if (!aKnown) return false;
                     if (a.number != b.number) return a.number < b.number;
                     return static_cast<int>(a.kind) < static_cast<int>(b.kind);
                   });
  return elements;
}

report::TPRItem* PageModel::FindElement(std::string_view name) const {
  return report::AsItem(dynamic_cast<ui::Control*>(owner_.FindComponent(name)));
}

int PageModel::NextElementNumber() const {
  // One pass: with n elements the answer is at most n + 2.
  const std::vector<PageElement> elements = Elements();
  std::vector<bool> used(elements.size() + 3, false);
  for (const PageElement& e : elements) {
    if (e.number >= 0 && static_cast<std::size_t>(e.number) < used.size())
      used[static_cast<std::size_t>(e.number)] = true;
  }
  int n = 2;
  while (used[static_cast<std::size_t>(n)]) ++n;
  return n;
}

std::string PageModel::ElementName(ElementKind kind, int number) const {
  return std::string(ElementPrefix(kind)) + documentId_ + std::to_string(number);
}

void PageModel::Place(TPRItem& element) {
  if (OnElementPlaced) OnElementPlaced(element);
  element.SetParent(layoutPanel_);
}

TPRItem& PageModel::CreateElement(ElementKind kind) {
  const int number = NextElementNumber();
  TPRItem* item = MakeElement(kind, &owner_);
  item->SetName(ElementName(kind, number));
  Place(*item);
  return *item;
}

TPRItem& PageModel::AddElementCopy(const projectfile::ElementBlock& block,
                                   const graphics::Picture& picture, int dx, int dy) {
  const int number = NextElementNumber();
  TPRItem* item = RestoreElement(block, picture, &owner_);
  item->SetName(ElementName(item->Kind(), number));
  item->SetBounds(item->Left() + dx, item->Top() + dy, item->Width(), item->Height());
  KeepInsideMargins(*item);
  Place(*item);
  NoteDataFields(*item);
  return *item;
}

void PageModel::NoteDataFields(const TPRItem& item) {
  for (std::string& dataField : DataFieldsOf(item)) {
    if (std::find(state_.dataFields.begin(), state_.dataFields.end(), dataField) ==
        state_.dataFields.end())
      state_.dataFields.push_back(std::move(dataField));
  }
}

report::TPRImage& PageModel::InsertPicture(const std::filesystem::path& file) {
  std::string bytes = ReadPictureFile(file);
  // The picture is read completely before an element is made for it.
  graphics::Picture picture;
  ElementKind kind = ElementKind::Bitmap;
  try {
    switch (FormatOf(bytes)) {
      case PictureFormat::Bmp:
        picture = graphics::Picture::FromBmpBytes(std::move(bytes));
        break;
      case PictureFormat::Jpeg:
        picture = graphics::Picture::FromJpegBytes(WithoutProjectTags(std::move(bytes)));
        kind = ElementKind::Jpeg;
        break;
      case PictureFormat::Gif: {
        graphics::GifPicture gif = graphics::ReadGif(bytes);
        graphics::Bitmap& bitmap = gif.bitmap;
        if (gif.anyFrameTransparent && !bitmap.Empty()) {
          // The transparent parts take the page's background colour.
          const graphics::TColor transparent = bitmap.Pixel(0, 0);
          for (int y = 0; y < bitmap.Height(); ++y)
            for (int x = 0; x < bitmap.Width(); ++x)
              if (bitmap.Pixel(x, y) == transparent) bitmap.SetPixel(x, y, gifReplaceColour_);
        }
        picture = graphics::Picture::FromJpeg(graphics::JpegImage::FromBitmap(bitmap));
        kind = ElementKind::Jpeg;
        break;
      }
      case PictureFormat::Png:
        // Becomes a bitmap element like a BMP: a project file holds it as it holds those, a PDF
        // compressed without loss as long as the picture is the one read from the PNG.
        picture = graphics::Picture::FromPngBitmap(graphics::ReadPng(bytes));
        break;
      case PictureFormat::Unknown:
        throw NoPicture(file);
    }
  } catch (const graphics::ImageError& e) {
    throw BadPicture(file, e);
  }
  auto& image = static_cast<report::TPRImage&>(CreateElement(kind));
  image.SetPicture(picture);
  image.SetPrintable(true);
  image.SetStretch(true);
  image.SetBounds(20, 20, image.Picture().Width(), image.Picture().Height());
  return image;
}

void PageModel::BringElementToFront(TPRItem& chosen) {
  chosen.BringToFront();
  const std::vector<PageElement> elements = Elements();
  const auto top = std::max_element(
      elements.begin(), elements.end(),
      [](const PageElement& a, const PageElement& b) { return a.number < b.number; });
  const auto self = std::find_if(elements.begin(), elements.end(),
                                 [&chosen](const PageElement& e) { return e.item == &chosen; });
  if (top != elements.end() && self != elements.end() && top->item != &chosen && top->number != 0 &&
      self->number != 0) {
    // Swap the numbers, each keeping its own kind prefix, so the order survives saving.
    top->item->SetName(ElementName(top->kind, self->number));
    chosen.SetName(ElementName(self->kind, top->number));
  }
}

bool PageModel::DeleteElement(TPRItem& element) {
  if (&element == Background()) return false;
  delete &element;
  return true;
}

void PageModel::ClearPage() {
  // Newest first: each element then leaves its owner's and its parent's lists from the end, and
  // a page of a hundred thousand elements is cleared in linear time.
  std::vector<PageElement> elements = Elements();
  std::vector<TPRItem*> items;
  items.reserve(elements.size());
  for (const PageElement& e : elements) items.push_back(e.item);
  elements.clear();
  std::sort(items.begin(), items.end());
  std::vector<ui::Control*> stacked = layoutPanel_->Controls();
  for (auto it = stacked.rbegin(); it != stacked.rend(); ++it) {
    TPRItem* item = report::AsItem(*it);
    if (item != nullptr && std::binary_search(items.begin(), items.end(), item)) delete item;
  }
  delete Background();
}

void PageModel::KeepInsideMargins(TPRItem& element) const {
  const int left = PlaceOnPage(element.Left(), pagePanel_->Width(), element.Width());
  const int top = PlaceOnPage(element.Top(), pagePanel_->Height(), element.Height());
  if (left != element.Left() || top != element.Top())
    element.SetBounds(left, top, element.Width(), element.Height());
}

void PageModel::BeginPdf() {
  ui::Platform* platform = owner_.GetPlatform();
  const LocalDateTime now = platform != nullptr ? platform->GetClock().Now() : DefaultClock().Now();
  report_->SetCreationDate(SerialFromDateTime(now));
  report_->SetBleed(state_.orderDocument ? kBleedPoints : 0);
  report_->BeginDoc();
}

void PageModel::EndPdf() {
  try {
    report_->EndDoc();
  } catch (...) {
    report_->Abort();  // the next PDF starts clean
    throw;
  }
}

Notices PageModel::SinglePageAsPdf(const std::string& fileName) {
  report_->SetAuthor(kProgramText);
  report_->SetFileName(WithExtension(fileName, ".pdf"));
  BeginPdf();
  try {
    PrintInto(*report_);
  } catch (...) {
    report_->Abort();  // the next PDF starts clean
    throw;
  }
  Notices notes = report_->TakeNotes();
  EndPdf();
  return notes;
}

void PageModel::ApplyPageSize() {
  const int width = WidthPixels(state_.formatWidthText).value_or(0);
  const int height = HeightPixels(state_.formatHeightText).value_or(0);
  pagePanel_->SetBounds(32, 32, width, height);
  layoutPanel_->SetBounds(0, 0, width, height);
  frame_->SetBounds(frame_->Left(), frame_->Top(), width + 80, height + 80);
}

report::TPRJpegImage& PageModel::PlaceBackground() {
  report::TPRJpegImage* background = kinds::Background().Make(&owner_, documentId_);
  if (OnBackgroundPlaced) OnBackgroundPlaced(*background);
  background->SetParent(layoutPanel_);
  background->SendToBack();
  background_ = background;
  return *background;
}

void PageModel::InitDocument() {
  ApplyPageSize();
  report::TPRJpegImage& background = PlaceBackground();
  background.SetBounds(0, 0, layoutPanel_->Width(), layoutPanel_->Height());
  background.SetPrintable(true);
  background.SetSharedImage(true);
  guideLines_->Build();
  state_.info.title.clear();
  state_.info.subject.clear();
  state_.info.keywords.clear();
  state_.info.creator = kProgramText;
  inks_.Clear();
}

std::filesystem::path PageModel::ScratchBackgroundFile() const {
  if (state_.programFolder.empty()) return {};
  return std::filesystem::path(state_.programFolder) / kBackgroundScratch;
}

void PageModel::SetBackgroundPicture(const graphics::Picture& jpeg) {
  report::TPRJpegImage* background = Background();
  if (background == nullptr) return;
  // The last background also goes to the scratch file in the program folder.
  const std::filesystem::path scratch = ScratchBackgroundFile();
  if (!scratch.empty()) {
    try {
      jpeg.SaveToFile(scratch);
    } catch (const FileError&) {
      // The scratch copy is a convenience; the page keeps its background without it.
    }
  }
  background->SetPicture(jpeg);
  // The colour at the top-left pixel as shown, JPEG compression included. A large picture is
  // shown reduced, so it is decoded reduced for this too (a full decode of a photograph would
  // take hundreds of megabytes for one pixel).
  gifReplaceColour_ = graphics::clWhite;
  try {
    if (const graphics::JpegImage* j = jpeg.AsJpeg(); j != nullptr && !j->Empty()) {
      const int scale =
          graphics::JpegScaleDenomFor(j->Info(), layoutPanel_->Width(), layoutPanel_->Height());
      const graphics::Bitmap pixels = j->Decode(scale);
      if (!pixels.Empty()) gifReplaceColour_ = pixels.Pixel(0, 0);
    }
  } catch (const graphics::ImageError&) {
    // A picture too large to decode keeps white as its colour.
  }
}

void PageModel::SetBackgroundColour(graphics::TColor color) {
  graphics::Bitmap bitmap(100, 100, graphics::PixelFormat::pf24bit);
  bitmap.FillRect(0, 0, 100, 100, graphics::ResolveSystemColor(color));
  SetBackgroundPicture(graphics::Picture::FromJpegBytes(graphics::EncodeJpeg(bitmap)));
}

void PageModel::LoadBackgroundPicture(const std::filesystem::path& file) {
  std::string bytes = ReadPictureFile(file);
  try {
    switch (FormatOf(bytes)) {
      case PictureFormat::Jpeg:
        SetBackgroundPicture(
            graphics::Picture::FromJpegBytes(WithoutProjectTags(std::move(bytes))));
        return;
      case PictureFormat::Bmp:
        SetBackgroundPicture(
            graphics::Picture::FromJpegBytes(graphics::EncodeJpeg(graphics::ReadBmp(bytes), 100)));
        return;
      case PictureFormat::Gif:
        SetBackgroundPicture(graphics::Picture::FromJpegBytes(
            graphics::EncodeJpeg(graphics::ReadGif(bytes).bitmap, 100)));
        return;
      case PictureFormat::Png:
        SetBackgroundPicture(
            graphics::Picture::FromJpegBytes(graphics::EncodeJpeg(graphics::ReadPng(bytes), 100)));
        return;
      case PictureFormat::Unknown:
        break;
    }
  } catch (const graphics::ImageError& e) {
    throw BadPicture(file, e);
  }
  throw NoPicture(file);
}

int PageModel::CountInks() {
  inks_.Clear();
  int highest = 0;
  auto raise = [&] { highest = std::max(highest, inks_.Count()); };
  try {
    for (const PageElement& e : Elements()) {
      ClassOf(e.kind).CheckInks(*e.item, e.number, inks_, raise);
      raise();
    }
    if (const report::TPRJpegImage* background = Background())
      kinds::Background().CheckInks(*background, inks_);
    raise();
  } catch (const graphics::ImageError&) {
    // A picture too large to decode counts for what was found up to it.
  }
  return highest;
}

}  // namespace quirabel::designer
