#include "designer/document_window.h"

#include <algorithm>

#include "base/atomic_file.h"
#include "base/rounding.h"
#include "designer/page_format.h"
#include "graphics/bmp.h"
#include "graphics/gif.h"
#include "graphics/jpeg.h"
#include "ui/platform.h"

namespace quirabel::designer {

using report::TPRItem;

namespace {

constexpr const char* kTooLarge =
    "Das Bild ist zu gross für das Dokument und wird automatisch verkleinert.";
constexpr const char* kBackgroundScratch = "COLOR_DEF_BACKGROUND.JPG";

// Pictures a person may pick, whatever their file is called.
enum class PictureFormat { Unknown, Bmp, Jpeg, Gif };

PictureFormat FormatOf(std::string_view bytes) {
  if (bytes.size() >= 2 && bytes.substr(0, 2) == "BM") return PictureFormat::Bmp;
  if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xD8 &&
      static_cast<unsigned char>(bytes[2]) == 0xFF) {
    return PictureFormat::Jpeg;
  }
  if (bytes.size() >= 4 && bytes.substr(0, 4) == "GIF8") return PictureFormat::Gif;
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

}  // namespace

std::string_view ElementPrefix(ElementKind kind) {
  switch (kind) {
    case ElementKind::Rect:
      return "PRRect";
    case ElementKind::Label:
      return "PRLabel";
    case ElementKind::Text:
      return "PRText";
    case ElementKind::Jpeg:
      return "PRJpegImage";
    case ElementKind::Bitmap:
      return "PRImage";
  }
  return "";
}

std::optional<ElementKind> ElementKindOfName(std::string_view name) {
  // "PRJpeg" before "PRImage": the names are told apart by what they contain.
  if (name.find("PRJpeg") != std::string_view::npos) return ElementKind::Jpeg;
  if (name.find("PRImage") != std::string_view::npos) return ElementKind::Bitmap;
  if (name.find("PRLabel") != std::string_view::npos) return ElementKind::Label;
  if (name.find("PRText") != std::string_view::npos) return ElementKind::Text;
  if (name.find("PRRect") != std::string_view::npos) return ElementKind::Rect;
  return std::nullopt;
}

TForm2::TForm2(ui::Component* owner, ProjectState& state) : ui::TForm(owner), state_(state) {
  SetName("Form2");
  SetCaption("Visitenkarte - Standart [85 x 49 mm]");
  SetColor(graphics::clGray);
  SetBounds(0, 0, 636, 679);

  Panel1 = new ui::TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetColor(graphics::clSilver);
  Panel1->SetParent(this);

  PRPage1 = new report::TPRPage(this);
  PRPage1->SetName("PRPage1");
  PRPage1->SetLeft(32);
  PRPage1->SetTop(32);
  PRPage1->SetParent(Panel1);

  PRLayoutPanel1 = new report::TPRLayoutPanel(this);
  PRLayoutPanel1->SetName("PRLayoutPanel1");
  PRLayoutPanel1->SetParent(PRPage1);

  auto image = [this](const char* name) {
    auto* i = new ui::TImage(this);
    i->SetName(name);
    i->SetBounds(0, 0, 17, 17);
    i->SetVisible(false);
    i->SetParent(PRLayoutPanel1);
    return i;
  };
  Image2 = image("Image2");
  Image3 = image("Image3");
  Image4 = image("Image4");
  Image5 = image("Image5");
  Image16 = image("Image16");
  Image17 = image("Image17");
  Image18 = image("Image18");
  Image19 = image("Image19");
  // The handles: a framed square; the markers: thin lines in one colour, stretched to their length.
  graphics::Bitmap handle(17, 17, graphics::PixelFormat::pf24bit);
  handle.FillRect(0, 0, 17, 17, graphics::RGB(0, 90, 200));
  handle.FillRect(2, 2, 15, 15, graphics::RGB(235, 242, 255));
  const graphics::Picture handlePicture = graphics::Picture::FromBitmap(handle);
  for (ui::TImage* h : {Image2, Image3, Image4, Image5}) h->SetPicture(handlePicture);
  graphics::Bitmap line(1, 1, graphics::PixelFormat::pf24bit);
  line.SetPixel(0, 0, graphics::RGB(220, 30, 30));
  const graphics::Picture markerPicture = graphics::Picture::FromBitmap(line);
  for (ui::TImage* m : {Image16, Image17, Image18, Image19}) {
    m->SetPicture(markerPicture);
    m->SetStretch(true);
  }
  mouseEditing_.AttachHandles();

  Panel2 = new ui::TPanel(this);
  Panel2->SetName("Panel2");
  Panel2->SetVisible(false);
  Panel2->SetParent(this);
  auto label = [this](const char* name) {
    auto* l = new ui::TLabel(this);
    l->SetName(name);
    l->SetParent(Panel2);
    return l;
  };
  Label3 = label("Label3");
  Label7 = label("Label7");
  Label10 = label("Label10");

  PReport1 = new report::TPReport(this);
  PReport1->SetName("PReport1");
  PReport1->SetFileName("default.pdf");
  PReport1->SetUseOutlines(false);
  // Every PDF the designer makes carries this creation date.
  PReport1->SetCreationDate(37776.56454474537);
}

TForm2::~TForm2() = default;

void TForm2::ShowMessage(std::string_view text) {
  if (ui::Platform* platform = GetPlatform()) platform->ShowMessage(text);
}

report::TPRJpegImage* TForm2::Background() const {
  if (documentId_.empty()) return nullptr;
  return dynamic_cast<report::TPRJpegImage*>(FindComponent(documentId_));
}

std::vector<PageElement> TForm2::Elements() const {
  std::vector<PageElement> elements;
  const report::TPRJpegImage* background = Background();
  for (ui::Control* child : PRLayoutPanel1->Controls()) {
    auto* item = dynamic_cast<TPRItem*>(child);
    if (item == nullptr || item == background) continue;
    const auto kind = ElementKindOfName(item->Name());
    if (!kind) continue;
    int number = 0;
    const std::string stem = std::string(ElementPrefix(*kind)) + documentId_;
    const std::string& name = item->Name();
    if (name.size() > stem.size() && name.compare(0, stem.size(), stem) == 0) {
      const std::string digits = name.substr(stem.size());
      if (digits.size() <= 9 &&
          std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        number = std::stoi(digits);
      }
    }
    elements.push_back({item, *kind, number});
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

report::TPRItem* TForm2::FindElement(std::string_view name) const {
  return dynamic_cast<TPRItem*>(FindComponent(name));
}

int TForm2::CheckCompCount() const {
  const std::vector<PageElement> elements = Elements();
  for (int n = 2;; ++n) {
    const bool used = std::any_of(elements.begin(), elements.end(),
                                  [n](const PageElement& e) { return e.number == n; });
    if (!used) return n;
  }
}

std::string TForm2::ElementName(ElementKind kind, int number) const {
  return std::string(ElementPrefix(kind)) + documentId_ + std::to_string(number);
}

TPRItem& TForm2::CreateElement(ElementKind kind) {
  const int number = CheckCompCount();
  TPRItem* item = nullptr;
  switch (kind) {
    case ElementKind::Rect:
      item = new report::TPRRect(this);
      break;
    case ElementKind::Label:
      item = new report::TPRLabel(this);
      break;
    case ElementKind::Text:
      item = new report::TPRText(this);
      break;
    case ElementKind::Jpeg:
      item = new report::TPRJpegImage(this);
      break;
    case ElementKind::Bitmap:
      item = new report::TPRImage(this);
      break;
  }
  item->SetName(ElementName(kind, number));
  AttachElementHandlers(*item);
  item->SetParent(PRLayoutPanel1);
  return *item;
}

void TForm2::ArmCreation(std::string_view mode) {
  state_.createMode = std::string(mode);
  if (ui::Platform* platform = GetPlatform()) platform->SetScreenCursor(ui::crUpArrow);
}

void TForm2::CreateArmedElement() {
  ui::Platform* platform = GetPlatform();
  if (platform == nullptr || platform->ScreenCursor() != ui::crUpArrow) return;
  const std::string& mode = state_.createMode;
  if (mode == "label") {
    auto& label = static_cast<report::TPRLabel&>(CreateElement(ElementKind::Label));
    label.SetBounds(LastPagePointX, LastPagePointY, 100, 17);
    label.SetCaption("Text Label");
  } else if (mode == "memo") {
    auto& text = static_cast<report::TPRText&>(CreateElement(ElementKind::Text));
    text.SetBounds(LastPagePointX, LastPagePointY, 200, 100);
    text.SetText("Text Feld:\rDoppelklick für Eigenschaften..");
  } else if (mode == "Rect") {
    auto& rect = static_cast<report::TPRRect&>(CreateElement(ElementKind::Rect));
    rect.SetBounds(LastPagePointX, LastPagePointY, 100, 50);
    rect.SetLineColor(graphics::clBlack);
    rect.SetFillColor(graphics::clRed);
  }
  ShowHandlesOnTop();
  platform->SetScreenCursor(ui::crDefault);
}

bool TForm2::InsertPicture(const std::filesystem::path& file) {
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
        const graphics::Picture picture = graphics::Picture::FromJpegBytes(std::move(bytes));
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
  const int pageWidth = PRLayoutPanel1->Width();
  const int pageHeight = PRLayoutPanel1->Height();
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
  return true;
}

void TForm2::BringElementToFront(std::string_view name) {
  TPRItem* chosen = FindElement(name);
  if (chosen == nullptr) return;
  chosen->BringToFront();
  const std::vector<PageElement> elements = Elements();
  const auto top = std::max_element(
      elements.begin(), elements.end(),
      [](const PageElement& a, const PageElement& b) { return a.number < b.number; });
  const auto self = std::find_if(elements.begin(), elements.end(),
                                 [chosen](const PageElement& e) { return e.item == chosen; });
  if (top == elements.end() || self == elements.end() || top->item == chosen || top->number == 0 ||
      self->number == 0) {
    ShowHandlesOnTop();
    return;
  }
  // Swap the numbers, each keeping its own kind prefix.
  const std::string topName = ElementName(top->kind, self->number);
  const std::string chosenName = ElementName(self->kind, top->number);
  top->item->SetName("a");
  chosen->SetName("b");
  top->item->SetName(topName);
  chosen->SetName(chosenName);
  ShowHandlesOnTop();
}

bool TForm2::DeleteElement(std::string_view name) {
  TPRItem* item = FindElement(name);
  if (item == nullptr || item == Background()) return false;
  delete item;
  for (ui::TImage* handle : {Image2, Image3, Image4, Image5}) handle->SetVisible(false);
  return true;
}

namespace {

// The element a popup command acts on; empty when the command does not apply.
std::string PopupTarget(const TForm2& window, TForm2::Popup popup) {
  const std::string& pressed = window.PressedElementName;
  switch (popup) {
    case TForm2::Popup::Label:
      return dynamic_cast<report::TPRLabel*>(window.FindElement(pressed)) ? pressed : std::string();
    case TForm2::Popup::Text:
      return dynamic_cast<report::TPRText*>(window.FindElement(pressed)) ? pressed : std::string();
    case TForm2::Popup::Rect:
      return pressed;
    case TForm2::Popup::Image:
      return window.ImageMenuElementName;
  }
  return {};
}

}  // namespace

void TForm2::PopupDeleteClick(Popup popup) {
  const std::string target = PopupTarget(*this, popup);
  if (!target.empty()) DeleteElement(target);
}

void TForm2::PopupBringToFrontClick(Popup popup) {
  const std::string target = popup == Popup::Image ? ImageMenuElementName : PressedElementName;
  if (!target.empty()) BringElementToFront(target);
}

void TForm2::PopupPropertiesClick(Popup popup) {
  if (popup == Popup::Image || PopupTarget(*this, popup).empty()) return;
  if (OnProperties) OnProperties(popup);
}

void TForm2::RemoveKXPage() {
  for (const PageElement& e : Elements()) delete e.item;
  delete Background();
}

void TForm2::AttachElementHandlers(report::TPRItem& item) { mouseEditing_.AttachElement(item); }

void TForm2::ResetImages(std::string_view name) {
  TPRItem* item = FindElement(name);
  if (item == nullptr) return;
  const int l = item->Left(), t = item->Top(), w = item->Width(), h = item->Height();
  Image2->SetBounds(l + w - 3, t + h - 3, Image2->Width(), Image2->Height());
  Image3->SetBounds(l + w - 3, t - 8, Image3->Width(), Image3->Height());
  Image4->SetBounds(l - 8, t - 8, Image4->Width(), Image4->Height());
  Image5->SetBounds(l - 8, t + h - 3, Image5->Width(), Image5->Height());
  for (ui::TImage* handle : {Image2, Image3, Image4, Image5}) handle->BringToFront();
}

void TForm2::ShowHandlesOnTop() {
  for (ui::TImage* image : {Image2, Image3, Image4, Image5, Image16, Image17, Image18, Image19}) {
    image->BringToFront();
  }
}

int TForm2::Nutzen() {
  const int copies = designer::Nutzen(state_.formatWidthText, state_.formatHeightText);
  Label7->SetCaption(std::to_string(copies));
  return copies;
}

void TForm2::SinglePageAsPdf(const std::string& fileName) {
  PReport1->SetAuthor(kProgramText);
  PReport1->SetFileName(fileName.find(".pdf") == std::string::npos ? fileName + ".pdf" : fileName);
  PReport1->BeginDoc();
  PReport1->Print(*PRPage1);
  PReport1->EndDoc();
}

void TForm2::ApplyPageSize() {
  const int width = WidthPixels(state_.formatWidthText).value_or(0);
  const int height = HeightPixels(state_.formatHeightText).value_or(0);
  PRPage1->SetBounds(32, 32, width, height);
  PRLayoutPanel1->SetBounds(0, 0, width, height);
  Panel1->SetBounds(Panel1->Left(), Panel1->Top(), width + 80, height + 80);
  Panel2->SetLeft(width + 75);
  SetCaption(state_.DocumentCaption());
}

void TForm2::AttachBackgroundHandlers(report::TPRJpegImage& background) {
  background.OnMouseDown = [this](ui::Control&, ui::TMouseButton, ui::TShiftState, int x, int y) {
    LastPagePointX = x;
    LastPagePointY = y;
    CreateArmedElement();
  };
  background.OnMouseMove = [this](ui::Control&, ui::TShiftState, int x, int y) {
    LastPagePointX = x;
    LastPagePointY = y;
  };
  background.OnClick = [this](ui::Control&) {
    for (ui::TImage* image : {Image2, Image3, Image4, Image5, Image16, Image17, Image18, Image19}) {
      image->SetVisible(false);
    }
  };
}

void TForm2::InitDocument() {
  PressedElementName.clear();
  SelectedElementName.clear();
  ApplyPageSize();
  auto* background = new report::TPRJpegImage(this);
  background->SetName(documentId_);
  background->SetBounds(0, 0, PRLayoutPanel1->Width(), PRLayoutPanel1->Height());
  background->SetPrintable(true);
  background->SetSharedImage(true);
  background->SetStretch(true);
  AttachBackgroundHandlers(*background);
  background->SetParent(PRLayoutPanel1);
  background->SendToBack();
  ShowHandlesOnTop();
  SetMaximized(true);
  state_.info.title.clear();
  state_.info.subject.clear();
  state_.info.keywords.clear();
  state_.info.creator = kProgramText;
  inks_.Clear();
  Nutzen();
}

std::filesystem::path TForm2::ScratchBackgroundFile() const {
  if (state_.programFolder.empty()) return {};
  return std::filesystem::path(state_.programFolder) / kBackgroundScratch;
}

void TForm2::SetBackgroundPicture(const graphics::Picture& jpeg) {
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
          graphics::JpegScaleDenomFor(j->Info(), PRLayoutPanel1->Width(), PRLayoutPanel1->Height());
      const graphics::Bitmap pixels = j->Decode(scale);
      if (!pixels.Empty()) gifReplaceColour_ = pixels.Pixel(0, 0);
    }
  } catch (const graphics::ImageError&) {
    // A picture too large to decode keeps white as its colour.
  }
}

void TForm2::SetDocBackground(graphics::TColor color) {
  graphics::Bitmap bitmap(100, 100, graphics::PixelFormat::pf24bit);
  bitmap.FillRect(0, 0, 100, 100, graphics::ResolveSystemColor(color));
  SetBackgroundPicture(graphics::Picture::FromJpegBytes(graphics::EncodeJpeg(bitmap)));
}

bool TForm2::SetDocBackgroundPicture(const std::filesystem::path& file) {
  try {
    std::string bytes = ReadFile(file, graphics::Picture::kMaxFileBytes);
    switch (FormatOf(bytes)) {
      case PictureFormat::Jpeg:
        SetBackgroundPicture(graphics::Picture::FromJpegBytes(std::move(bytes)));
        return true;
      case PictureFormat::Bmp:
        SetBackgroundPicture(
            graphics::Picture::FromJpegBytes(graphics::EncodeJpeg(graphics::ReadBmp(bytes), 100)));
        return true;
      case PictureFormat::Gif:
        SetBackgroundPicture(graphics::Picture::FromJpegBytes(
            graphics::EncodeJpeg(graphics::ReadGif(bytes).bitmap, 100)));
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

int TForm2::CMYKCheckNow() {
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

void TForm2::BitBtn6Click() {
  ShowMessage("Das Dokument ist " + std::to_string(CMYKCheckNow()) + " farbig");
}

}  // namespace quirabel::designer
