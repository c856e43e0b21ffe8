#include "ui/qt/form_host.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include <exception>

#include "ui/qt/control_adapters.h"
#include "ui/qt/qt_canvas.h"
#include "ui/qt/qt_platform.h"

namespace quirabel::ui::qt {

// The form's own observer: its children have adapters, the form has the host.
class FormHost::FormObserver final : public ControlObserver {
 public:
  explicit FormObserver(FormHost& host) : host_(host) {}
  void ControlChanged(Control&) override { host_.FormChanged(); }
  void ControlFreed(Control&) override { host_.FormFreed(); }
  FormHost& host_;
};

FormHost::FormHost(TForm& form, QWidget* parent)
    : QWidget(parent, Qt::Dialog),
      form_(&form),
      formObserver_(std::make_unique<FormObserver>(*this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  scroll_ = new QScrollArea(this);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(false);
  layout->addWidget(scroll_);
  content_ = new QWidget();
  content_->setMouseTracking(true);
  content_->installEventFilter(this);
  scroll_->setWidget(content_);
  Build(form, content_);
  form.SetObserver(formObserver_.get());
  FormChanged();
  ContentChanged();
}

FormHost::~FormHost() {
  // The controls outlive their widgets here: they must stop telling.
  adapters_.clear();
  if (TForm* form = form_.Get(); form != nullptr && form->Observer() == formObserver_.get()) {
    form->SetObserver(nullptr);
  }
  if (modalLoop_ != nullptr) modalLoop_->quit();
}

FormHost* FormHost::Of(TForm& form) {
  auto* observer = dynamic_cast<FormObserver*>(form.Observer());
  return observer != nullptr ? &observer->host_ : nullptr;
}

void FormHost::Build(Control& control, QWidget* parentWidget) {
  for (Control* child : control.Controls()) {
    adapters_.push_back(MakeAdapter(*this, *child, parentWidget));
    QWidget* container = adapters_.back()->Container();
    Build(*child, container);
  }
}

QWidget* FormHost::WidgetOf(const Control& control) const {
  for (const auto& adapter : adapters_) {
    if (adapter->GetControl() == &control) return adapter->Widget();
  }
  return nullptr;
}

void FormHost::Dispatch(const std::function<void()>& action) {
  if (RunHandler) {
    RunHandler(action);
  } else {
    // Without a boundary of the application's, none the less no exception may leave through
    // Qt's event loop.
    try {
      action();
    } catch (const std::exception& error) {
      ShowMessageBox(this, QMessageBox::Critical, QStringLiteral("Quirabel"),
                     QString::fromUtf8(error.what()));
    }
  }
  if (modalLoop_ != nullptr) {
    TForm* form = form_.Get();
    if (form == nullptr || form->ModalResult() != mrNone) modalLoop_->quit();
  }
}

void FormHost::AnswerModal(TModalResult result) {
  TForm* form = form_.Get();
  if (modalLoop_ == nullptr || form == nullptr) return;
  form->SetModalResult(result);
  modalLoop_->quit();
}

TModalResult FormHost::ShowModal() {
  TForm* form = form_.Get();
  if (form == nullptr) return mrCancel;
  form->SetModalResult(mrNone);
  if (isVisible()) hide();  // a window takes its modality only as it comes up
  setWindowModality(Qt::ApplicationModal);
  QEventLoop loop;
  modalLoop_ = &loop;
  const QPointer<FormHost> self(this);
  form->Show();
  if (self && form_.Get() != nullptr && form_.Get()->Showing() &&
      form_.Get()->ModalResult() == mrNone) {
    loop.exec(QEventLoop::DialogExec);
  }
  // A handler may have freed the form, and with it this host.
  if (!self) return mrCancel;
  modalLoop_ = nullptr;
  form = form_.Get();
  if (form == nullptr) return mrCancel;
  TModalResult result = form->ModalResult();
  if (result == mrNone) result = mrCancel;
  form->SetModalResult(result);
  form->Hide();
  setWindowModality(Qt::NonModal);
  return result;
}

void FormHost::FormChanged() {
  TForm* form = form_.Get();
  if (form == nullptr) return;
  syncing_ = true;
  const QString title = QString::fromUtf8(form->Caption().c_str());
  if (windowTitle() != title) setWindowTitle(title);
  // A tool window: thin title bar with the close button only, above its parent window.
  const Qt::WindowFlags flags =
      form->ToolWindow()
          ? Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
          : Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (windowFlags() != flags) {
    const bool wasVisible = isVisible();
    setWindowFlags(flags);  // hides the window
    if (wasVisible) show();
  }
  const QSize client(form->Width(), form->Height());
  if (!client.isEmpty()) {
    if (form->ToolWindow()) {
      if (minimumSize() != client || maximumSize() != client) setFixedSize(client);
    } else {
      setMinimumSize(0, 0);
      setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
      if (size() != client) resize(client);
    }
  }
  QPalette palette = content_->palette();
  palette.setColor(QPalette::Window, ToQColor(form->Color()));
  content_->setPalette(palette);
  content_->setAutoFillBackground(true);
  const Qt::ScrollBarPolicy bars =
      form->AutoScroll() ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
  scroll_->setHorizontalScrollBarPolicy(bars);
  scroll_->setVerticalScrollBarPolicy(bars);

  if (form->Showing()) {
    if (!isVisible()) {
      PlaceOnScreen();
      show();
      raise();
      activateWindow();
    } else if (pos() != QPoint(form->Left(), form->Top())) {
      move(form->Left(), form->Top());
    }
  } else if (isVisible()) {
    hide();
    if (modalLoop_ != nullptr) modalLoop_->quit();
  }
  syncing_ = false;
  ContentChanged();
}

void FormHost::PlaceOnScreen() {
  TForm* form = form_.Get();
  if (!placed_ && form->Position() == TFormPosition::poScreenCenter) {
    QScreen* screen =
        parentWidget() != nullptr ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QPoint corner = area.center() - QPoint(form->Width() / 2, form->Height() / 2);
    // Where it stands now is where it comes back next time.
    form->SetBounds(corner.x(), corner.y(), form->Width(), form->Height());
  }
  placed_ = true;
  move(form->Left(), form->Top());
}

void FormHost::FormFreed() {
  // The adapters stay until the host goes: one of them may be running the handler that freed
  // the form. Each lets go of its control as the control is freed.
  form_.Reset();
  if (modalLoop_ != nullptr) modalLoop_->quit();
  hide();
  deleteLater();
}

void FormHost::ContentChanged() {
  TForm* form = form_.Get();
  if (form == nullptr) return;
  // The scrolled area holds the client area and every visible control, wherever it stands.
  QRect extent(0, 0, form->Width(), form->Height());
  for (Control* child : form->Controls()) {
    if (child->Visible())
      extent |= QRect(child->Left(), child->Top(), child->Width(), child->Height());
  }
  const QSize size(extent.right() + 1, extent.bottom() + 1);
  if (content_->size() != size) content_->resize(size);
}

void FormHost::closeEvent(QCloseEvent* event) {
  // Closing only hides: the form says so after its OnClose.
  event->ignore();
  if (form_.Get() == nullptr) {
    hide();
    return;
  }
  const ComponentRef<TForm> form = form_;
  Dispatch([&form] {
    if (TForm* f = form.Get()) f->Close();
  });
}

void FormHost::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  // Enter in a window that waits for an answer presses the button the person is on, else the
  // one that accepts, as in any dialog. A window that stays open beside the page has no such
  // button: Enter there ends an entry, nothing more.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && modalLoop_ != nullptr &&
      (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    if (QPushButton* button = AcceptingButton()) {
      button->click();
      return;
    }
  }
  QWidget::keyPressEvent(event);
}

QPushButton* FormHost::AcceptingButton() const {
  if (auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
      focused != nullptr && isAncestorOf(focused) && focused->isEnabled()) {
    return focused;
  }
  for (const auto& adapter : adapters_) {
    const auto* button = dynamic_cast<const TButton*>(adapter->GetControl());
    auto* push = qobject_cast<QPushButton*>(adapter->Widget());
    if (button != nullptr && push != nullptr && button->ModalResult() == mrOk &&
        push->isVisible() && push->isEnabled()) {
      return push;
    }
  }
  return nullptr;
}

void FormHost::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  TForm* form = form_.Get();
  // The person moved the window: it comes back there.
  if (form == nullptr || syncing_ || !isVisible()) return;
  form->SetBounds(pos().x(), pos().y(), form->Width(), form->Height());
}

bool FormHost::eventFilter(QObject* watched, QEvent* event) {
  if (watched == content_ && event->type() == QEvent::MouseMove) {
    const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    const TShiftState shift = ShiftState(static_cast<QMouseEvent*>(event)->modifiers());
    const ComponentRef<TForm> form = form_;
    Dispatch([&form, at, shift] {
      if (TForm* f = form.Get()) f->MouseMove(shift, at.x(), at.y());
    });
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace quirabel::ui::qt
