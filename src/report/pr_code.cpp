#include "report/pr_code.h"

#include <algorithm>
#include <cmath>

#include "base/rounding.h"
#include "pdf/pdf_text.h"
#include "report/vcard_name.h"

namespace quirabel::report {

namespace {

// Page pixels are PDF points. Modules are whole dots of a 300 dpi printer (also whole at 600 dpi).
constexpr double kCodePointsPerMm = 72 / 25.4;
constexpr double kDot = 72.0 / 300;
// The smallest module as dots: 0.25 mm is 2.95 dots, so 3 (0.254 mm).
const int kMinModuleDots = static_cast<int>(std::ceil(kMinModuleMm * kCodePointsPerMm / kDot));

double SnapToDots(double points) { return std::round(points / kDot) * kDot; }

bool IsMarkerCharacter(char c) { return c != '<' && c != '>' && c != '\r' && c != '\n'; }

// Longest data-field name a marker may hold, as in the project file's records.
constexpr std::size_t kMaxFieldLength = 40;

// Calls found(start, length of the marker, name) for every marker "<name>" in content.
template <class Found>
void ForEachMarker(std::string_view content, Found found) {
  for (std::size_t open = content.find('<'); open != std::string_view::npos;
       open = content.find('<', open + 1)) {
    std::size_t end = open + 1;
    while (end < content.size() && end - open - 1 <= kMaxFieldLength &&
           IsMarkerCharacter(content[end]))
      ++end;
    const std::size_t length = end - open - 1;
    if (end < content.size() && content[end] == '>' && length > 0 && length <= kMaxFieldLength) {
      found(open, end - open + 1, content.substr(open + 1, length));
      open = end;
    }
  }
}

}  // namespace

CodeGeometry LayOutCode(const graphics::CodeSymbol& symbol, double width, double height,
                        bool* modulesFit) {
  const int columns = symbol.columns + 2 * symbol.quietZone;
  const int rows = symbol.linear ? 1 : symbol.rows + 2 * symbol.quietZone;
  double fit = columns > 0 ? width / columns : 0;
  if (!symbol.linear && rows > 0) fit = std::min(fit, height / rows);
  const int dots = std::max(0, TruncToInt(fit / kDot + 1e-9));
  if (modulesFit != nullptr) *modulesFit = dots >= kMinModuleDots;
  CodeGeometry geometry;
  geometry.module = std::max(dots, kMinModuleDots) * kDot;
  geometry.left = (width - symbol.columns * geometry.module) / 2;
  if (symbol.linear) {
    geometry.top = 0;
    geometry.rowHeight = symbol.rows > 0 ? height / symbol.rows : height;
  } else {
    geometry.top = (height - symbol.rows * geometry.module) / 2;
    geometry.rowHeight = geometry.module;
  }
  return geometry;
}

std::vector<std::string> CodeFieldsOf(std::string_view content) {
  std::vector<std::string> fields;
  ForEachMarker(content, [&](std::size_t, std::size_t, std::string_view name) {
    if (std::find(fields.begin(), fields.end(), name) == fields.end()) fields.emplace_back(name);
  });
  return fields;
}

TPRCode::TPRCode(ui::Component* owner) : TPRItem(owner) {}

void TPRCode::SetCodeKind(graphics::CodeKind value) {
  if (value == codeKind_) return;
  codeKind_ = value;
  Invalidate();
}

void TPRCode::SetCorrection(graphics::QrErrorCorrection value) {
  if (value == correction_) return;
  correction_ = value;
  Invalidate();
}

void TPRCode::SetColor(graphics::TColor value) {
  if (value == color_) return;
  color_ = value;
  Invalidate();
}

void TPRCode::SetContent(std::string value) {
  if (value == content_) return;
  content_ = std::move(value);
  Invalidate();
}

void TPRCode::SetFieldValue(const std::string& field, std::string value) {
  fieldValues_[field] = std::move(value);
  Invalidate();
}

std::string TPRCode::FilledContent() const {
  if (fieldValues_.empty()) return content_;
  const bool vcard = content_.starts_with("BEGIN:VCARD");
  std::string filled;
  std::size_t copied = 0;
  ForEachMarker(content_, [&](std::size_t start, std::size_t length, std::string_view name) {
    const auto value = fieldValues_.find(name);
    if (value == fieldValues_.end()) return;
    filled.append(content_, copied, start - copied);
    // In a vCard a comma, semicolon or line break of a cell would split its value or its line.
    filled += vcard ? graphics::VCardValue(value->second) : value->second;
    copied = start + length;
  });
  filled.append(content_, copied);
  // One field with the whole name is split into given and family name.
  return vcard ? VCardWithNameSplit(std::move(filled)) : filled;
}

const graphics::CodeSymbol& TPRCode::Symbol() const {
  std::string content = FilledContent();
  // Content filled from a row changes with every row: a fixed mask spares the automatic choice,
  // which costs most of the encoding. Content as typed keeps the choice, and so its PDF.
  const graphics::QrMask mask =
      fieldValues_.empty() ? graphics::QrMask::Automatic : graphics::QrMask::Fixed;
  if (!encoded_ || encoded_->kind != codeKind_ || encoded_->correction != correction_ ||
      encoded_->mask != mask || encoded_->content != content) {
    encoded_.reset();
    graphics::CodeSymbol symbol = graphics::EncodeCode(codeKind_, content, correction_, mask);
    encoded_ = Encoded{codeKind_, correction_, mask, std::move(content), std::move(symbol)};
  }
  return encoded_->symbol;
}

bool TPRCode::ModulesReadable() const {
  try {
    bool fits = false;
    LayOutCode(Symbol(), Width(), Height(), &fits);
    return fits;
  } catch (const graphics::CodeError&) {
    return false;
  }
}

void TPRCode::Print(TPRCanvas& canvas, const ui::TRect& rect) {
  // In a small picture of the page a code whose smallest possible symbol (21 modules across, at
  // least two pixels each) cannot show is a grey area: no pixel could show its modules, and
  // encoding thousands of them would only cost time.
  if (const double pixel = canvas.PreviewPointsPerPixel();
      pixel > 0 && std::min(rect.Width(), rect.Height()) < 42 * pixel) {
    pdf::TPdfCanvas& pdf = canvas.Pdf();
    const int r = (color_ & 0xff), g = (color_ >> 8) & 0xff, b = (color_ >> 16) & 0xff;
    pdf.SetRGBFillColor(((r + 255) / 2) | (((g + 255) / 2) << 8) | (((b + 255) / 2) << 16));
    pdf.Rectangle(rect.left, canvas.PageHeight() - rect.bottom, rect.Width(), rect.Height());
    pdf.Fill();
    return;
  }
  const graphics::CodeSymbol* encoded = nullptr;
  try {
    encoded = &Symbol();
  } catch (const graphics::CodeError& e) {
    throw graphics::CodeError("Element „" + Name() + "“: " + e.what());
  }
  const graphics::CodeSymbol& symbol = *encoded;
  bool fits = false;
  const CodeGeometry g = LayOutCode(symbol, rect.Width(), rect.Height(), &fits);
  if (!fits) {
    throw graphics::CodeError("Element „" + Name() +
                              "“: Der Inhalt ist für diese Größe zu lang; die Module wären "
                              "kleiner als 0,25 mm. Bitte das Element vergrößern.");
  }
  pdf::TPdfCanvas& pdf = canvas.Pdf();
  const int H = canvas.PageHeight();
  // The symbol's corner on whole dots from the page's top-left corner, so modules stay whole.
  const double left = SnapToDots(rect.left + g.left);
  const double top = symbol.linear ? rect.top : SnapToDots(rect.top + g.top);
  pdf.SetRGBFillColor(color_);
  // The bars' numbers repeat: a column's x, a row's y, a width and a height are each formatted
  // once, as Rectangle formats them. A code of a few hundred bars costs far less so.
  const std::size_t columns = static_cast<std::size_t>(symbol.columns) + 1;
  const std::size_t rows = static_cast<std::size_t>(symbol.rows) + 1;
  std::vector<std::string> xs(columns), widths(columns), ys(rows), heights(rows);
  const auto formatted = [](std::vector<std::string>& cache, int index,
                            double value) -> const std::string& {
    std::string& text = cache[static_cast<std::size_t>(index)];
    if (text.empty()) pdf::AppendReal(text, value);
    return text;
  };
  std::string path;
  path.reserve(symbol.bars.size() * 28);
  for (const graphics::CodeBar& bar : symbol.bars) {
    path += formatted(xs, bar.x, left + bar.x * g.module);
    path += ' ';
    path += formatted(ys, bar.y + bar.height, H - (top + (bar.y + bar.height) * g.rowHeight));
    path += ' ';
    path += formatted(widths, bar.width, bar.width * g.module);
    path += ' ';
    path += formatted(heights, bar.height, bar.height * g.rowHeight);
    path += " re\n";
  }
  pdf.AppendPath(path);
  pdf.Fill();
}

void TPRCode::Paint(ui::Canvas& canvas) {
  const ui::TRect r = ClientRect();
  const graphics::CodeSymbol* encoded = nullptr;
  try {
    encoded = &Symbol();
  } catch (const graphics::CodeError&) {
    canvas.pen = {graphics::clGray, 1, ui::TPenStyle::psDot};
    canvas.brush = {graphics::clWhite, ui::TBrushStyle::bsClear};
    canvas.Rectangle(r);
    return;
  }
  const graphics::CodeSymbol& symbol = *encoded;
  const CodeGeometry g = LayOutCode(symbol, r.Width(), r.Height());
  canvas.brush = {graphics::ResolveSystemColor(color_), ui::TBrushStyle::bsSolid};
  for (const graphics::CodeBar& bar : symbol.bars) {
    const double x = g.left + bar.x * g.module;
    const double y = g.top + bar.y * g.rowHeight;
    const ui::TRect cell{RoundHalfEven(x), RoundHalfEven(y),
                         RoundHalfEven(x + bar.width * g.module),
                         RoundHalfEven(y + bar.height * g.rowHeight)};
    if (cell.Width() > 0 && cell.Height() > 0) canvas.FillRect(cell);
  }
}

}  // namespace quirabel::report
