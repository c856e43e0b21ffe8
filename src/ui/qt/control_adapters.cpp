#include "ui/qt/control_adapters.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileSystemModel>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTextCursor>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <type_traits>

#include "ui/control_visitor.h"
#include "ui/input_controls.h"
#include "ui/qt/qt_canvas.h"

namespace quirabel::ui::qt {

namespace {

QString Q(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string S(const QString& text) { return text.toUtf8().toStdString(); }

// Typed or pasted text without control characters (C0, DEL, C1), which no element prints; line
// breaks stay where keepLineBreaks. Whether anything was taken out goes to changed.
QString WithoutControlCharacters(const QString& text, bool keepLineBreaks, bool& changed) {
  QString kept;
  kept.reserve(text.size());
  for (const QChar ch : text) {
    const char16_t u = ch.unicode();
    const bool control = u < 0x20 || (u >= 0x7F && u < 0xA0);
    if (!control || (keepLineBreaks && u == '\n')) kept.append(ch);
  }
  changed = kept.size() != text.size();
  return kept;
}

// Puts the filtered text back into the widget when something was taken out, the cursor where it
// was as near as the shorter text allows.
template <typename Widget>
void ReplaceTyped(Widget* widget, const QString& kept, int cursor) {
  const QSignalBlocker quiet(widget);
  if constexpr (std::is_same_v<Widget, QLineEdit>) {
    widget->setText(kept);
    widget->setCursorPosition(std::min(cursor, static_cast<int>(kept.size())));
  } else {
    widget->setPlainText(kept);
    QTextCursor place = widget->textCursor();
    place.setPosition(std::min(cursor, static_cast<int>(kept.size())));
    widget->setTextCursor(place);
  }
}

QStringList ToQStringList(const std::vector<std::string>& items) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(items.size()));
  for (const std::string& item : items) list << Q(item);
  return list;
}

// Sets the colour a widget writes its text in.
void SetTextColor(QWidget* widget, TColor color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, ToQColor(color));
  palette.setColor(QPalette::Text, ToQColor(color));
  palette.setColor(QPalette::ButtonText, ToQColor(color));
  widget->setPalette(palette);
}

void SetFont(QWidget* widget, const TFont& font) {
  const QFont qfont = ToQFont(font);
  if (widget->font() != qfont) widget->setFont(qfont);
  SetTextColor(widget, font.color);
}

void SetBackground(QWidget* widget, TColor color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, ToQColor(color));
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

// A widget that draws its control through our canvas: pictures, and any kind without a widget
// of its own.
class PaintedWidget : public QWidget {
 public:
  PaintedWidget(Control& control, PictureCache& pictures, QWidget* parent)
      : QWidget(parent), control_(&control), pictures_(pictures) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    Control* control = control_.Get();
    if (control == nullptr) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QtCanvas canvas(painter, pictures_);
    control->Paint(canvas);
  }

 private:
  ComponentRef<Control> control_;
  PictureCache& pictures_;
};

class PaintedAdapter : public ControlAdapter {
 public:
  PaintedAdapter(AdapterHost& host, Control& control, QWidget* parent)
      : ControlAdapter(host, control, new PaintedWidget(control, host.Pictures(), parent)) {}

 protected:
  void RefreshKind(Control&) override { Widget()->update(); }
};

// Draws a shape with its pen and brush, the round ones too.
class ShapeWidget : public QWidget {
 public:
  ShapeWidget(TShape& shape, QWidget* parent) : QWidget(parent), shape_(&shape) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    TShape* shape = shape_.Get();
    if (shape == nullptr) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const TPen& pen = shape->Pen();
    const TBrush& brush = shape->Brush();
    if (pen.style == TPenStyle::psClear || pen.width <= 0) {
      painter.setPen(Qt::NoPen);
    } else {
      QPen qpen(ToQColor(pen.color), pen.width);
      qpen.setJoinStyle(Qt::MiterJoin);
      painter.setPen(qpen);
    }
    painter.setBrush(brush.style == TBrushStyle::bsClear ? QBrush(Qt::NoBrush)
                                                         : QBrush(ToQColor(brush.color)));
    // The outline lies inside the figure's box, as it does on the page.
    const TRect box = shape->FigureRect();
    const double inset = painter.pen().style() == Qt::NoPen ? 0.0 : pen.width / 2.0;
    const QRectF figure =
        QRectF(box.left, box.top, box.Width(), box.Height()).adjusted(inset, inset, -inset, -inset);
    switch (shape->Shape()) {
      case TShapeType::stRectangle:
      case TShapeType::stSquare:
        painter.drawRect(figure);
        break;
      case TShapeType::stRoundRect:
      case TShapeType::stRoundSquare: {
        const double radius = std::min(figure.width(), figure.height()) / 4;
        painter.drawRoundedRect(figure, radius, radius);
        break;
      }
      case TShapeType::stEllipse:
      case TShapeType::stCircle:
        painter.drawEllipse(figure);
        break;
    }
  }

 private:
  ComponentRef<TShape> shape_;
};

