#include "report/sheet_layout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace quirabel::report {

namespace {

constexpr double kSmallestSheet = 10.0;
constexpr double kLargestSheet = 2000.0;
// Lengths closer than this are the same (a thousandth of a millimetre).
constexpr double kTolerance = 0.001;

std::optional<double> Millimetres(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos) return {};
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return {};
  return value;
}

// How many lengths fit into room with gap between each two.
int FitCount(double room, double length, double gap) {
  if (length <= 0 || room + kTolerance < length) return 0;
  return static_cast<int>(std::floor((room - length + kTolerance) / (length + gap))) + 1;
}

struct Box {
  double left, top, right, bottom;
};

bool Touches(const Box& a, const CropMark& m) {
  const double left = std::min(m.x1, m.x2), right = std::max(m.x1, m.x2);
  const double top = std::min(m.y1, m.y2), bottom = std::max(m.y1, m.y2);
  return left <= a.right + kTolerance && right >= a.left - kTolerance &&
         top <= a.bottom + kTolerance && bottom >= a.top - kTolerance;
}

}  // namespace

std::optional<SheetSize> SheetSizeOfName(std::string_view name) {
  if (name == "A4") return SheetSize{210, 297};
  if (name == "A3") return SheetSize{297, 420};
  if (name == "SRA3") return SheetSize{320, 450};
  const std::size_t x = name.find('x');
  if (x == std::string_view::npos) return {};
  const auto width = Millimetres(name.substr(0, x));
  const auto height = Millimetres(name.substr(x + 1));
  if (!width || !height) return {};
  for (const double length : {*width, *height}) {
    if (length < kSmallestSheet || length > kLargestSheet) return {};
  }
  return SheetSize{*width, *height};
}

std::string MillimetreText(double mm) {
  std::string text = std::to_string(std::round(mm * 10) / 10);
  text.erase(text.find('.') + 2);
  if (text.ends_with(".0")) text.resize(text.size() - 2);
  return text;
}

std::string SizeText(double width, double height) {
  return MillimetreText(width) + " × " + MillimetreText(height) + " mm";
}

SheetLayout LayoutCards(SheetSize sheet, double cardWidth, double cardHeight, double gap) {
  const double roomAcross = sheet.width - 2 * kSheetMargin;
  const double roomDown = sheet.height - 2 * kSheetMargin;
  SheetLayout layout;
  layout.sheet = sheet;
  for (const bool turned : {false, true}) {
    const double w = turned ? cardHeight : cardWidth;
    const double h = turned ? cardWidth : cardHeight;
    const int columns = FitCount(roomAcross, w, gap);
    const int rows = FitCount(roomDown, h, gap);
    if (columns * rows > layout.columns * layout.rows) {
      layout.turned = turned;
      layout.cardWidth = w;
      layout.cardHeight = h;
      layout.columns = columns;
      layout.rows = rows;
    }
  }
  if (layout.columns * layout.rows == 0) {
    layout.cardWidth = cardWidth;
    layout.cardHeight = cardHeight;
    return layout;
  }
  const double blockWidth = layout.columns * layout.cardWidth + (layout.columns - 1) * gap;
  const double blockHeight = layout.rows * layout.cardHeight + (layout.rows - 1) * gap;
  const double left = (sheet.width - blockWidth) / 2;
  const double top = (sheet.height - blockHeight) / 2;
  for (int row = 0; row < layout.rows; ++row) {
    for (int column = 0; column < layout.columns; ++column) {
      layout.cards.push_back(
          {left + column * (layout.cardWidth + gap), top + row * (layout.cardHeight + gap)});
    }
  }
  return layout;
}

SheetLayout LayoutCardsInGrid(SheetSize sheet, double cardWidth, double cardHeight,
                              const CardGrid& grid) {
  SheetLayout layout;
  layout.sheet = sheet;
  layout.cardWidth = cardWidth;
  layout.cardHeight = cardHeight;
  layout.columns = std::max(grid.columns, 0);
  layout.rows = std::max(grid.rows, 0);
  for (int row = 0; row < layout.rows; ++row) {
    for (int column = 0; column < layout.columns; ++column) {
      const CardPosition at{grid.left + column * grid.pitchAcross, grid.top + row * grid.pitchDown};
      if (at.left >= -kTolerance && at.top >= -kTolerance &&
          at.left + cardWidth <= sheet.width + kTolerance &&
          at.top + cardHeight <= sheet.height + kTolerance) {
        layout.cards.push_back(at);
      }
    }
  }
  return layout;
}

SheetLayout MirroredForBack(const SheetLayout& front) {
  SheetLayout back = front;
  for (CardPosition& card : back.cards) {
    card.left = front.sheet.width - card.left - front.cardWidth;
  }
  return back;
}

std::vector<CropMark> CropMarks(const SheetLayout& layout) {
  std::vector<Box> boxes;
  boxes.reserve(layout.cards.size());
  for (const CardPosition& c : layout.cards) {
    boxes.push_back({c.left, c.top, c.left + layout.cardWidth, c.top + layout.cardHeight});
  }
  const double near = kCropMarkOffset;
  const double far = kCropMarkOffset + kCropMarkLength;
  std::vector<CropMark> marks;
  const auto add = [&](const CropMark& mark) {
    if (std::min(mark.x1, mark.x2) < 0 || std::max(mark.x1, mark.x2) > layout.sheet.width ||
        std::min(mark.y1, mark.y2) < 0 || std::max(mark.y1, mark.y2) > layout.sheet.height) {
      return;
    }
    for (const Box& box : boxes) {
      if (Touches(box, mark)) return;
    }
    const auto same = [&](const CropMark& m) {
      return std::abs(m.x1 - mark.x1) < kTolerance && std::abs(m.y1 - mark.y1) < kTolerance &&
             std::abs(m.x2 - mark.x2) < kTolerance && std::abs(m.y2 - mark.y2) < kTolerance;
    };
    if (std::none_of(marks.begin(), marks.end(), same)) marks.push_back(mark);
  };
  for (const Box& b : boxes) {
    for (const double x : {b.left, b.right}) {
      add({x, b.top - far, x, b.top - near});
      add({x, b.bottom + near, x, b.bottom + far});
    }
    for (const double y : {b.top, b.bottom}) {
      add({b.left - far, y, b.left - near, y});
      add({b.right + near, y, b.right + far, y});
    }
  }
  return marks;
}

}  // namespace quirabel::report
