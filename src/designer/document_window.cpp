#include "designer/document_window.h"

#include <algorithm>

#include "base/atomic_file.h"
#include "base/clock.h"
#include "base/file_names.h"
#include "base/rounding.h"
#include "designer/page_format.h"
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
}  // namespace

DocumentWindow::DocumentWindow(ui::Component* owner, ProjectState& state)
    : ui::TForm(owner), state_(state), page_(*this, state) {
  SetName("Form2");
  SetCaption("Visitenkarte - Standart [85 x 49 mm]");
  SetColor(graphics::clGray);
  SetBounds(0, 0, 636, 679);

  pageFrame = &page_.Frame();
  pageFrame->SetParent(this);
  page_.OnElementPlaced = [this](TPRItem& element) { AttachElementHandlers(element); };
  page_.OnBackgroundPlaced = [this](report::TPRJpegImage& background) {
    AttachBackgroundHandlers(background);
  };
  page_.OnChanged = [this](std::string_view mergeKey) { Changed(mergeKey); };
  // The frame around the page: a click there lets go of the element, and no ruler marker stays
  // once the mouse has left the elements.
  pageFrame->OnClick = [this](ui::Control&) { LetGo(); };
  pageFrame->OnMouseMove = [this](ui::Control&, ui::TShiftState, int, int) {
    for (ui::TImage* marker : markers_) marker->SetVisible(false);
  };

  auto image = [this](const char* name) {
    auto* i = new ui::TImage(this);
    i->SetName(name);
    i->SetBounds(0, 0, 17, 17);
    i->SetVisible(false);
    i->SetParent(&page_.LayoutPanel());
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
  page_.Guides().Panel().checkInks->OnClick = [this](ui::Control&) {
    if (OnCheckInks) OnCheckInks();
  };
}

DocumentWindow::~DocumentWindow() = default;

void DocumentWindow::ArmCreation(std::string_view mode) {
  state_.createMode = std::string(mode);
  if (ui::Platform* platform = GetPlatform()) platform->SetScreenCursor(ui::crUpArrow);
}

void DocumentWindow::CreateArmedElement() {
  ui::Platform* platform = GetPlatform();
  if (platform == nullptr || platform->ScreenCursor() != ui::crUpArrow) return;
  const std::string& mode = state_.createMode;
  TPRItem* created = nullptr;
  for (const ElementClass* kind : ElementClasses()) {
    if (kind->Type().clickMode.empty() || kind->Type().clickMode != mode) continue;
    created = &page_.CreateElement(kind->Type().kind);
    kind->SetUpClicked(*created, LastPagePointX, LastPagePointY);
    break;
  }
  if (created != nullptr) page_.KeepInsideMargins(*created);
  ShowHandlesOnTop();
  platform->SetScreenCursor(ui::crDefault);
  Changed();
}

Notices DocumentWindow::InsertPicture(const std::filesystem::path& file) {
  report::TPRImage& image = page_.InsertPicture(file);
  Notices notices;

  // Fit to the page, width first, then height.
  const int pageWidth = page_.LayoutPanel().Width();
  const int pageHeight = page_.LayoutPanel().Height();
  if (image.Width() > pageWidth - 28 && image.Height() > 0) {
    notices.emplace_back(kTooLarge);
    const double ratio = static_cast<double>(image.Width()) / image.Height();
    const int width = (pageWidth / 100) * 50;
    image.SetBounds(20, 20, width, RoundHalfEven(width / ratio));
  }
  if (image.Height() > pageHeight - 28 && image.Width() > 0) {
    notices.emplace_back(kTooLarge);
    const double ratio = static_cast<double>(image.Height()) / image.Width();
    const int height = (pageHeight / 100) * 50;
    image.SetBounds(20, 20, RoundHalfEven(height / ratio), height);
  }
  page_.KeepInsideMargins(image);
  Changed();
  return notices;
}

void DocumentWindow::BringElementToFront(std::string_view name) {
  if (TPRItem* element = page_.FindElement(name)) BringElementToFront(*element);
}

void DocumentWindow::BringElementToFront(TPRItem& chosen) {
  page_.BringElementToFront(chosen);
  ShowHandlesOnTop();
  Changed();
}

bool DocumentWindow::DeleteElement(std::string_view name) {
  TPRItem* element = page_.FindElement(name);
  return element != nullptr && DeleteElement(*element);
}

bool DocumentWindow::DeleteElement(TPRItem& element) {
  if (!page_.DeleteElement(element)) return false;
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
  page_.ClearPage();
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

void DocumentWindow::ApplyPageSize() {
  page_.ApplyPageSize();
  sidePanel->SetLeft(page_.PagePanel().Width() + 75);
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

void DocumentWindow::ShowBuiltPage(bool maximise) {
  ApplyPageSize();
  // Orderable documents show their guide panel beside the page.
  if (state_.orderDocument) sidePanel->SetVisible(true);
  ShowHandlesOnTop();
  if (maximise) SetMaximized(true);
  CopiesPerA3Sheet();
}

void DocumentWindow::InitDocument() {
  selection_.Clear();
  page_.InitDocument();
  ShowBuiltPage(true);
}

namespace {

// One "Fehler" for each bitmap block of the page that could not be read.
Notices NoticesOf(const PageModel::Loaded& loaded) {
  Notices notices(static_cast<std::size_t>(std::max(loaded.skippedBitmapBlocks, 0)), "Fehler");
  if (!loaded.unmarkedElements.empty()) notices.push_back(loaded.unmarkedElements);
  return notices;
}

}  // namespace

Notices DocumentWindow::LoadPage(int page, bool maximise) {
  const PageModel::Loaded loaded = page_.LoadPage(page);
  LetGo();
  ShowBuiltPage(maximise);
  if (OnPageRebuilt) OnPageRebuilt();
  return NoticesOf(loaded);
}

Notices DocumentWindow::LoadPageText(const SharedBytes& pageText, int page, bool maximise) {
  const PageModel::Loaded loaded = page_.LoadPageText(pageText, page);
  LetGo();
  ShowBuiltPage(maximise);
  if (OnPageRebuilt) OnPageRebuilt();
  return NoticesOf(loaded);
}

void DocumentWindow::LoadBackgroundPicture(const std::filesystem::path& file) {
  page_.LoadBackgroundPicture(file);
}

std::string DocumentWindow::CheckInks() {
  ui::Platform* platform = GetPlatform();
  if (platform != nullptr) {
    platform->ProcessMessages();
    platform->SetScreenCursor(ui::crHourGlass);
  }
  const int inks = page_.CountInks();
  if (platform != nullptr) platform->SetScreenCursor(ui::crDefault);
  return "Das Dokument ist " + std::to_string(inks) + " farbig";
}

}  // namespace quirabel::designer
