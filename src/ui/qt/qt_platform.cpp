#include "ui/qt/qt_platform.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>

#include <vector>

#include "ui/controls.h"
#include "ui/qt/file_dialog.h"
#include "ui/qt/form_host.h"
#include "ui/qt/web_fetch.h"

namespace quirabel::ui::qt {

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string S(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

Qt::CursorShape CursorShape(TCursor cursor) {
  switch (cursor) {
    case crArrow:
      return Qt::ArrowCursor;
    case crCross:
      return Qt::CrossCursor;
    case crSizeNESW:
      return Qt::SizeBDiagCursor;
    case crSizeNS:
      return Qt::SizeVerCursor;
    case crSizeNWSE:
      return Qt::SizeFDiagCursor;
    case crSizeWE:
      return Qt::SizeHorCursor;
    case crUpArrow:
      return Qt::UpArrowCursor;
    case crHourGlass:
      return Qt::WaitCursor;
    case crHSplit:
      return Qt::SplitHCursor;
    case crVSplit:
      return Qt::SplitVCursor;
    case crHandPoint:
      return Qt::PointingHandCursor;
    case crHand:
      return Qt::ClosedHandCursor;
    case crMySize:
      return Qt::SizeFDiagCursor;
    case crKxc:
      return Qt::SizeAllCursor;
    default:
      return Qt::ArrowCursor;
  }
}

namespace {

bool StaysOnTop(const QWidget& window) {
  return window.isVisible() && (window.windowFlags() & Qt::WindowStaysOnTopHint) != 0;
}

}  // namespace

QWidget* DialogParent(QWidget* fallback) {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (StaysOnTop(*window)) return window;
  }
  return fallback;
}

void KeepAboveWindowsOnTop(QWidget& dialog) {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window != &dialog && StaysOnTop(*window)) {
      dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
      return;
    }
  }
}

void ShowMessageBox(QWidget* fallback, QMessageBox::Icon icon, const QString& title,
                    const QString& text) {
  QMessageBox box(icon, title, text, QMessageBox::Ok, DialogParent(fallback));
  KeepAboveWindowsOnTop(box);
  box.show();
  box.raise();
  box.activateWindow();
  box.exec();
}

void CloseOnEscape(QWidget& window) {
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
  escape->setContext(Qt::WindowShortcut);
  QObject::connect(escape, &QShortcut::activated, &window, [&window] { window.close(); });
}

void QtPlatform::ShowMessage(std::string_view text) {
  // Over the window that asked, which may be a tool window staying on top of the main window.
  ShowMessageBox(window_, QMessageBox::Information, QStringLiteral("Quirabel"), Q(text));
}

FetchResult QtPlatform::Fetch(const FetchRequest& request) {
  return FetchDocument(request, window_);
}

bool QtPlatform::OpenUrl(std::string_view url) {
  // The address is already encoded as it should go out.
  return QDesktopServices::openUrl(
      QUrl::fromEncoded(QByteArray(url.data(), static_cast<qsizetype>(url.size()))));
}

int QtPlatform::ShowModal(TForm& form) {
  // A window laid out by its own bounds has a host of its own.
  if (FormHost* host = FormHost::Of(form)) return host->ShowModal();
  // The form's own controls, each by its kind: labels, edit fields and buttons.
  QDialog dialog(DialogParent(window_));
  dialog.setWindowTitle(Q(form.Caption()));
  dialog.setMinimumWidth(380);
  auto* layout = new QVBoxLayout(&dialog);
  auto* fields = new QFormLayout();
  layout->addLayout(fields);
  auto* buttons = new QDialogButtonBox();
  std::vector<std::pair<TEdit*, QLineEdit*>> edits;
  int result = mrCancel;
  bool hasDefault = false;
  int labels = 0;
  for (Control* control : form.Controls()) {
    if (!control->Visible()) continue;
    if (auto* edit = dynamic_cast<TEdit*>(control)) {
      auto* line = new QLineEdit(Q(edit->Text()));
      line->setReadOnly(edit->ReadOnly());
      // The first field's suggestion is selected, so that typing replaces it.
      if (edits.empty()) line->selectAll();
      edits.emplace_back(edit, line);
      fields->addRow(Q(edit->Hint().empty() ? edit->Name() : edit->Hint()), line);
    } else if (auto* button = dynamic_cast<TButton*>(control)) {
      auto* push = buttons->addButton(Q(button->Caption()), QDialogButtonBox::ActionRole);
      const int modal = button->ModalResult();
      // Enter answers with the window's yes: its first OK or Yes button.
      if ((modal == mrOk || modal == mrYes) && !hasDefault) {
        push->setDefault(true);
        hasDefault = true;
      }
      QObject::connect(push, &QPushButton::clicked, &dialog, [&dialog, &result, modal] {
        result = modal;
        dialog.accept();
      });
    } else if (auto* label = dynamic_cast<TLabel*>(control)) {
      // The labels above the fields, in their order, each shown whole.
      auto* text = new QLabel(Q(label->Caption()));
      text->setWordWrap(true);
      layout->insertWidget(labels++, text);
    }
  }
  layout->addWidget(buttons);
  dialog.exec();
  if (result != mrCancel) {
    for (auto& [edit, line] : edits) edit->SetText(S(line->text()));
  }
  form.SetModalResult(result);
  return result;
}

