#include "designer/document_window.h"

#include <algorithm>

#include "base/atomic_file.h"
#include "base/clock.h"
#include "base/file_names.h"
#include "base/rounding.h"
#include "designer/page_format.h"
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

constexpr const char* kTooLarge =
    "Das Bild ist zu gross für das Dokument und wird automatisch verkleinert.";
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
std::string CannotRead(const std::filesystem::path& file) {
  return "Die Bilddatei kann nicht gelesen werden: " + file.string();
}
std::string NoPicture(const std::filesystem::path& file) {
  return "Die Datei enthält kein Bild im Format BMP, JPG oder GIF: " + file.string();
}
std::string BadPicture(const std::filesystem::path& file, const graphics::ImageError& e) {
  return "Das Bild kann nicht gelesen werden (" + std::string(e.what()) + "): " + file.string();
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

}  // namespace

DocumentWindow::DocumentWindow(ui::Component* owner, ProjectState& state)
    : ui::TForm(owner), state_(state) {
  SetName("Form2");
  SetCaption("Visitenkarte - Standart [85 x 49 mm]");
  SetColor(graphics::clGray);
  SetBounds(0, 0, 636, 679);

  pageFrame = new ui::TPanel(this);
  pageFrame->SetName("Panel1");
  pageFrame->SetColor(graphics::clSilver);
  pageFrame->SetParent(this);
  // The frame around the page: a click there lets go of the element, and no ruler marker stays
  // once the mouse has left the elements.
  pageFrame->OnClick = [this](ui::Control&) { LetGo(); };
  pageFrame->OnMouseMove = [this](ui::Control&, ui::TShiftState, int, int) {
    for (ui::TImage* marker : markers_) marker->SetVisible(false);
  };

  pagePanel = new report::TPRPage(this);
  pagePanel->SetName("PRPage1");
  pagePanel->SetLeft(32);
  pagePanel->SetTop(32);
  pagePanel->SetParent(pageFrame);

  layoutPanel = new report::TPRLayoutPanel(this);
  layoutPanel->SetName("PRLayoutPanel1");
  layoutPanel->SetParent(pagePanel);

  auto image = [this](const char* name) {
    auto* i = new ui::TImage(this);
    i->SetName(name);
    i->SetBounds(0, 0, 17, 17);
    i->SetVisible(false);
    i->SetParent(layoutPanel);
    return i;
  };
  // Component names as the window always had them: bottom-right, top-right, top-left and
  // bottom-left handle, then the markers below, above, right and left.
  handles_ = {image("Image2"), image("Image3"), image("Image4"), image("Image5")};
  markers_ = {image("Image16"), image("Image17"), image("Image18"), image("Image19")};
  // The handles: a framed square; the markers: thin lines in one colour, stretched to their length.
  graphics::Bitmap handle(17, 17, graphics::PixelFormat::pf24bit);
  handle.FillRect(0, 0, 17, 17, graphics::RGB(0, 90, 200));
  handle.FillRect(2, 2, 15, 15, graphics::RGB(235, 242, 255));
  const graphics::Picture handlePicture = graphics::Picture::FromBitmap(handle);
  for (ui::TImage* h : handles_) {
    h->SetPicture(handlePicture);
    h->SetStretch(true);
    h->SetSizing(ui::ScreenSizing::FixedSquare);
  }
  graphics::Bitmap line(1, 1, graphics::PixelFormat::pf24bit);
  line.SetPixel(0, 0, graphics::RGB(220, 30, 30));
  const graphics::Picture markerPicture = graphics::Picture::FromBitmap(line);
  for (ui::TImage* m : markers_) {
    m->SetPicture(markerPicture);
    m->SetStretch(true);
    m->SetSizing(ui::ScreenSizing::ThinLine);
  }
  mouseEditing_.AttachHandles();

  sidePanel = new ui::TPanel(this);
  sidePanel->SetName("Panel2");
  sidePanel->SetVisible(false);
  sidePanel->SetParent(this);
  auto label = [this](const char* name) {
    auto* l = new ui::TLabel(this);
    l->SetName(name);
    l->SetParent(sidePanel);
    return l;
  };
  positionLabel = label("Label3");
  copiesLabel = label("Label7");
  sizeLabel = label("Label10");

  pdfReport = new report::TPReport(this);
  pdfReport->SetName("PReport1");
  pdfReport->SetFileName("default.pdf");
  pdfReport->SetUseOutlines(false);
}

DocumentWindow::~DocumentWindow() = default;

void DocumentWindow::ShowMessage(std::string_view text) {
  if (ui::Platform* platform = GetPlatform()) platform->ShowMessage(text);
}