class ShapeAdapter : public ControlAdapter {
 public:
  ShapeAdapter(AdapterHost& host, TShape& shape, QWidget* parent)
      : ControlAdapter(host, shape, new ShapeWidget(shape, parent)) {
    Widget()->installEventFilter(this);
  }

 protected:
  void RefreshKind(Control&) override { Widget()->update(); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == Widget() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        Widget()->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
      Act([](Control& c) { c.Click(); });
    }
    return ControlAdapter::eventFilter(watched, event);
  }
};

class LabelAdapter : public ControlAdapter {
 public:
  LabelAdapter(AdapterHost& host, TLabel& label, QWidget* parent)
      : ControlAdapter(host, label, new QLabel(parent)) {}

 protected:
  void RefreshKind(Control& control) override {
    auto& label = static_cast<TLabel&>(control);
    auto* widget = static_cast<QLabel*>(Widget());
    SetFont(widget, label.Font());
    if (widget->wordWrap() != label.WordWrap()) {
      widget->setWordWrap(label.WordWrap());
      widget->setAlignment(label.WordWrap() ? Qt::AlignLeft | Qt::AlignTop
                                            : Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (widget->text() != Q(label.Caption())) widget->setText(Q(label.Caption()));
  }
};

class EditAdapter : public ControlAdapter {
 public:
  EditAdapter(AdapterHost& host, TEdit& edit, QWidget* parent)
      : ControlAdapter(host, edit, new QLineEdit(parent)) {
    auto* line = static_cast<QLineEdit*>(Widget());
    connect(line, &QLineEdit::textEdited, this, [this, line](const QString& typed) {
      bool changed = false;
      const QString text = WithoutControlCharacters(typed, false, changed);
      if (changed) ReplaceTyped(line, text, line->cursorPosition());
      Act([&text](Control& c) {
        auto& edit = static_cast<TEdit&>(c);
        edit.SetText(S(text));
        edit.Change();
      });
    });
    // Enter, or the focus went elsewhere after a change.
    connect(line, &QLineEdit::editingFinished, this,
            [this] { Act([](Control& c) { static_cast<TEdit&>(c).FinishEditing(); }); });
    ForwardKeys(
        line,
        [](Control& c, int key, TShiftState shift) { static_cast<TEdit&>(c).KeyDown(key, shift); },
        [](Control& c, int key, TShiftState shift) { static_cast<TEdit&>(c).KeyUp(key, shift); });
  }

 protected:
  void RefreshKind(Control& control) override {
    auto& edit = static_cast<TEdit&>(control);
    auto* line = static_cast<QLineEdit*>(Widget());
    const QSignalBlocker quiet(line);
    // Set only when it differs, so the person's cursor stays where it is while typing.
    if (line->text() != Q(edit.Text())) line->setText(Q(edit.Text()));
    line->setReadOnly(edit.ReadOnly());
  }
};

class ButtonAdapter : public ControlAdapter {
 public:
  ButtonAdapter(AdapterHost& host, TButton& button, QWidget* parent)
      : ControlAdapter(host, button, new QPushButton(parent)) {
    connect(static_cast<QPushButton*>(Widget()), &QPushButton::clicked, this, [this] {
      Act([this](Control& c) {
        auto& button = static_cast<TButton&>(c);
        const TModalResult result = button.ModalResult();
        button.Click();
        // The click may have freed the button; the host only ends a modal run.
        if (result != mrNone) host_.AnswerModal(result);
      });
    });
  }

 protected:
  void RefreshKind(Control& control) override {
    auto* push = static_cast<QPushButton*>(Widget());
    const QString caption = Q(control.Caption());
    if (push->text() != caption) push->setText(caption);
  }
};

class ColorButtonAdapter : public ButtonAdapter {
 public:
  using ButtonAdapter::ButtonAdapter;

 protected:
  void RefreshKind(Control& control) override {
    ButtonAdapter::RefreshKind(control);
    auto& button = static_cast<TColorButton&>(control);
    auto* push = static_cast<QPushButton*>(Widget());
    if (button.SwatchColor() != graphics::clNone) {
      QPixmap swatch(16, 12);
      swatch.fill(ToQColor(button.SwatchColor()));
      QPainter frame(&swatch);
      frame.setPen(Qt::black);
      frame.drawRect(0, 0, 15, 11);
      frame.end();
      push->setIcon(QIcon(swatch));
      push->setIconSize(swatch.size());
    } else if (!button.Glyph().Empty()) {
      const QImage& glyph = host_.Pictures().Image(button.Glyph());
      push->setIcon(QIcon(QPixmap::fromImage(glyph)));
      push->setIconSize(glyph.size());
    } else {
      push->setIcon(QIcon());
    }
  }
};

class PanelAdapter : public ControlAdapter {
 public:
  PanelAdapter(AdapterHost& host, TPanel& panel, QWidget* parent)
      : ControlAdapter(host, panel, new QFrame(parent)) {}

 protected:
  void RefreshKind(Control& control) override {
    SetBackground(Widget(), graphics::ResolveSystemColor(control.Color()));
  }
};

// A check box that takes a click anywhere on it, as ours do: the caption may stand at either
// side, with empty room between it and the control's edge.
class WholeCheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  bool hitButton(const QPoint& position) const override { return rect().contains(position); }
};

class CheckBoxAdapter : public ControlAdapter {
 public:
  CheckBoxAdapter(AdapterHost& host, TCheckBox& box, QWidget* parent)
      : ControlAdapter(host, box, new WholeCheckBox(parent)) {
    connect(static_cast<QCheckBox*>(Widget()), &QCheckBox::clicked, this,
            [this] { Act([](Control& c) { static_cast<TCheckBox&>(c).Toggle(); }); });
  }

