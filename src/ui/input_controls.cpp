#include "ui/input_controls.h"

#include <algorithm>
#include <charconv>
#include <system_error>
#include <utility>

namespace quirabel::ui {

void TCheckBox::SetChecked(bool value) {
  if (value == checked_) return;
  checked_ = value;
  Changed();
}

void TCheckBox::SetFont(const TFont& font) {
  if (font == font_) return;
  font_ = font;
  Changed();
}

void TCheckBox::SetAlignment(TLeftRight value) {
  if (value == alignment_) return;
  alignment_ = value;
  Changed();
}

void TCheckBox::Toggle() {
  if (!Enabled()) return;
  SetChecked(!checked_);
  Click();
}

void TComboBox::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  // The shown text stays; it may or may not be one of the new entries.
  const auto found = std::find(items_.begin(), items_.end(), text_);
  itemIndex_ = found == items_.end() ? -1 : static_cast<int>(found - items_.begin());
  Changed();
}

void TComboBox::AddItem(std::string item) {
  items_.push_back(std::move(item));
  if (itemIndex_ < 0 && items_.back() == text_) itemIndex_ = static_cast<int>(items_.size()) - 1;
  Changed();
}

void TComboBox::SetStyle(TComboBoxStyle value) {
  if (value == style_) return;
  style_ = value;
  Changed();
}

void TComboBox::Show(int index, std::string text) {
  if (index == itemIndex_ && text == text_) return;
  itemIndex_ = index;
  text_ = std::move(text);
  Changed();
}

void TComboBox::SetItemIndex(int index) {
  if (index >= 0 && index < static_cast<int>(items_.size())) {
    Show(index, items_[static_cast<std::size_t>(index)]);
  } else {
    Show(-1, {});
  }
}

void TComboBox::SetText(std::string text) {
  const auto found = std::find(items_.begin(), items_.end(), text);
  Show(found == items_.end() ? -1 : static_cast<int>(found - items_.begin()), std::move(text));
}

void TComboBox::Choose(int index) {
  if (!Enabled() || index < 0 || index >= static_cast<int>(items_.size())) return;
  SetItemIndex(index);
  if (OnChange) OnChange(*this);
}

void TComboBox::TypeText(std::string text) {
  if (!Enabled() || style_ != TComboBoxStyle::csDropDown) return;
  SetText(std::move(text));
  if (OnChange) OnChange(*this);
}

void TListBox::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  itemIndex_ = -1;
  Changed();
}

void TListBox::AddItem(std::string item) {
  items_.push_back(std::move(item));
  Changed();
}

void TListBox::DeleteItem(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  items_.erase(items_.begin() + index);
  if (itemIndex_ == index) {
    itemIndex_ = -1;
  } else if (itemIndex_ > index) {
    --itemIndex_;
  }
  Changed();
}

std::string TListBox::Text() const {
  std::string text;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (i > 0) text += '\n';
    text += items_[i];
  }
  return text;
}

void TListBox::SetItemIndex(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) index = -1;
  if (index == itemIndex_) return;
  itemIndex_ = index;
  Changed();
}

void TListBox::Select(int index) {
  if (!Enabled()) return;
  SetItemIndex(index);
  Click();
}

void TUpDown::SetRange(int min, int max) {
  if (min > max) std::swap(min, max);
  min_ = min;
  max_ = max;
  SetPosition(position_);
  Changed();
}

void TUpDown::SetIncrement(int value) {
  if (value == increment_) return;
  increment_ = value;
  Changed();
}

void TUpDown::SetPosition(int value) {
  position_ = std::clamp(value, min_, max_);
  WritePosition();
  Changed();
}

void TUpDown::SetAssociate(TEdit* edit) {
  associate_ = edit;
  WritePosition();
}

void TUpDown::WritePosition() {
  if (TEdit* edit = associate_.Get()) edit->SetText(std::to_string(position_));
}

void TUpDown::ReadBackPosition() {
  TEdit* edit = associate_.Get();
  if (edit == nullptr) return;
  std::string_view text = edit->Text();
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return;
  position_ = std::clamp(value, min_, max_);
}

void TUpDown::Step(TUpDownDirection direction) {
  if (!Enabled()) return;
  ReadBackPosition();
  // Computed wide: a large increment near the ends of int must not overflow.
  const long long delta = direction == TUpDownDirection::updUp
                              ? static_cast<long long>(increment_)
                              : -static_cast<long long>(increment_);
  const int target = static_cast<int>(std::clamp<long long>(position_ + delta, min_, max_));
  bool allow = true;
  if (OnChanging) OnChanging(*this, direction, target, allow);
  if (!allow) return;
  SetPosition(target);
  if (OnArrowClick) OnArrowClick(*this, direction);
}

