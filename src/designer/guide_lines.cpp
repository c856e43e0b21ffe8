#include "designer/guide_lines.h"

#include <algorithm>

#include "base/rounding.h"
#include "base/user_error.h"
#include "designer/page_format.h"
#include "designer/page_model.h"
#include "graphics/bitmap.h"
#include "ui/platform.h"

namespace quirabel::designer {

namespace pf = projectfile;

namespace {

struct KindNames {
  const char* line;
  const char* handle;
  const char* label;
};
constexpr std::array<KindNames, 4> kNames = {{
    {"V_IMGLINE", "V_Caption", "V_AB"},
    {"H_IMGLINE", "H_Caption", "H_AB"},
    {"V_SIMGLINE", "V_SCaption", "V_SAB"},
    {"H_SIMGLINE", "H_SCaption", "H_SAB"},
}};

const KindNames& NamesOf(GuideKind kind) { return kNames[static_cast<std::size_t>(kind)]; }

// The component names of the crop marks around the page and of the cut lines on it (top, bottom,
// left, right), as the window always had them.
constexpr std::array<const char*, 5> kCropMarkNames = {"Image7", "Image9", "Image14", "Image15",
                                                       "Image20"};
constexpr std::array<const char*, 4> kCutLineNames = {"Image8", "Image13", "Image11", "Image12"};
// Crop marks: across at the left and right edge, along at the top and bottom edge, and an empty
// one the window always had.
enum CropMarkIndex { kMarkLeft, kMarkTop, kMarkRight, kMarkBottom, kMarkEmpty };
enum CutLineIndex { kCutTop, kCutBottom, kCutLeft, kCutRight };

constexpr int kHandleLong = 40;
constexpr int kHandleShort = 20;
constexpr int kLabelHeight = 13;
constexpr int kRotatedLabelHeight = 40;
constexpr const char* kHorizontalHint = "zum verschieben anclicken..";

const graphics::TColor kCutBlue = graphics::RGB(0, 0, 255);
const graphics::TColor kFoldColour = graphics::RGB(0, 150, 60);
const graphics::TColor kPerforationColour = graphics::RGB(220, 40, 40);

// A one-pixel line of dashes along its length: `on` pixels of the colour, `off` of white.
graphics::Picture DashedLine(int length, bool vertical, graphics::TColor colour, int on, int off) {
  length = std::max(length, 1);
  graphics::Bitmap bitmap(vertical ? 1 : length, vertical ? length : 1,
                          graphics::PixelFormat::pf24bit);
  for (int p = 0; p < length; ++p) {
    const graphics::TColor c = p % (on + off) < on ? colour : graphics::clWhite;
    if (vertical) {
      bitmap.SetPixel(0, p, c);
    } else {
      bitmap.SetPixel(p, 0, c);
    }
  }
  return graphics::Picture::FromBitmap(bitmap);
}

// A handle: a tab in the group's colour with a grip across the direction of the drag.
graphics::Picture HandlePicture(bool vertical, graphics::TColor colour) {
  const int w = vertical ? kHandleShort : kHandleLong;
  const int h = vertical ? kHandleLong : kHandleShort;
  graphics::Bitmap bitmap(w, h, graphics::PixelFormat::pf24bit);
  bitmap.FillRect(0, 0, w, h, colour);
  bitmap.FillRect(2, 2, w - 2, h - 2, graphics::RGB(245, 245, 245));
  if (vertical) {
    for (int y = 14; y <= 26; y += 4) bitmap.FillRect(5, y, w - 5, y + 2, colour);
  } else {
    for (int x = 14; x <= 26; x += 4) bitmap.FillRect(x, 5, x + 2, h - 5, colour);
  }
  return graphics::Picture::FromBitmap(bitmap);
}

// A crop mark: a thin line in the middle of a 30 x 10 picture, across or along.
graphics::Picture CropMark(bool vertical) {
  graphics::Bitmap bitmap(vertical ? 10 : 30, vertical ? 30 : 10, graphics::PixelFormat::pf24bit);
  bitmap.FillRect(0, 0, bitmap.Width(), bitmap.Height(), graphics::clSilver);
  if (vertical) {
    bitmap.FillRect(5, 0, 6, 30, graphics::clBlack);
  } else {
    bitmap.FillRect(0, 5, 30, 6, graphics::clBlack);
  }
  return graphics::Picture::FromBitmap(bitmap);
}

std::string Millimetres(int value) { return std::to_string(value) + "mm"; }

// Labels size themselves to their text in the small screen font: digits and signs about 6
// pixels wide, the "m" of "mm" about 9.
void AutoSize(ui::TLabel& label) {
  int width = 2;
  for (char c : label.Caption()) width += c == 'm' ? 9 : 6;
  label.SetBounds(label.Left(), label.Top(), width, kLabelHeight);
}

double PixelsPerMm(GuideKind kind) {
  return pf::IsVertical(kind) ? kPixelsPerMmAcross : kPixelsPerMmDown;
}

}  // namespace

void RotatedLabel::Paint(ui::Canvas& canvas) {
  if (angle_ == 0) return TLabel::Paint(canvas);
  canvas.font = Font();
  canvas.brush.style = ui::TBrushStyle::bsClear;
  // Upwards from the bottom-left corner, or downwards from the top-right one.
  if (angle_ == 90) {
    canvas.TextOutRotated(0, Height(), angle_, Caption());
  } else {
    canvas.TextOutRotated(Width(), 0, angle_, Caption());
  }
}

GuideLines::GuideLines(PageModel& page)
    : page_(page), panel_(new GuidePanel(&page.Owner(), *this)) {}

std::string GuideLines::LineName(GuideKind kind, int number) {
  return NamesOf(kind).line + std::to_string(number);
}
std::string GuideLines::HandleName(GuideKind kind, int number) {
  return NamesOf(kind).handle + std::to_string(number);
}
std::string GuideLines::LabelName(GuideKind kind, int number) {
  return NamesOf(kind).label + std::to_string(number);
}

report::TPRImage* GuideLines::Line(GuideKind kind, int number) const {
  return dynamic_cast<report::TPRImage*>(page_.Owner().FindComponent(LineName(kind, number)));
}
ui::TImage* GuideLines::Handle(GuideKind kind, int number) const {
  return dynamic_cast<ui::TImage*>(page_.Owner().FindComponent(HandleName(kind, number)));
}
ui::TLabel* GuideLines::Label(GuideKind kind, int number) const {
  return dynamic_cast<ui::TLabel*>(page_.Owner().FindComponent(LabelName(kind, number)));
}

int GuideLines::PageWidth() const { return page_.PagePanel().Width(); }
int GuideLines::PageHeight() const { return page_.PagePanel().Height(); }

void GuideLines::SetScreenCursor(ui::TCursor cursor) {
  if (ui::Platform* platform = page_.Owner().GetPlatform()) platform->SetScreenCursor(cursor);
}

void GuideLines::MakePictures() {
  if (cutLines_[kCutTop] != nullptr) return;
  auto make = [this](const char* name, ui::Control* parent) {
    auto* image = new ui::TImage(&page_.Owner());
    image->SetName(name);
    image->SetVisible(false);
    image->SetStretch(true);
    image->SetParent(parent);
    return image;
  };
  for (std::size_t i = 0; i < cutLines_.size(); ++i)
    cutLines_[i] = make(kCutLineNames[i], &page_.LayoutPanel());
  for (std::size_t i = 0; i < cropMarks_.size(); ++i)
    cropMarks_[i] = make(kCropMarkNames[i], &page_.Frame());
  for (int i : {kMarkLeft, kMarkTop, kMarkRight, kMarkBottom}) {
    const bool vertical = i == kMarkTop || i == kMarkBottom;
    ui::TImage* mark = cropMarks_[static_cast<std::size_t>(i)];
    mark->SetPicture(CropMark(vertical));
    mark->SetBounds(0, 0, vertical ? 10 : 30, vertical ? 30 : 10);
  }
  cropMarks_[kMarkEmpty]->SetBounds(0, 0, 0, 0);
  for (GuideKind kind : pf::kGuideKinds) {
    handlePictures_[Index(kind)] =
        HandlePicture(pf::IsVertical(kind), pf::IsFold(kind) ? kFoldColour : kPerforationColour);
  }
}

void GuideLines::PlaceCutLines() {
  MakePictures();
  for (ui::TImage* mark : cropMarks_) mark->SetVisible(false);
  const bool orderable = page_.State().orderDocument;
  for (ui::TImage* line : cutLines_) line->SetVisible(orderable);
  if (!orderable) return;
  for (ui::TImage* mark : cropMarks_) mark->SetVisible(true);
  const int w = PageWidth(), h = PageHeight();
  // 3 mm: R(8.511) and R(8.514), both 9 pixels.
  const int insetV = RoundHalfUp(3 * kPixelsPerMmDown);
  const int insetH = RoundHalfUp(3 * kPixelsPerMmAcross);
  cropMarks_[kMarkLeft]->SetTop(insetV + 27);
  cropMarks_[kMarkRight]->SetBounds(w + 35, insetV + h + 9, 30, 10);
  cropMarks_[kMarkTop]->SetLeft(insetH + 27);
  cropMarks_[kMarkBottom]->SetBounds(w + 18, insetV + h + 25, 10, 30);

  auto cut = [](ui::TImage* image, int left, int top, int width, int height) {
    image->SetBounds(left, top, width, height);
    image->SetPicture(DashedLine(std::max(width, height), height > width, kCutBlue, 5, 5));
    image->BringToFront();
  };
  cut(cutLines_[kCutTop], 1, insetV, w, 1);
  cut(cutLines_[kCutLeft], insetH, 1, 1, h);
  cut(cutLines_[kCutRight], w - insetH, 1, 1, h);
  cut(cutLines_[kCutBottom], 1, h - insetV, w, 1);
}

ui::TLabel* GuideLines::MakeLabel(GuideKind kind, int number, const std::string& text) {
  ui::TLabel* label = nullptr;
  const int w = PageWidth(), h = PageHeight();
  if (pf::IsVertical(kind)) {
    label = new ui::TLabel(&page_.Owner());
    label->SetCaption(text);
    label->SetBounds(w / 2, kind == GuideKind::VerticalFold ? 10 : h + 40, 0, 0);
    AutoSize(*label);
  } else {
    auto* rotated = new RotatedLabel(&page_.Owner());
    const bool fold = kind == GuideKind::HorizontalFold;
    rotated->SetAngle(fold ? 90 : 270);
    rotated->SetCaption(text);
    ui::TFont font = rotated->Font();
    font.size = 8;
    font.color = graphics::clBlack;
    rotated->SetFont(font);
    rotated->SetBounds(fold ? 5 : w + 40, h / 2, fold ? 10 : 20, kRotatedLabelHeight);
    label = rotated;
  }
  label->SetName(LabelName(kind, number));
  label->SetParent(&page_.Frame());
  return label;
}

void GuideLines::CreateDefaultLabels() {
  if (Label(GuideKind::VerticalFold, 0) != nullptr) return;
  const int w = PageWidth(), h = PageHeight();
  // The trimmed size: the 6 mm of bleed are 17.028 pixels across and 17.022 down.
  const std::string across = Millimetres(RoundHalfUp((w - 17.028) / kPixelsPerMmAcross));
  const std::string down = Millimetres(RoundHalfUp((h - 17.022) / kPixelsPerMmDown));
  for (GuideKind kind : pf::kGuideKinds) {
    counters_[Index(kind)] = 0;
    MakeLabel(kind, 0, pf::IsVertical(kind) ? across : down);
  }
  if (cropMarks_[kMarkEmpty] != nullptr) cropMarks_[kMarkEmpty]->SetBounds(1, 1, 0, 0);
}

void GuideLines::CentreLabel(GuideKind kind, ui::TLabel& label, int start, int distance) const {
  const bool vertical = pf::IsVertical(kind);
  const int offset = vertical ? page_.PagePanel().Left() : page_.PagePanel().Top();
  const int extent = vertical ? label.Width() : label.Height();
  const int position = RoundHalfEven(distance / 2.0) + start + offset - RoundHalfEven(extent / 2.0);
  if (vertical) {
    label.SetLeft(position);
  } else {
    label.SetTop(position);
  }
}

void GuideLines::PlaceHandle(GuideKind kind, ui::TImage& handle, int pos) const {
  const int w = PageWidth(), h = PageHeight();
  switch (kind) {
    case GuideKind::VerticalFold:
      handle.SetBounds(pos + 30, 1, kHandleShort, kHandleLong);
      break;
    case GuideKind::HorizontalFold:
      handle.SetBounds(1, pos + 30, kHandleLong, kHandleShort);
      break;
    case GuideKind::VerticalPerforation:
      handle.SetBounds(pos + 30, h + 30, kHandleShort, kHandleLong);
      break;
    case GuideKind::HorizontalPerforation:
      handle.SetBounds(w + 30, pos + 30, kHandleLong, kHandleShort);
      break;
  }
}

void GuideLines::CreateLines(GuideKind kind, int count) {
  if (count <= 0) return;
  MakePictures();
  const bool vertical = pf::IsVertical(kind);
  const int w = PageWidth(), h = PageHeight();
  const int size = vertical ? w : h;
  const double f = PixelsPerMm(kind);
  const int q = RoundHalfEven(static_cast<double>(size) / (count + 1));
  const int b = RoundHalfEven(6.0 / (count + 1));
  const std::string text = Millimetres(RoundHalfUp(q / f - b));
  const bool fold = pf::IsFold(kind);
  const graphics::TColor colour = fold ? kFoldColour : kPerforationColour;
  for (int i = 1; i <= count; ++i) {
    if (report::TPRImage* line = Line(kind, i)) {
      line->BringToFront();
      continue;
    }
    if (ui::TLabel* before = Label(kind, i - 1)) {
      before->SetCaption(text);
      if (vertical) AutoSize(*before);
      CentreLabel(kind, *before, (i - 1) * q, q);
    }
    auto* handle = new ui::TImage(&page_.Owner());
    handle->SetName(HandleName(kind, i));
    handle->SetPicture(handlePictures_[Index(kind)]);
    if (!vertical) handle->SetHint(kHorizontalHint);
    PlaceHandle(kind, *handle, i * q);
    handle->OnMouseDown = [this](ui::Control& sender, ui::TMouseButton, ui::TShiftState, int x,
                                 int y) {
      HandleMouseDown(static_cast<ui::TImage&>(sender), x, y);
    };
    handle->OnMouseMove = [this](ui::Control& sender, ui::TShiftState, int x, int y) {
      HandleMouseMove(static_cast<ui::TImage&>(sender), x, y);
    };
    handle->OnMouseUp = [this](ui::Control&, ui::TMouseButton, ui::TShiftState, int, int) {
      HandleMouseUp();
    };
    handle->SetParent(&page_.Frame());

    const int number = ++counters_[Index(kind)];
    ui::TLabel* after = MakeLabel(kind, number, text);
    CentreLabel(kind, *after, i * q, q);

    auto* line = new report::TPRImage(&page_.Owner());
    line->SetName(LineName(kind, i));
    line->SetStretch(true);
    line->SetPicture(DashedLine(vertical ? h : w, vertical, colour, fold ? 6 : 3, fold ? 4 : 3));
    // Fold lines show where the sheet is folded; perforations are printed.
    line->SetPrintable(!fold);
    if (vertical) {
      line->SetBounds(i * q, 1, 1, h);
    } else {
      line->SetBounds(1, i * q, w, 1);
    }
    line->SetParent(&page_.LayoutPanel());
    line->BringToFront();
  }
}

void GuideLines::Build() {
  PlaceCutLines();
  const ProjectState& state = page_.State();
  if (!state.orderDocument) {
    panel_->Hide();
    return;
  }
  if (!panel_->Showing()) panel_->Show();
  CreateDefaultLabels();
  CreateLines(GuideKind::VerticalFold, state.verticalFolds);
  CreateLines(GuideKind::HorizontalFold, state.horizontalFolds);
  CreateLines(GuideKind::VerticalPerforation, state.verticalPerforations);
  CreateLines(GuideKind::HorizontalPerforation, state.horizontalPerforations);
}

void GuideLines::Apply(const pf::GuideLineRecords& records) {
  for (GuideKind kind : pf::kGuideKinds) {
    const int count = Count(kind);
    const std::vector<pf::GuideRecord>& list = records.Of(kind);
    for (std::size_t k = 0; k < list.size(); ++k) {
      const pf::GuideRecord& r = list[k];
      const int number = static_cast<int>(k) + 1;
      if (number <= count) {
        if (report::TPRImage* line = Line(kind, number)) {
          line->SetBounds(r.lineLeft, r.lineTop, line->Width(), line->Height());
          if (ui::TImage* handle = Handle(kind, number))
            PlaceHandle(kind, *handle, pf::IsVertical(kind) ? r.lineLeft : r.lineTop);
        }
      }
      if (ui::TLabel* label = Label(kind, static_cast<int>(k))) {
        label->SetCaption(r.distance + "mm");
        if (pf::IsVertical(kind)) AutoSize(*label);
        label->SetBounds(r.labelLeft, r.labelTop, label->Width(), label->Height());
      }
    }
  }
  mirrored_ = false;
}

std::string GuideLines::Write() const {
  std::string out;
  const int w = PageWidth();
  for (GuideKind kind : pf::kGuideKinds) {
    const int count = Count(kind);
    auto labelRecord = [this, kind](int number, pf::GuideRecord& r) {
      if (const ui::TLabel* label = Label(kind, number)) {
        const std::string& caption = label->Caption();
        r.distance = caption.substr(0, caption.find("mm"));
        r.labelTop = label->Top();
        r.labelLeft = label->Left();
      }
    };
    for (int i = 1; i <= count; ++i) {
      const report::TPRImage* line = Line(kind, i);
      if (line == nullptr) continue;
      pf::GuideRecord record;
      record.lineTop = line->Top();
      // Stored as on the front side, whichever side is shown.
      record.lineLeft = mirrored_ && pf::IsVertical(kind) ? w - line->Left() : line->Left();
      labelRecord(i - 1, record);
      out += pf::WriteGuideRecord(kind, record);
      if (i == count) {
        pf::GuideRecord last;
        labelRecord(count, last);
        out += pf::WriteGuideRecord(kind, last);
      }
    }
  }
  return out;
}

void GuideLines::MirrorVerticalLines() {
  const int w = PageWidth();
  for (GuideKind kind : {GuideKind::VerticalFold, GuideKind::VerticalPerforation}) {
    for (int i = 1; i <= Count(kind); ++i) {
      if (report::TPRImage* line = Line(kind, i)) line->SetLeft(w - line->Left());
    }
  }
}

void GuideLines::ShowMarkers(bool visible) {
  for (GuideKind kind : pf::kGuideKinds) {
    for (int i = 0; i <= Count(kind); ++i) {
      if (i > 0) {
        if (ui::TImage* handle = Handle(kind, i)) handle->SetVisible(visible);
      }
      if (ui::TLabel* label = Label(kind, i)) label->SetVisible(visible);
    }
  }
}

void GuideLines::ShowBackSide() {
  if (!mirrored_) {
    MirrorVerticalLines();
    mirrored_ = true;
  }
  ShowMarkers(false);
}

void GuideLines::ShowFrontSide() {
  if (mirrored_) {
    MirrorVerticalLines();
    mirrored_ = false;
  }
  ShowMarkers(true);
}

namespace {

// The kind a handle belongs to, from its name.
std::optional<GuideKind> KindOfHandle(const std::string& name, int* number) {
  for (GuideKind kind : pf::kGuideKinds) {
    const std::string_view prefix = NamesOf(kind).handle;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    // Up to three digits follow the prefix.
    const std::string digits = name.substr(prefix.size(), 3);
    int value = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
    }
    *number = value;
    return kind;
  }
  return std::nullopt;
}

}  // namespace

