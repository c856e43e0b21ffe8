#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "designer/guide_panel.h"
#include "designer/projectfile/guide_line_string.h"
#include "report/pr_images.h"
#include "ui/controls.h"

namespace quirabel::designer {

class PageModel;
using projectfile::GuideKind;

// A text label turned by a quarter: 90 degrees reads upwards, 270 downwards.
class RotatedLabel : public ui::TLabel {
 public:
  using ui::TLabel::TLabel;
  std::string ClassName() const override { return "RotatedLabel"; }
  int Angle() const { return angle_; }
  void SetAngle(int degrees) { angle_ = degrees; }
  void Paint(ui::Canvas& canvas) override;

 private:
  int angle_ = 0;
};

// What a guide line of the page is, for people and for the batch tool: its kind, number,
// position along its direction of travel in pixels and in millimetres from the page's edge, as
// the page on screen shows it (mirrored on the back side).
struct GuideLineInfo {
  GuideKind kind;
  int number;
  int position;        // Left of a vertical line, Top of a horizontal one
  double millimetres;  // position / pixels per millimetre
};

// The guide lines of an orderable document on a page: the dashed cut lines 3 mm
// inside the page edges, the crop marks, and the fold and perforation lines with their drag
// handles and distance labels. Lines lie on the page; handles and labels on the grey frame
// around it. A page builds each line once and reads and writes them through the page text.
class GuideLines final : public GuideSwitches {
 public:
  explicit GuideLines(PageModel& page);
  GuideLines(const GuideLines&) = delete;
  GuideLines& operator=(const GuideLines&) = delete;

  // Why a drag on a sample template is refused (a UserError).
  static constexpr const char* kFoldRefused =
      "Mustervorlagen lassen keine Änderungen an Pfalz oder Perforationslinien zu!";
  static constexpr const char* kPerforationRefused =
      "Mustervorlagen lassen keine Änderung von Pfalz oder Perforationslinien zu!";

  // Everything a page shows: the cut lines, then for an orderable document the default labels
  // and the lines of the four counts. Lines that exist stay as they are.
  void Build();
  // Hides the crop marks; for an orderable document shows them and places the cut lines.
  void PlaceCutLines();
  // Distance label 0 of each kind, showing the whole trimmed size; nothing when they exist.
  void CreateDefaultLabels();
  // Creates lines 1 to count of a kind, evenly spread, with handles and labels.
  void CreateLines(GuideKind kind, int count);

  // Places lines, handles and labels from a page's guide-line string; a record for a line that
  // does not exist only places its label. The lines are then where page 1 has them.
  void Apply(const projectfile::GuideLineRecords& records);
  // The guide-line string of the lines as they stand.
  std::string Write() const;

  // The back side: vertical lines mirrored about the page's middle, handles and labels hidden.
  // Mirroring a side that is mirrored already changes nothing.
  void ShowBackSide();
  // The front side: vertical lines back where they were, handles and labels shown.
  void ShowFrontSide();
  bool Mirrored() const { return mirrored_; }
  // Left := page width - Left for every vertical line; twice gives the lines back.
  void MirrorVerticalLines();

  // Dragging a handle; x and y are in the handle's own pixels.
  void HandleMouseDown(ui::TImage& handle, int x, int y);
  void HandleMouseMove(ui::TImage& handle, int x, int y);
  void HandleMouseUp();
  bool Dragging() const { return draggingFold_ || draggingPerforation_; }

  // The panel of check boxes and buttons beside the page; shown for orderable documents.
  GuidePanel& Panel() const { return *panel_; }

  // The side panel's groups ("Pfalze" for folds, "Perforation" for perforations).
  void SetLinesVisible(bool fold, bool visible) override;
  void SetHandlesVisible(bool fold, bool visible) override;
  void SetLabelsVisible(bool fold, bool visible) override;
  void LinesToFront(bool fold) override;
  // Sends the lines of the group to the back and the page background behind them.
  void LinesToBack(bool fold) override;

  int Count(GuideKind kind) const { return counters_[Index(kind)]; }
  report::TPRImage* Line(GuideKind kind, int number) const;
  ui::TImage* Handle(GuideKind kind, int number) const;
  ui::TLabel* Label(GuideKind kind, int number) const;
  std::vector<GuideLineInfo> Lines() const;

  static std::string LineName(GuideKind kind, int number);
  static std::string HandleName(GuideKind kind, int number);
  static std::string LabelName(GuideKind kind, int number);

 private:
  static std::size_t Index(GuideKind kind) { return static_cast<std::size_t>(kind); }
  void MakePictures();
  int PageWidth() const;
  int PageHeight() const;
  ui::TLabel* MakeLabel(GuideKind kind, int number, const std::string& text);
  void CentreLabel(GuideKind kind, ui::TLabel& label, int start, int distance) const;
  void PlaceHandle(GuideKind kind, ui::TImage& handle, int linePosition) const;
  void UpdateLabelsAround(GuideKind kind, int number);
  void ShowMarkers(bool visible);
  void SetScreenCursor(ui::TCursor cursor);

  PageModel& page_;
  GuidePanel* panel_;  // owned by the page's owner
  // The cut lines on the page (top, bottom, left, right) and the crop marks on the frame around
  // it; made with the first Build.
  std::array<ui::TImage*, 4> cutLines_{};
  std::array<ui::TImage*, 5> cropMarks_{};
  std::array<std::uint8_t, 4> counters_{};
  // The pictures lines and handles show: vertical and horizontal, fold and perforation.
  std::array<graphics::Picture, 4> handlePictures_;
  bool mirrored_ = false;
  bool draggingFold_ = false;
  bool draggingPerforation_ = false;
  bool dragHorizontal_ = false;
  int pressX_ = 0;
  int pressY_ = 0;
};

}  // namespace quirabel::designer