report::TPRJpegImage* DocumentWindow::Background() const {
  if (documentId_.empty()) return nullptr;
  return dynamic_cast<report::TPRJpegImage*>(FindComponent(documentId_));
}

std::vector<PageElement> DocumentWindow::Elements() const {
  std::vector<PageElement> elements;
  const report::TPRJpegImage* background = Background();
  for (ui::Control* child : layoutPanel->Controls()) {
    TPRItem* item = report::AsItem(child);
    if (item == nullptr || item == background) continue;
    // Elements are known by their names; what an element is comes from the element itself.
    if (!ElementKindOfName(item->Name())) continue;
    const ElementKind kind = item->Kind();
    int number = 0;
    const std::string stem = std::string(ElementPrefix(kind)) + documentId_;
    const std::string& name = item->Name();
    if (name.size() > stem.size() && name.compare(0, stem.size(), stem) == 0) {
      const std::string digits = name.substr(stem.size());
      if (digits.size() <= 9 &&
          std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        number = std::stoi(digits);
      }
    }
    elements.push_back({item, kind, number});
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

report::TPRItem* DocumentWindow::FindElement(std::string_view name) const {
  return report::AsItem(dynamic_cast<ui::Control*>(FindComponent(name)));
}

int DocumentWindow::NextElementNumber() const {
  const std::vector<PageElement> elements = Elements();
  for (int n = 2;; ++n) {
    const bool used = std::any_of(elements.begin(), elements.end(),
                                  [n](const PageElement& e) { return e.number == n; });
    if (!used) return n;
  }
}

std::string DocumentWindow::ElementName(ElementKind kind, int number) const {
  return std::string(ElementPrefix(kind)) + documentId_ + std::to_string(number);
}

TPRItem& DocumentWindow::CreateElement(ElementKind kind) {
  const int number = NextElementNumber();
  TPRItem* item = MakeElement(kind, this);
  item->SetName(ElementName(kind, number));
  AttachElementHandlers(*item);
  item->SetParent(layoutPanel);
  return *item;
}

TPRItem& DocumentWindow::AddElementCopy(const projectfile::ElementBlock& block,
                                        const graphics::Picture& picture, int dx, int dy) {
  const int number = NextElementNumber();
  TPRItem* item = RestoreElement(block, picture, this);
  item->SetName(ElementName(item->Kind(), number));
  item->SetBounds(item->Left() + dx, item->Top() + dy, item->Width(), item->Height());
  KeepInsideMargins(*item);
  AttachElementHandlers(*item);
  item->SetParent(layoutPanel);
  const std::string dataField = TextOf(*item).dataField;
  if (!dataField.empty() && std::find(state_.dataFields.begin(), state_.dataFields.end(),
                                      dataField) == state_.dataFields.end()) {
    state_.dataFields.push_back(dataField);
  }
  ShowHandlesOnTop();
  return *item;
}

void DocumentWindow::ArmCreation(std::string_view mode) {
  state_.createMode = std::string(mode);
  if (ui::Platform* platform = GetPlatform()) platform->SetScreenCursor(ui::crUpArrow);
}

void DocumentWindow::CreateArmedElement() {
  ui::Platform* platform = GetPlatform();
  if (platform == nullptr || platform->ScreenCursor() != ui::crUpArrow) return;
  const std::string& mode = state_.createMode;
  TPRItem* created = nullptr;
  if (mode == "label") {
    auto& label = static_cast<report::TPRLabel&>(CreateElement(ElementKind::Label));
    label.SetBounds(LastPagePointX, LastPagePointY, 100, 17);
    label.SetCaption("Text Label");
    created = &label;
  } else if (mode == "memo") {
    auto& text = static_cast<report::TPRText&>(CreateElement(ElementKind::Text));
    text.SetBounds(LastPagePointX, LastPagePointY, 200, 100);
    text.SetText("Text Feld:\rDoppelklick für Eigenschaften..");
    created = &text;
  } else if (mode == "Rect") {
    auto& rect = static_cast<report::TPRRect&>(CreateElement(ElementKind::Rect));
    rect.SetBounds(LastPagePointX, LastPagePointY, 100, 50);
    rect.SetLineColor(graphics::clBlack);
    rect.SetFillColor(graphics::clRed);
    created = &rect;
  }
  if (created != nullptr) KeepInsideMargins(*created);
  ShowHandlesOnTop();
  platform->SetScreenCursor(ui::crDefault);
  Changed();
}

bool DocumentWindow::InsertPicture(const std::filesystem::path& file) {
  std::string bytes;
  try {
    bytes = ReadFile(file, graphics::Picture::kMaxFileBytes);
  } catch (const FileError&) {
    ShowMessage(CannotRead(file));
    return false;
  }
  TPRItem* element = nullptr;
  try {
    switch (FormatOf(bytes)) {
      case PictureFormat::Bmp: {
        const graphics::Picture picture = graphics::Picture::FromBmpBytes(std::move(bytes));
        auto& image = static_cast<report::TPRImage&>(CreateElement(ElementKind::Bitmap));
        element = &image;
        image.SetPicture(picture);
        break;
      }
      case PictureFormat::Jpeg: {
        const graphics::Picture picture =
            graphics::Picture::FromJpegBytes(WithoutProjectTags(std::move(bytes)));
        element = &CreateElement(ElementKind::Jpeg);
        static_cast<report::TPRJpegImage*>(element)->SetPicture(picture);
        break;
      }
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
        const graphics::Picture picture =
            graphics::Picture::FromJpeg(graphics::JpegImage::FromBitmap(bitmap));
        element = &CreateElement(ElementKind::Jpeg);
        static_cast<report::TPRJpegImage*>(element)->SetPicture(picture);
        break;
      }
      case PictureFormat::Png: {
        // Becomes a bitmap element like a BMP: a project file holds it as it holds those, a PDF
        // compressed without loss as long as the picture is the one read from the PNG.
        const graphics::Picture picture =
            graphics::Picture::FromPngBitmap(graphics::ReadPng(bytes));
        auto& image = static_cast<report::TPRImage&>(CreateElement(ElementKind::Bitmap));
        element = &image;
        image.SetPicture(picture);
        break;
      }
      case PictureFormat::Unknown:
        ShowMessage(NoPicture(file));
        return false;
    }
  } catch (const graphics::ImageError& e) {
    if (element != nullptr) delete element;
    ShowMessage(BadPicture(file, e));
    return false;
  }
  auto& image = static_cast<report::TPRImage&>(*element);
  image.SetPrintable(true);
  image.SetStretch(true);
  image.SetBounds(20, 20, image.Picture().Width(), image.Picture().Height());

  // Fit to the page, width first, then height.
  const int pageWidth = layoutPanel->Width();
  const int pageHeight = layoutPanel->Height();
  if (image.Width() > pageWidth - 28 && image.Height() > 0) {
    ShowMessage(kTooLarge);
    const double ratio = static_cast<double>(image.Width()) / image.Height();
    const int width = (pageWidth / 100) * 50;
    image.SetBounds(20, 20, width, RoundHalfEven(width / ratio));
  }
  if (image.Height() > pageHeight - 28 && image.Width() > 0) {
    ShowMessage(kTooLarge);
    const double ratio = static_cast<double>(image.Height()) / image.Width();
    const int height = (pageHeight / 100) * 50;
    image.SetBounds(20, 20, RoundHalfEven(height / ratio), height);
  }
  KeepInsideMargins(image);
  Changed();
  return true;
}

void DocumentWindow::BringElementToFront(std::string_view name) {
  if (TPRItem* element = FindElement(name)) BringElementToFront(*element);
}

void DocumentWindow::BringElementToFront(TPRItem& chosen) {
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
  ShowHandlesOnTop();
  Changed();
}

bool DocumentWindow::DeleteElement(std::string_view name) {
  TPRItem* element = FindElement(name);
  return element != nullptr && DeleteElement(*element);
}

bool DocumentWindow::DeleteElement(TPRItem& element) {
  if (&element == Background()) return false;
  delete &element;
  // Nothing of it may stay on the page: its handles and markers go with it.
  HideHandlesAndMarkers();
  Invalidate();
  Changed();
  return true;
}

namespace {

// The element a popup command acts on; none when the command does not apply.
TPRItem* PopupTarget(const DocumentWindow& window, ElementMenu menu) {
  if (menu == ElementMenu::Image) return window.Selected().ImageMenuTarget();
  TPRItem* pressed = window.Selected().Pressed();
  // The text line and text field menus act only on an element of their own kind.
  if (pressed == nullptr || (menu != ElementMenu::Rect && TypeOf(*pressed).menu != menu))
    return nullptr;
  return pressed;
}

}  // namespace

void DocumentWindow::PopupDeleteClick(Popup popup) {
  if (TPRItem* target = PopupTarget(*this, popup)) DeleteElement(*target);
}

void DocumentWindow::PopupBringToFrontClick(Popup popup) {
  TPRItem* target = popup == Popup::Image ? Selected().ImageMenuTarget() : Selected().Pressed();
  if (target != nullptr) BringElementToFront(*target);
}

void DocumentWindow::PopupPropertiesClick(Popup popup) {
  if (popup == Popup::Image || PopupTarget(*this, popup) == nullptr) return;
  if (OnProperties) OnProperties(popup);
}

void DocumentWindow::ClearPage() {
  for (const PageElement& e : Elements()) delete e.item;
  delete Background();
  // No handle or marker of this page stays for the next one.
  LetGo();
}

void DocumentWindow::AttachElementHandlers(report::TPRItem& item) {
  mouseEditing_.AttachElement(item);
}

void DocumentWindow::PlaceHandlesAround(const TPRItem* item) {
  if (item == nullptr) return;
  const int l = item->Left(), t = item->Top(), w = item->Width(), h = item->Height();
  auto place = [](ui::TImage* handle, int left, int top) {
    handle->SetBounds(left, top, handle->Width(), handle->Height());
    handle->BringToFront();
  };
  place(Handle(Corner::BottomRight), l + w - 3, t + h - 3);
  place(Handle(Corner::TopRight), l + w - 3, t - 8);
  place(Handle(Corner::TopLeft), l - 8, t - 8);
  place(Handle(Corner::BottomLeft), l - 8, t + h - 3);
}

void DocumentWindow::LetGo() {
  selection_.Clear();
  HideHandlesAndMarkers();
}

void DocumentWindow::KeepInsideMargins(TPRItem& element) const {
  const int left = PlaceOnPage(element.Left(), pagePanel->Width(), element.Width());
  const int top = PlaceOnPage(element.Top(), pagePanel->Height(), element.Height());
  if (left != element.Left() || top != element.Top())
    element.SetBounds(left, top, element.Width(), element.Height());
}

void DocumentWindow::HideHandlesAndMarkers() {
  for (ui::TImage* handle : handles_) handle->SetVisible(false);
  for (ui::TImage* marker : markers_) marker->SetVisible(false);
}

void DocumentWindow::ShowHandlesOnTop() {
  for (ui::TImage* handle : handles_) handle->BringToFront();
  for (ui::TImage* marker : markers_) marker->BringToFront();
}

int DocumentWindow::CopiesPerA3Sheet() {
  const int copies = designer::CopiesPerA3Sheet(state_.formatWidthText, state_.formatHeightText);
  copiesLabel->SetCaption(std::to_string(copies));
  return copies;
}

void DocumentWindow::BeginPdf() {
  ui::Platform* platform = GetPlatform();
  const LocalDateTime now = platform != nullptr ? platform->GetClock().Now() : DefaultClock().Now();
  pdfReport->SetCreationDate(SerialFromDateTime(now));
  pdfReport->SetBleed(state_.orderDocument ? kBleedPoints : 0);
  pdfReport->BeginDoc();
}

bool DocumentWindow::EndPdf() {
  pdfReport->EndDoc();
  if (!pdfReport->Printing()) return true;
  pdfReport->Abort();
  return false;
}

bool DocumentWindow::SinglePageAsPdf(const std::string& fileName) {
  pdfReport->SetAuthor(kProgramText);
  pdfReport->SetFileName(WithExtension(fileName, ".pdf"));
  BeginPdf();
  try {
    pdfReport->Print(*pagePanel);
  } catch (...) {
    pdfReport->Abort();  // the next PDF starts clean
    throw;
  }
  return EndPdf();
}

void DocumentWindow::ApplyPageSize() {
  const int width = WidthPixels(state_.formatWidthText).value_or(0);
  const int height = HeightPixels(state_.formatHeightText).value_or(0);
  pagePanel->SetBounds(32, 32, width, height);
  layoutPanel->SetBounds(0, 0, width, height);
  pageFrame->SetBounds(pageFrame->Left(), pageFrame->Top(), width + 80, height + 80);
  sidePanel->SetLeft(width + 75);
  SetCaption(state_.DocumentCaption());
}

void DocumentWindow::AttachBackgroundHandlers(report::TPRJpegImage& background) {
  background.OnMouseDown = [this](ui::Control&, ui::TMouseButton, ui::TShiftState, int x, int y) {
    LastPagePointX = x;
    LastPagePointY = y;
    CreateArmedElement();
  };
  background.OnMouseMove = [this](ui::Control&, ui::TShiftState, int x, int y) {
    LastPagePointX = x;
    LastPagePointY = y;
  };
  background.OnClick = [this](ui::Control&) { HideHandlesAndMarkers(); };
}

void DocumentWindow::InitDocument() {
  selection_.Clear();
  ApplyPageSize();
  auto* background = new report::TPRJpegImage(this);
  background->SetName(documentId_);
  background->SetBounds(0, 0, layoutPanel->Width(), layoutPanel->Height());
  background->SetPrintable(true);
  background->SetSharedImage(true);
  background->SetStretch(true);
  AttachBackgroundHandlers(*background);
  background->SetParent(layoutPanel);
  background->SendToBack();
  guideLines_.Build();
  ShowHandlesOnTop();
  SetMaximized(true);
  state_.info.title.clear();
  state_.info.subject.clear();
  state_.info.keywords.clear();
  state_.info.creator = kProgramText;
  inks_.Clear();
  CopiesPerA3Sheet();
}

std::filesystem::path DocumentWindow::ScratchBackgroundFile() const {
  if (state_.programFolder.empty()) return {};
  return std::filesystem::path(state_.programFolder) / kBackgroundScratch;
}

void DocumentWindow::SetBackgroundPicture(const graphics::Picture& jpeg) {
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
          graphics::JpegScaleDenomFor(j->Info(), layoutPanel->Width(), layoutPanel->Height());
      const graphics::Bitmap pixels = j->Decode(scale);
      if (!pixels.Empty()) gifReplaceColour_ = pixels.Pixel(0, 0);
    }
  } catch (const graphics::ImageError&) {
    // A picture too large to decode keeps white as its colour.
  }
}

