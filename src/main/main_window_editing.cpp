// The designer's editing conveniences: the "Bearbeiten" menu, the keys on the page and the
// status bar.
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>

#include <filesystem>

#include "designer/document_window.h"
#include "designer/element_kinds.h"
#include "designer/page_format.h"
#include "main/designer_settings.h"
#include "main/main_window.h"

namespace quirabel::main {

namespace {

QString Millimetres(double value) { return QString::number(value, 'f', 1).replace('.', ','); }

constexpr const char* kRecentKey = "zuletztGeoeffnet";

QStringList RecentProjects() {
  return DesignerSettings().value(QString::fromUtf8(kRecentKey)).toStringList();
}

void SetRecentProjects(const QStringList& files) {
  DesignerSettings().setValue(QString::fromUtf8(kRecentKey), files);
}

}  // namespace

void MainWindow::BuildEditMenu() {
  app::EditCommands& edits = application_.Edits();
  auto add = [this](QMenu* menu, const char* text, QList<QKeySequence> keys, auto command) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setShortcuts(keys);
    connect(action, &QAction::triggered, this, [this, command] { Run(command); });
    documentActions_ << action;
    return action;
  };
  QMenu* edit = menuBar()->addMenu(QString::fromUtf8("&Bearbeiten"));
  undoAction_ =
      add(edit, "Rückgängig", {QKeySequence(Qt::CTRL | Qt::Key_Z)}, [&edits] { edits.Undo(); });
  redoAction_ =
      add(edit, "Wiederholen",
          {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
          [&edits] { edits.Redo(); });
  edit->addSeparator();
  add(edit, "Kopieren", {QKeySequence(Qt::CTRL | Qt::Key_C)}, [&edits] { edits.Copy(); });
  add(edit, "Einfügen", {QKeySequence(Qt::CTRL | Qt::Key_V)}, [&edits] { edits.Paste(); });
  add(edit, "Duplizieren", {QKeySequence(Qt::CTRL | Qt::Key_D)}, [&edits] { edits.Duplicate(); });
  add(edit, "Löschen", {QKeySequence(Qt::Key_Delete)}, [&edits] { edits.Delete(); });
}

bool MainWindow::PageKey(const QKeyEvent& event) {
  if (application_.DocumentWindow() == nullptr) return false;
  app::EditCommands& edits = application_.Edits();
  const int step = event.modifiers() & Qt::ShiftModifier ? 10 : 1;
  std::function<void()> command;
  switch (event.key()) {
    case Qt::Key_Left:
      command = [&edits, step] { edits.Nudge(-step, 0); };
      break;
    case Qt::Key_Right:
      command = [&edits, step] { edits.Nudge(step, 0); };
      break;
    case Qt::Key_Up:
      command = [&edits, step] { edits.Nudge(0, -step); };
      break;
    case Qt::Key_Down:
      command = [&edits, step] { edits.Nudge(0, step); };
      break;
    case Qt::Key_Tab:
      command = [&edits] { edits.SelectNext(true); };
      break;
    case Qt::Key_Backtab:
      command = [&edits] { edits.SelectNext(false); };
      break;
    case Qt::Key_Escape:
      command = [&edits] { edits.Escape(); };
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      command = [&edits] { edits.OpenProperties(); };
      break;
    default:
      return false;
  }
  Run(command);
  view_->update();
  return true;
}

void MainWindow::BuildStatusBar() {
  pointerLabel_ = new QLabel(this);
  elementLabel_ = new QLabel(this);
  zoomLabel_ = new QLabel(this);
  pointerLabel_->setMinimumWidth(150);
  statusBar()->addPermanentWidget(elementLabel_);
  statusBar()->addPermanentWidget(pointerLabel_);
  statusBar()->addPermanentWidget(zoomLabel_);
}

void MainWindow::ShowPointer(const QPointF& viewPosition) {
  designer::DocumentWindow* window = application_.DocumentWindow();
  if (window == nullptr || pointerLabel_ == nullptr) return;
  const ui::TPoint origin = window->Page().LayoutPanel().OriginIn(window->pageFrame);
  const double x = viewPosition.x() / view_->Zoom() - origin.x;
  const double y = viewPosition.y() / view_->Zoom() - origin.y;
  if (x < 0 || y < 0 || x > window->Page().LayoutPanel().Width() ||
      y > window->Page().LayoutPanel().Height()) {
    pointerLabel_->clear();
    return;
  }
  pointerLabel_->setText(QString::fromUtf8("Zeiger: x %1  y %2 mm")
                             .arg(Millimetres(designer::MillimetresAcross(x)),
                                  Millimetres(designer::MillimetresDown(y))));
}

void MainWindow::HideWindowsOfGoneElements() {
  dialogs::ElementWindow* windows[] = {application_.LabelWindow(), application_.TextWindow(),
                                       &application_.RectangleWindow(),
                                       &application_.CodeWindow()};
  for (dialogs::ElementWindow* window : windows) {
    if (window != nullptr) window->HideWhenElementGone();
  }
}

void MainWindow::ShowStatus() {
  HideWindowsOfGoneElements();
  if (zoomLabel_ == nullptr) return;
  zoomLabel_->setText(QString::number(qRound(view_->Zoom() * 100)) + QStringLiteral(" %"));
  designer::DocumentWindow* window = application_.DocumentWindow();
  const report::TPRItem* element = window != nullptr ? application_.Edits().Target() : nullptr;
  if (undoAction_ != nullptr) {
    undoAction_->setEnabled(window != nullptr && application_.Edits().CanUndo());
    redoAction_->setEnabled(window != nullptr && application_.Edits().CanRedo());
  }
  if (window == nullptr) pointerLabel_->clear();
  if (window != nullptr) {
    const bool unsaved = application_.State().unsavedChanges;
    documentWindow_->setWindowModified(unsaved);
    if (windowTitle().contains(QStringLiteral("[*]"))) setWindowModified(unsaved);
  }
  if (element == nullptr) {
    elementLabel_->clear();
    return;
  }
  elementLabel_->setText(
      QString::fromUtf8("%1: x %2  y %3  B %4  H %5 mm")
          .arg(QString::fromUtf8(designer::TypeOf(*element).word.data(),
                                 static_cast<qsizetype>(designer::TypeOf(*element).word.size())),
               Millimetres(designer::MillimetresAcross(element->Left())),
               Millimetres(designer::MillimetresDown(element->Top())),
               Millimetres(designer::MillimetresAcross(element->Width())),
               Millimetres(designer::MillimetresDown(element->Height()))));
}

void MainWindow::NoteRecentProject() {
  const std::string& name = application_.State().projectFileName;
  if (name == lastProjectName_ || application_.DocumentWindow() == nullptr) return;
  lastProjectName_ = name;
  std::error_code error;
  if (name == designer::kNewDocName || !std::filesystem::is_regular_file(name, error)) return;
  const QString file = QFileInfo(QString::fromStdString(name)).absoluteFilePath();
  QStringList files = RecentProjects();
  files.removeAll(file);
  files.prepend(file);
  while (files.size() > kRecentProjects) files.removeLast();
  SetRecentProjects(files);
}

void MainWindow::FillRecentMenu() {
  recentMenu_->clear();
  const QStringList files = RecentProjects();
  if (files.isEmpty()) {
    recentMenu_->addAction(QString::fromUtf8("(keine)"))->setEnabled(false);
    return;
  }
  int number = 0;
  for (const QString& file : files) {
    const QString text = QStringLiteral("&%1 %2").arg(++number).arg(QFileInfo(file).fileName());
    QAction* action = recentMenu_->addAction(text, this, [this, file] { OpenRecentProject(file); });
    action->setToolTip(file);
  }
}

void MainWindow::OpenRecentProject(const QString& file) {
  if (!QFileInfo(file).isFile()) {
    QStringList files = RecentProjects();
    files.removeAll(file);
    SetRecentProjects(files);
    Run([this, file] {
      platform_.ShowMessage("Die Datei „" + file.toStdString() +
                            "“ gibt es nicht mehr; sie wird aus der Liste genommen.");
    });
    return;
  }
  Run([this, file] {
    if (application_.SaveOnRequest()) application_.OpenProject(file.toStdString());
  });
}

void MainWindow::Confirm(const QString& text) { statusBar()->showMessage(text, 5000); }

}  // namespace quirabel::main