void TMemo::SetText(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  Changed();
}

std::vector<std::string> TMemo::Lines() const {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text_.size()) {
    std::size_t end = text_.find('\n', start);
    if (end == std::string::npos) end = text_.size();
    std::string line = text_.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

void TMemo::SetLines(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += '\n';
    text += lines[i];
  }
  SetText(std::move(text));
}

void TMemo::SetFont(const TFont& font) {
  if (font == font_) return;
  font_ = font;
  Changed();
}

void TMemo::SetReadOnly(bool value) {
  if (value == readOnly_) return;
  readOnly_ = value;
  Changed();
}

void TMemo::SetBorder(bool value) {
  if (value == border_) return;
  border_ = value;
  Changed();
}

void TMemo::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  Changed();
}

void TMemo::Change() {
  if (OnChange) OnChange(*this);
}

void TMemo::KeyDown(int key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(*this, key, shift);
}

void TMemo::KeyUp(int key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(*this, key, shift);
}

void TColorButton::SetSwatchColor(TColor color) {
  if (color == swatchColor_) return;
  swatchColor_ = color;
  Changed();
}

void TColorButton::SetGlyph(const graphics::Picture& glyph) {
  glyph_ = glyph;
  Changed();
}

void TShape::SetShape(TShapeType value) {
  if (value == shape_) return;
  shape_ = value;
  Changed();
}

void TShape::SetPen(const TPen& pen) {
  if (pen == pen_) return;
  pen_ = pen;
  Changed();
}

void TShape::SetBrush(const TBrush& brush) {
  if (brush == brush_) return;
  brush_ = brush;
  Changed();
}

TRect TShape::FigureRect() const {
  const int width = Width();
  const int height = Height();
  if (shape_ == TShapeType::stSquare || shape_ == TShapeType::stRoundSquare ||
      shape_ == TShapeType::stCircle) {
    const int side = std::min(width, height);
    return Bounds((width - side) / 2, (height - side) / 2, side, side);
  }
  return {0, 0, width, height};
}

void TShape::Paint(Canvas& canvas) {
  canvas.pen = pen_;
  canvas.brush = brush_;
  canvas.Rectangle(FigureRect());
}

void TStringGrid::SetRows(std::vector<std::vector<std::string>> rows) {
  if (rows == rows_) return;
  rows_ = std::move(rows);
  Changed();
}

const std::string& TStringGrid::Cell(int column, int row) const {
  static const std::string kNone;
  if (row < 0 || row >= RowCount() || column < 0) return kNone;
  const std::vector<std::string>& cells = rows_[static_cast<std::size_t>(row)];
  return static_cast<std::size_t>(column) < cells.size() ? cells[static_cast<std::size_t>(column)]
                                                         : kNone;
}

namespace {

// The folder as the tree holds it: absolute, normal, no trailing separator.
std::filesystem::path PlainFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::path plain = std::filesystem::absolute(folder, error);
  if (error) plain = folder;
  plain = plain.lexically_normal();
  if (plain.has_relative_path() && plain.filename().empty()) plain = plain.parent_path();
  return plain;
}

bool IsFolder(const std::filesystem::path& folder) {
  std::error_code error;
  return std::filesystem::is_directory(folder, error);
}

}  // namespace

void TFolderTree::SetFolder(const std::filesystem::path& folder) {
  folder_ = PlainFolder(folder);
  Reread();
}

void TFolderTree::Reread() {
  std::vector<std::string> children;
  std::error_code error;
  // Folders that cannot be read are left out, as is everything after a failure to read on.
  for (std::filesystem::directory_iterator entry(folder_, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    std::error_code kind;
    if (!name.empty() && name.front() != '.' && entry->is_directory(kind)) children.push_back(name);
  }
  std::sort(children.begin(), children.end());
  children_ = std::move(children);
  Changed();
}

bool TFolderTree::Choose(const std::filesystem::path& folder) {
  if (!Enabled() || !IsFolder(folder)) return false;
  SetFolder(folder);
  if (OnChange) OnChange(*this);
  return true;
}

bool TFolderTree::Enter(const std::string& child) {
  if (std::find(children_.begin(), children_.end(), child) == children_.end()) return false;
  return Choose(folder_ / child);
}

bool TFolderTree::Leave() {
  if (!folder_.has_relative_path()) return false;  // the root has none above it
  return Choose(folder_.parent_path());
}

}  // namespace quirabel::ui