std::optional<std::string> QtPlatform::FileDialog(const FileDialogRequest& request) {
  const QString filter = Q(request.filter);
  FileDialogChoice choice;
  choice.title = Q(request.title);
  choice.filter = QtFilter(filter);
  choice.start = Q(request.fileName);
  choice.mode = request.save ? FileDialogMode::Save : FileDialogMode::Open;
  // A name is saved with the first kind of the filter: "*.kxp" gives ".kxp".
  if (request.save) choice.extension = FirstExtension(filter);
  const QString name = ChooseFile(DialogParent(window_), choice);
  if (name.isEmpty()) return std::nullopt;
  return S(name);
}

std::optional<graphics::TColor> QtPlatform::ColorDialog(graphics::TColor initial) {
  // Our colours keep red in the low byte.
  const graphics::TColor rgb = graphics::ResolveSystemColor(initial);
  const QColor start(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
  // Over the window that asked: a tool window stays above the main window.
  const QColor chosen = QColorDialog::getColor(start, DialogParent(window_));
  if (!chosen.isValid()) return std::nullopt;
  return graphics::RGB(static_cast<std::uint8_t>(chosen.red()),
                       static_cast<std::uint8_t>(chosen.green()),
                       static_cast<std::uint8_t>(chosen.blue()));
}

QCursor MakeCursor(TCursor cursor) {
  // The program's own three cursors, drawn here: a four-way arrow for an element held, a
  // diagonal double arrow with a corner for the bottom-right handle, a cross with a corner for
  // the top-left handle.
  if (cursor != crHand && cursor != crMySize && cursor != crKxc)
    return QCursor(CursorShape(cursor));
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  auto arrowLine = [&painter](QPointF from, QPointF to) {
    painter.drawLine(from, to);
    const QLineF line(to, from);
    for (double turn : {30.0, -30.0}) {
      QLineF head = line;
      head.setLength(6);
      head.setAngle(line.angle() + turn);
      painter.drawLine(head);
    }
  };
  for (const auto& [width, colour] :
       {std::pair{4.0, QColor(Qt::white)}, std::pair{2.0, QColor(Qt::black)}}) {
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    if (cursor == crHand) {
      arrowLine({16, 16}, {16, 3});
      arrowLine({16, 16}, {16, 29});
      arrowLine({16, 16}, {3, 16});
      arrowLine({16, 16}, {29, 16});
    } else if (cursor == crMySize) {
      arrowLine({16, 16}, {5, 5});
      arrowLine({16, 16}, {27, 27});
      painter.drawRect(QRectF(18, 6, 8, 8));
    } else {
      painter.drawLine(QPointF(16, 4), QPointF(16, 28));
      painter.drawLine(QPointF(4, 16), QPointF(28, 16));
      painter.drawRect(QRectF(5, 5, 8, 8));
    }
  }
  painter.end();
  return QCursor(pixmap, 16, 16);
}

TPoint QtPlatform::CursorPosition() const {
  const QPoint at = QCursor::pos();
  return {at.x(), at.y()};
}

void QtPlatform::SetScreenCursor(TCursor cursor) {
  // The screen cursor overrides every window's own, as long as it is not the default.
  if (cursor_ != crDefault) QApplication::restoreOverrideCursor();
  cursor_ = cursor;
  if (cursor_ != crDefault) QApplication::setOverrideCursor(MakeCursor(cursor_));
}

void QtPlatform::Invalidate(Control& control) {
  if (OnInvalidate) OnInvalidate(control);
}

void QtPlatform::Progress(std::string_view label, std::uint64_t done, std::uint64_t total) {
  if (progress_ == nullptr) {
    progress_ = new QProgressDialog(window_);
    progress_->setWindowTitle(QStringLiteral("Laden/Speichern..."));
    progress_->setCancelButton(nullptr);
    progress_->setMinimumDuration(300);  // quick work shows no window at all
    progress_->setWindowModality(Qt::ApplicationModal);
    progressShown_.start();
  } else if (progressShown_.elapsed() < 40 && done < total) {
    return;  // a few dozen updates a second are enough for the eye
  }
  progressShown_.restart();
  progress_->setLabelText(Q(label));
  progress_->setMaximum(1000);
  progress_->setValue(total == 0 ? 0 : static_cast<int>(done * 1000 / total));
}

bool QtPlatform::CancellableProgress(std::string_view label, std::uint64_t done,
                                     std::uint64_t total) {
  if (progress_ == nullptr) {
    Progress(label, done, total);
    progress_->setCancelButtonText(QStringLiteral("Abbrechen"));
  } else {
    Progress(label, done, total);
  }
  // The press of "Abbrechen" must get through, so the person's input runs here too.
  QCoreApplication::processEvents();
  return !progress_->wasCanceled();
}

bool QtPlatform::StartProgram(const std::string& program,
                              const std::vector<std::string>& arguments) {
  QStringList list;
  for (const std::string& argument : arguments) list << Q(argument);
  return QProcess::startDetached(Q(program), list);
}

void QtPlatform::EndProgress() {
  delete progress_;
  progress_ = nullptr;
}

void QtPlatform::ProcessMessages() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace quirabel::ui::qt