 protected:
  void RefreshKind(Control& control) override {
    auto& box = static_cast<TCheckBox&>(control);
    auto* widget = static_cast<QCheckBox*>(Widget());
    const QSignalBlocker quiet(widget);
    SetFont(widget, box.Font());
    if (widget->text() != Q(box.Caption())) widget->setText(Q(box.Caption()));
    widget->setChecked(box.Checked());
    // Right to left puts the caption before the box.
    widget->setLayoutDirection(box.Alignment() == TLeftRight::taLeftJustify ? Qt::RightToLeft
                                                                            : Qt::LeftToRight);
  }
};

class ComboBoxAdapter : public ControlAdapter {
 public:
  ComboBoxAdapter(AdapterHost& host, TComboBox& box, QWidget* parent)
      : ControlAdapter(host, box, new QComboBox(parent)) {
    connect(static_cast<QComboBox*>(Widget()), &QComboBox::activated, this, [this](int index) {
      Act([index](Control& c) { static_cast<TComboBox&>(c).Choose(index); });
    });
  }

 protected:
  void RefreshKind(Control& control) override {
    auto& box = static_cast<TComboBox&>(control);
    auto* widget = static_cast<QComboBox*>(Widget());
    const QSignalBlocker quiet(widget);
    const bool editable = box.Style() == TComboBoxStyle::csDropDown;
    if (widget->isEditable() != editable) {
      widget->setEditable(editable);
      if (editable) {
        // Typed text is the box's text as it stands: not completed, not added as an entry.
        widget->setInsertPolicy(QComboBox::NoInsert);
        widget->setCompleter(nullptr);
        connect(widget->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
          Act([&text](Control& c) { static_cast<TComboBox&>(c).TypeText(S(text)); });
        });
      }
    }
    const QStringList items = ToQStringList(box.Items());
    QStringList shown;
    for (int i = 0; i < widget->count(); ++i) shown << widget->itemText(i);
    if (shown != items) {
      widget->clear();
      widget->addItems(items);
    }
    if (widget->currentIndex() != box.ItemIndex()) widget->setCurrentIndex(box.ItemIndex());
    const QString text = Q(box.Text());
    if (editable) {
      if (widget->currentText() != text) widget->setEditText(text);
    } else {
      widget->setPlaceholderText(box.ItemIndex() < 0 ? text : QString());
    }
  }
};

class ListBoxAdapter : public ControlAdapter {
 public:
  ListBoxAdapter(AdapterHost& host, TListBox& box, QWidget* parent)
      : ControlAdapter(host, box, new QListWidget(parent)) {
    connect(static_cast<QListWidget*>(Widget()), &QListWidget::currentRowChanged, this,
            [this](int row) { Act([row](Control& c) { static_cast<TListBox&>(c).Select(row); }); });
  }