void DocumentWindow::SetBackgroundColour(graphics::TColor color) {
  graphics::Bitmap bitmap(100, 100, graphics::PixelFormat::pf24bit);
  bitmap.FillRect(0, 0, 100, 100, graphics::ResolveSystemColor(color));
  SetBackgroundPicture(graphics::Picture::FromJpegBytes(graphics::EncodeJpeg(bitmap)));
}

bool DocumentWindow::LoadBackgroundPicture(const std::filesystem::path& file) {
  try {
    std::string bytes = ReadFile(file, graphics::Picture::kMaxFileBytes);
    switch (FormatOf(bytes)) {
      case PictureFormat::Jpeg:
        SetBackgroundPicture(
            graphics::Picture::FromJpegBytes(WithoutProjectTags(std::move(bytes))));
        return true;
      case PictureFormat::Bmp:
        SetBackgroundPicture(
            graphics::Picture::FromJpegBytes(graphics::EncodeJpeg(graphics::ReadBmp(bytes), 100)));
        return true;
      case PictureFormat::Gif:
        SetBackgroundPicture(graphics::Picture::FromJpegBytes(
            graphics::EncodeJpeg(graphics::ReadGif(bytes).bitmap, 100)));
        return true;
      case PictureFormat::Png:
        SetBackgroundPicture(
            graphics::Picture::FromJpegBytes(graphics::EncodeJpeg(graphics::ReadPng(bytes), 100)));
        return true;
      case PictureFormat::Unknown:
        ShowMessage(NoPicture(file));
        return false;
    }
  } catch (const FileError&) {
    ShowMessage(CannotRead(file));
  } catch (const graphics::ImageError& e) {
    ShowMessage(BadPicture(file, e));
  }
  return false;
}