void GuideLines::HandleMouseDown(ui::TImage& handle, int x, int y) {
  int number = 0;
  const std::optional<GuideKind> kind = KindOfHandle(handle.Name(), &number);
  if (!kind) return;
  const bool fold = pf::IsFold(*kind);
  // The press is refused; the boundary of the person's action tells why.
  if (page_.State().sampleTemplateDocument)
    throw UserError(fold ? kFoldRefused : kPerforationRefused);
  (fold ? draggingFold_ : draggingPerforation_) = true;
  pressX_ = x;
  pressY_ = y;
  dragHorizontal_ = handle.Name().find("H_") != std::string::npos;
  SetScreenCursor(ui::crHand);
}

void GuideLines::HandleMouseMove(ui::TImage& handle, int x, int y) {
  int number = 0;
  const std::optional<GuideKind> kind = KindOfHandle(handle.Name(), &number);
  if (!kind) return;
  const bool dragging = pf::IsFold(*kind) ? draggingFold_ : draggingPerforation_;
  if (!dragging) {
    SetScreenCursor(ui::crHandPoint);
    return;
  }
  report::TPRImage* line = Line(*kind, number);
  if (line == nullptr) return;
  const ui::Control& frame = *&page_.Frame();
  int delta = 0;
  if (dragHorizontal_) {
    delta = y - pressY_ - 2;
    // The handle stays on the frame, where it can be caught again.
    delta = std::clamp(handle.Top() + delta, 0, std::max(0, frame.Height() - handle.Height())) -
            handle.Top();
    line->SetTop(line->Top() + delta);
    handle.SetTop(handle.Top() + delta);
  } else {
    delta = x - pressX_ - 2;
    delta = std::clamp(handle.Left() + delta, 0, std::max(0, frame.Width() - handle.Width())) -
            handle.Left();
    line->SetLeft(line->Left() + delta);
    handle.SetLeft(handle.Left() + delta);
  }
  UpdateLabelsAround(*kind, number);
}