 protected:
  void RefreshKind(Control& control) override {
    auto& box = static_cast<TListBox&>(control);
    auto* widget = static_cast<QListWidget*>(Widget());
    const QSignalBlocker quiet(widget);
    const QStringList items = ToQStringList(box.Items());
    bool same = widget->count() == items.size();
    for (int i = 0; same && i < widget->count(); ++i) same = widget->item(i)->text() == items[i];
    if (!same) {
      widget->clear();
      widget->addItems(items);
    }
    if (widget->currentRow() != box.ItemIndex()) widget->setCurrentRow(box.ItemIndex());
  }
};

class UpDownAdapter : public ControlAdapter {
 public:
  UpDownAdapter(AdapterHost& host, TUpDown& upDown, QWidget* parent)
      : ControlAdapter(host, upDown, new QWidget(parent)) {
    auto* layout = new QVBoxLayout(Widget());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (auto [arrow, direction] : {std::pair{Qt::UpArrow, TUpDownDirection::updUp},
                                    std::pair{Qt::DownArrow, TUpDownDirection::updDown}}) {
      auto* button = new QToolButton(Widget());
      button->setArrowType(arrow);
      button->setAutoRepeat(true);
      button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
      button->setFocusPolicy(Qt::NoFocus);
      layout->addWidget(button);
      const TUpDownDirection step = direction;
      connect(button, &QToolButton::clicked, this,
              [this, step] { Act([step](Control& c) { static_cast<TUpDown&>(c).Step(step); }); });
    }
  }

 protected:
  void RefreshKind(Control&) override {}
};

class MemoAdapter : public ControlAdapter {
 public:
  MemoAdapter(AdapterHost& host, TMemo& memo, QWidget* parent)
      : ControlAdapter(host, memo, new QPlainTextEdit(parent)) {
    auto* edit = static_cast<QPlainTextEdit*>(Widget());
    // Refresh blocks the widget's signals, so this is the person's typing only.
    connect(edit, &QPlainTextEdit::textChanged, this, [this, edit] {
      Act([edit](Control& c) {
        auto& memo = static_cast<TMemo&>(c);
        QString typed = edit->toPlainText();
        if (!memo.TakesControlCharacters()) {
          bool changed = false;
          typed = WithoutControlCharacters(typed, true, changed);
          if (changed) ReplaceTyped(edit, typed, edit->textCursor().position());
        }
        const std::string text = S(typed);
        memo.SetText(text);
        memo.Change();
      });
    });
    ForwardKeys(
        edit,
        [](Control& c, int key, TShiftState shift) { static_cast<TMemo&>(c).KeyDown(key, shift); },
        [](Control& c, int key, TShiftState shift) { static_cast<TMemo&>(c).KeyUp(key, shift); });
  }

 protected:
  void RefreshKind(Control& control) override {
    auto& memo = static_cast<TMemo&>(control);
    auto* edit = static_cast<QPlainTextEdit*>(Widget());
    const QSignalBlocker quiet(edit);
    SetFont(edit, memo.Font());
    if (edit->toPlainText() != Q(memo.Text())) edit->setPlainText(Q(memo.Text()));
    edit->setReadOnly(memo.ReadOnly());
    edit->setFrameShape(memo.Border() ? QFrame::StyledPanel : QFrame::NoFrame);
    edit->setLineWrapMode(memo.WordWrap() ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  }
};

// A grid to read: the captions of row 0 as the column headers, the cells below them.
class StringGridAdapter : public ControlAdapter {
 public:
  StringGridAdapter(AdapterHost& host, TStringGrid& grid, QWidget* parent)
      : ControlAdapter(host, grid, new QTableWidget(parent)) {
    auto* table = static_cast<QTableWidget*>(Widget());
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->verticalHeader()->setVisible(false);
  }

 protected:
  void RefreshKind(Control& control) override {
    const auto& rows = static_cast<TStringGrid&>(control).Rows();
    if (rows == shown_) return;
    shown_ = rows;
    auto* table = static_cast<QTableWidget*>(Widget());
    const int columns = rows.empty() ? 0 : static_cast<int>(rows.front().size());
    table->clear();
    table->setColumnCount(columns);
    table->setRowCount(rows.empty() ? 0 : static_cast<int>(rows.size()) - 1);
    if (rows.empty()) return;
    table->setHorizontalHeaderLabels(ToQStringList(rows.front()));
    for (std::size_t r = 1; r < rows.size(); ++r) {
      for (std::size_t c = 0; c < rows[r].size() && static_cast<int>(c) < columns; ++c) {
        table->setItem(static_cast<int>(r - 1), static_cast<int>(c),
                       new QTableWidgetItem(Q(rows[r][c])));
      }
    }
  }