int DocumentWindow::CountInks() {
  inks_.Clear();
  int highest = 0;
  ui::Platform* platform = GetPlatform();
  if (platform != nullptr) {
    platform->ProcessMessages();
    platform->SetScreenCursor(ui::crHourGlass);
  }
  auto raise = [&] { highest = std::max(highest, inks_.Count()); };
  try {
    for (const PageElement& e : Elements()) {
      switch (e.kind) {
        case ElementKind::Label:
        case ElementKind::Text:
          inks_.TestColor(static_cast<report::TPRCustomLabel*>(e.item)->FontColor());
          break;
        case ElementKind::Rect: {
          auto* rect = static_cast<report::TPRRect*>(e.item);
          inks_.TestColor(rect->FillColor());
          raise();
          inks_.TestColor(rect->LineColor());
          break;
        }
        case ElementKind::Jpeg:
        case ElementKind::Bitmap:
          if (e.number > 1) inks_.TestPicture(static_cast<report::TPRImage*>(e.item)->Picture());
          break;
      }
      raise();
    }
    if (report::TPRJpegImage* background = Background()) inks_.TestPicture(background->Picture());
    raise();
  } catch (const graphics::ImageError&) {
    // A picture too large to decode counts for what was found up to it.
  }
  if (platform != nullptr) platform->SetScreenCursor(ui::crDefault);
  return highest;
}

void DocumentWindow::CheckInksClick() {
  ShowMessage("Das Dokument ist " + std::to_string(CountInks()) + " farbig");
}

}  // namespace quirabel::designer