void GuideLines::UpdateLabelsAround(GuideKind kind, int number) {
  const bool vertical = pf::IsVertical(kind);
  const auto position = [vertical](const ui::Control& c) { return vertical ? c.Left() : c.Top(); };
  const int count = Count(kind);
  const int size = vertical ? PageWidth() : PageHeight();
  const report::TPRImage* line = Line(kind, number);
  if (line == nullptr) return;
  const int cur = position(*line);
  int prev = 0;
  if (number > 1) {
    if (const report::TPRImage* before = Line(kind, number - 1)) prev = position(*before);
  }
  int next = size;
  if (number < count) {
    if (const report::TPRImage* after = Line(kind, number + 1)) next = position(*after);
  }
  const double f = PixelsPerMm(kind);
  const int b = RoundHalfEven(6.0 / (count + 1));
  auto update = [&](int labelNumber, int start, int distance) {
    ui::TLabel* label = Label(kind, labelNumber);
    if (label == nullptr) return;
    label->SetCaption(Millimetres(RoundHalfEven(distance / f - b)));
    if (vertical) AutoSize(*label);
    CentreLabel(kind, *label, start, distance);
  };
  update(number - 1, prev, cur - prev);
  update(number, cur, next - cur);
}

void GuideLines::HandleMouseUp() {
  const bool dragged = draggingFold_ || draggingPerforation_;
  draggingFold_ = draggingPerforation_ = false;
  SetScreenCursor(ui::crDefault);
  if (dragged) page_.Changed();
}