 private:
  std::vector<std::vector<std::string>> shown_;
};

// The whole folder tree of the file system, opened down to the folder chosen; choosing another
// folder in it is the person's Choose.
class FolderTreeAdapter : public ControlAdapter {
 public:
  FolderTreeAdapter(AdapterHost& host, TFolderTree& tree, QWidget* parent)
      : ControlAdapter(host, tree, new QTreeView(parent)) {
    auto* view = static_cast<QTreeView*>(Widget());
    folders_ = new QFileSystemModel(view);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folders_->setRootPath(QStringLiteral("/"));
    view->setModel(folders_);
    view->setHeaderHidden(true);
    for (int column = 1; column < folders_->columnCount(); ++column) view->hideColumn(column);
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
              if (refreshing_ || !current.isValid()) return;
              const std::string folder = S(folders_->filePath(current));
              Act([&folder](Control& c) { static_cast<TFolderTree&>(c).Choose(folder); });
            });
    // The model reads folders in the background: once the folder holding the chosen one is
    // read, the rows have their places and the chosen one goes to the middle of the view.
    connect(folders_, &QFileSystemModel::directoryLoaded, this, [this, view](const QString& path) {
      auto* tree = static_cast<TFolderTree*>(GetControl());
      if (tree == nullptr || Q(tree->Folder().parent_path().string()) != path) return;
      view->scrollTo(view->currentIndex(), QAbstractItemView::PositionAtCenter);
    });
  }

 protected:
  void RefreshKind(Control& control) override {
    auto& tree = static_cast<TFolderTree&>(control);
    auto* view = static_cast<QTreeView*>(Widget());
    const QModelIndex chosen = folders_->index(Q(tree.Folder().string()));
    if (!chosen.isValid() || view->currentIndex() == chosen) return;
    refreshing_ = true;
    view->setCurrentIndex(chosen);
    view->scrollTo(chosen, QAbstractItemView::PositionAtCenter);
    refreshing_ = false;
  }

 private:
  QFileSystemModel* folders_;
  bool refreshing_ = false;  // the adapter itself moves the current folder
};

// Picks the adapter of a control's kind.
class AdapterMaker : public ControlVisitor {
 public:
  AdapterMaker(AdapterHost& host, QWidget* parent) : host_(host), parent_(parent) {}
  std::unique_ptr<ControlAdapter> made;

  using ControlVisitor::Visit;
  void Visit(Control& c) override { made = std::make_unique<PaintedAdapter>(host_, c, parent_); }
  void Visit(TLabel& c) override { made = std::make_unique<LabelAdapter>(host_, c, parent_); }
  void Visit(TEdit& c) override { made = std::make_unique<EditAdapter>(host_, c, parent_); }
  void Visit(TButton& c) override { made = std::make_unique<ButtonAdapter>(host_, c, parent_); }
  void Visit(TColorButton& c) override {
    made = std::make_unique<ColorButtonAdapter>(host_, c, parent_);
  }
  void Visit(TPanel& c) override { made = std::make_unique<PanelAdapter>(host_, c, parent_); }
  void Visit(TCheckBox& c) override { made = std::make_unique<CheckBoxAdapter>(host_, c, parent_); }
  void Visit(TComboBox& c) override { made = std::make_unique<ComboBoxAdapter>(host_, c, parent_); }
  void Visit(TListBox& c) override { made = std::make_unique<ListBoxAdapter>(host_, c, parent_); }
  void Visit(TUpDown& c) override { made = std::make_unique<UpDownAdapter>(host_, c, parent_); }
  void Visit(TMemo& c) override { made = std::make_unique<MemoAdapter>(host_, c, parent_); }
  void Visit(TShape& c) override { made = std::make_unique<ShapeAdapter>(host_, c, parent_); }
  void Visit(TStringGrid& c) override {
    made = std::make_unique<StringGridAdapter>(host_, c, parent_);
  }
  void Visit(TFolderTree& c) override {
    made = std::make_unique<FolderTreeAdapter>(host_, c, parent_);
  }

 private:
  AdapterHost& host_;
  QWidget* parent_;
};

}  // namespace

ControlAdapter::ControlAdapter(AdapterHost& host, Control& control, QWidget* widget)
    : host_(host), control_(&control), widget_(widget) {
  control.SetObserver(this);
}

ControlAdapter::~ControlAdapter() {
  if (Control* control = control_.Get(); control != nullptr && control->Observer() == this) {
    control->SetObserver(nullptr);
  }
}

void ControlAdapter::Refresh() {
  Control* control = control_.Get();
  if (control == nullptr) return;
  const QRect bounds(control->Left(), control->Top(), control->Width(), control->Height());
  if (bounds.isEmpty()) {
    // A control never given a size (a label sized by its text) takes its widget's own.
    RefreshKind(*control);
    widget_->adjustSize();
    widget_->move(bounds.topLeft());
  } else {
    if (widget_->geometry() != bounds) widget_->setGeometry(bounds);
    RefreshKind(*control);
  }
  if (widget_->isEnabled() != control->Enabled()) widget_->setEnabled(control->Enabled());
  const QString hint = QString::fromUtf8(control->Hint().c_str());
  if (widget_->toolTip() != hint) widget_->setToolTip(hint);
  if (widget_->isVisibleTo(widget_->parentWidget()) != control->Visible()) {
    widget_->setVisible(control->Visible());
  }
}

void ControlAdapter::ControlChanged(Control&) {
  Refresh();
  host_.ContentChanged();
}

void ControlAdapter::ControlFreed(Control&) {
  control_.Reset();
  widget_->hide();
}

void ControlAdapter::Act(const std::function<void(Control&)>& action) {
  if (control_.Get() == nullptr) return;
  const ComponentRef<Control> target = control_;
  host_.Dispatch([&target, &action] {
    if (Control* control = target.Get()) action(*control);
  });
  Refresh();
}

void ControlAdapter::ForwardKeys(QObject* source,
                                 std::function<void(Control&, int, TShiftState)> down,
                                 std::function<void(Control&, int, TShiftState)> up) {
  keyDown_ = std::move(down);
  keyUp_ = std::move(up);
  source->installEventFilter(this);
}

bool ControlAdapter::eventFilter(QObject* watched, QEvent* event) {
  const bool press = event->type() == QEvent::KeyPress;
  if ((press || event->type() == QEvent::KeyRelease) && (press ? keyDown_ : keyUp_)) {
    auto* key = static_cast<QKeyEvent*>(event);
    const int code = VirtualKey(key->key());
    const TShiftState shift = ShiftState(key->modifiers());
    // A release runs after the widget took the press, so its handler sees the typed text.
    const auto& handler = press ? keyDown_ : keyUp_;
    Act([&handler, code, shift](Control& c) { handler(c, code, shift); });
  }
  return QObject::eventFilter(watched, event);
}

std::unique_ptr<ControlAdapter> MakeAdapter(AdapterHost& host, Control& control, QWidget* parent) {
  AdapterMaker maker(host, parent);
  control.Accept(maker);
  maker.made->Refresh();
  return std::move(maker.made);
}

QFont ToQFont(const TFont& font) {
  QFont qfont(QString::fromUtf8(font.name.c_str()));
  qfont.setPointSize(font.size > 0 ? font.size : 8);
  qfont.setBold(font.bold);
  qfont.setItalic(font.italic);
  return qfont;
}

int VirtualKey(int qtKey) {
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
    return qtKey;  // the same codes
  }
  switch (qtKey) {
    case Qt::Key_Backspace:
      return vkBack;
    case Qt::Key_Tab:
      return vkTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return vkReturn;
    case Qt::Key_Shift:
      return vkShift;
    case Qt::Key_Control:
      return vkControl;
    case Qt::Key_Escape:
      return vkEscape;
    case Qt::Key_Space:
      return vkSpace;
    case Qt::Key_Left:
      return vkLeft;
    case Qt::Key_Up:
      return vkUp;
    case Qt::Key_Right:
      return vkRight;
    case Qt::Key_Down:
      return vkDown;
    case Qt::Key_Delete:
      return vkDelete;
    default:
      return 0;
  }
}

TShiftState ShiftState(Qt::KeyboardModifiers modifiers) {
  TShiftState shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= ssShift;
  if (modifiers & Qt::AltModifier) shift |= ssAlt;
  if (modifiers & Qt::ControlModifier) shift |= ssCtrl;
  return shift;
}

}  // namespace quirabel::ui::qt