namespace {
std::array<GuideKind, 2> Group(bool fold) {
  if (fold) return {GuideKind::VerticalFold, GuideKind::HorizontalFold};
  return {GuideKind::VerticalPerforation, GuideKind::HorizontalPerforation};
}
}  // namespace

void GuideLines::SetLinesVisible(bool fold, bool visible) {
  for (GuideKind kind : Group(fold))
    for (int i = 1; i <= Count(kind); ++i)
      if (report::TPRImage* line = Line(kind, i)) line->SetVisible(visible);
}

void GuideLines::SetHandlesVisible(bool fold, bool visible) {
  for (GuideKind kind : Group(fold))
    for (int i = 1; i <= Count(kind); ++i)
      if (ui::TImage* handle = Handle(kind, i)) handle->SetVisible(visible);
}

void GuideLines::SetLabelsVisible(bool fold, bool visible) {
  for (GuideKind kind : Group(fold))
    for (int i = 0; i <= Count(kind); ++i)
      if (ui::TLabel* label = Label(kind, i)) label->SetVisible(visible);
}

void GuideLines::LinesToFront(bool fold) {
  for (GuideKind kind : Group(fold))
    for (int i = 1; i <= Count(kind); ++i)
      if (report::TPRImage* line = Line(kind, i)) line->BringToFront();
}

void GuideLines::LinesToBack(bool fold) {
  for (GuideKind kind : Group(fold))
    for (int i = 1; i <= Count(kind); ++i)
      if (report::TPRImage* line = Line(kind, i)) line->SendToBack();
  if (report::TPRJpegImage* background = page_.Background()) background->SendToBack();
}

std::vector<GuideLineInfo> GuideLines::Lines() const {
  std::vector<GuideLineInfo> lines;
  for (GuideKind kind : pf::kGuideKinds) {
    for (int i = 1; i <= Count(kind); ++i) {
      const report::TPRImage* line = Line(kind, i);
      if (line == nullptr) continue;
      const int position = pf::IsVertical(kind) ? line->Left() : line->Top();
      lines.push_back({kind, i, position, position / PixelsPerMm(kind)});
    }
  }
  return lines;
}

}  // namespace quirabel::designer
