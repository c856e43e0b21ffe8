#include "main/main_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "designer/page_format.h"
#include "main/icons.h"

#include <tuple>

namespace quirabel::main {

namespace {

constexpr const char* kTitle = "Quirabel - Einfach PDF-Dokumente erstellen - ";

}  // namespace

MainWindow::MainWindow(app::Application& application, ui::qt::QtPlatform& platform)
    : application_(application), platform_(platform) {
  setWindowTitle(QString::fromUtf8(kTitle));
  scroll_ = new QScrollArea(this);
  scroll_->setBackgroundRole(QPalette::Dark);
  scroll_->setAlignment(Qt::AlignCenter);
  view_ = new ui::qt::PageView();
  scroll_->setWidget(view_);
  scroll_->setWidgetResizable(false);
  mdi_ = new QMdiArea(this);
  mdi_->setBackground(QColor(128, 128, 128));
  documentWindow_ = mdi_->addSubWindow(scroll_);
  documentWindow_->setAttribute(Qt::WA_DeleteOnClose, false);
  documentWindow_->installEventFilter(this);
  documentWindow_->hide();
  setCentralWidget(mdi_);
  pageIndicator_ = new QLabel(QStringLiteral("-/-"));
  platform_.SetWindow(this);
  platform_.OnInvalidate = [this](ui::Control&) { view_->update(); };
  BuildMenus();
  Refresh();
  auto* timer1 = new QTimer(this);
  connect(timer1, &QTimer::timeout, this, [this] { Timer1(); });
  timer1->start(1000);
}

void MainWindow::BuildMenus() {
  // One action a command, shared by the menu and the toolbar; those that act on the document are
  // off while there is none.
  auto make = [this](const char* text, const char* hint, const char* icon, bool needsDocument,
                     auto command) {
    auto* action = new QAction(QString::fromUtf8(text), this);
    if (hint != nullptr) action->setToolTip(QString::fromUtf8(hint));
    if (icon != nullptr) action->setIcon(ToolIcon(QString::fromUtf8(icon)));
    connect(action, &QAction::triggered, this, command);
    if (needsDocument) documentActions_ << action;
    return action;
  };
  QAction* newAction =
      make("&Neu", "Neues Projekt erstellen", "new", false, [this] { NewDocument(); });
  newAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  QAction* openAction = make("Ö&ffnen", "Projekt öffnen", "open", false, [this] {
    application_.OpenClick();
    Refresh();
  });
  openAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  QAction* saveAction = make("&Speichern", "Projekt speichern", "save", true, [this] {
    application_.Save();
    Refresh();
  });
  saveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  QAction* saveAsAction = make("Speichern &unter..", "Projekt speichern unter einem neuen Namen",
                               "saveas", true, [this] {
                                 application_.SaveAs();
                                 Refresh();
                               });
  QAction* exportAction =
      make("Als PDF- speichern unter...", "Projekt als PDF - Exportieren", "pdf", true, [this] {
        application_.ExportPdf();
        Refresh();
      });
  QAction* infoAction = make("Datei-Infos", nullptr, nullptr, true, [this] {
    dialogs::TForm24& info = application_.Form24();
    info.Refresh(application_.State().info);
    if (info.ShowModal() == ui::mrOk) application_.State().info = info.Info();
  });
  QAction* quitAction = make("Quirabel &Beenden", nullptr, nullptr, false, [this] { close(); });
  quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));

  QMenu* file = menuBar()->addMenu(QString::fromUtf8("&Datei"));
  file->addActions({newAction, openAction, saveAction, saveAsAction, exportAction});
  file->addSeparator();
  file->addAction(infoAction);
  file->addSeparator();
  file->addAction(quitAction);

  QMenu* view = menuBar()->addMenu(QString::fromUtf8("&Ansicht"));
  view->addAction(QString::fromUtf8("Vergrößern"), QKeySequence::ZoomIn,
                  [this] { view_->SetZoom(view_->Zoom() * 1.25); });
  view->addAction(QString::fromUtf8("Verkleinern"), QKeySequence::ZoomOut,
                  [this] { view_->SetZoom(view_->Zoom() * 0.8); });
  view->addAction(QString::fromUtf8("100 %"), [this] { view_->SetZoom(1.0); });

  QMenu* help = menuBar()->addMenu(QString::fromUtf8("&Hilfe"));
  help->addAction(QString::fromUtf8("Hilfe und Hinweise"), QKeySequence::HelpContents, [this] {
    auto* browser = new QTextBrowser();
    browser->setAttribute(Qt::WA_DeleteOnClose);
    browser->setWindowTitle(QString::fromUtf8("Hilfe und Hinweise"));
    browser->setSource(QUrl::fromLocalFile(
        QString::fromStdString(application_.State().programFolder) + "/help/start.html"));
    browser->resize(640, 560);
    browser->show();
  });
  help->addAction(QString::fromUtf8("&About Quirabel"), [this] {
    QMessageBox::about(
        this, QString::fromUtf8("Programm-Infos"),
        QString::fromUtf8("<b>Quirabel 2.2</b><br>Visitenkarten, Flyer und Faltkarten "
                          "gestalten und als PDF ausgeben."));
  });

  // Two rows of tools, as the program always had them.
  QToolBar* row1 = addToolBar(QString::fromUtf8("Projekt und Elemente"));
  row1->addActions({newAction, openAction, saveAction, saveAsAction, exportAction});
  row1->addSeparator();
  row1->addAction(make("Textzeile", "Ein Element Textzeile erstellen", "label", true,
                       [this] { Arm("label"); }));
  row1->addAction(
      make("Textfeld", "Element Textfeld erzeugen", "memo", true, [this] { Arm("memo"); }));
  row1->addAction(
      make("Rechteck", "Rechtecke / Striche zeichnen", "rect", true, [this] { Arm("Rect"); }));
  auto* grid = new QCheckBox(QString::fromUtf8("Rasterhilfe"));
  grid->setToolTip(
      QString::fromUtf8("Automatische Rasterhilfe für Text und Rechteck/Strich Elemente"));
  connect(grid, &QCheckBox::toggled, this, [this](bool on) { application_.State().gridAid = on; });
  row1->addWidget(grid);
  row1->addAction(
      make("Bild", "Ein Bild einfügen (BMP,JPG,GIF)", "image", true, [this] { InsertPicture(); }));
  row1->addAction(make("Hintergrundfarbe", "Die Hintergrundfarbe ändern", "bgcolor", true,
                       [this] { BackgroundColour(); }));
  row1->addAction(make("Hintergrundbild", "Ein Hintergrundbild laden", "bgimage", true,
                       [this] { BackgroundPicture(); }));
  addToolBarBreak();
  QToolBar* row2 = addToolBar(QString::fromUtf8("Seiten und Ausgabe"));
  // Page navigation and templates come with the pages of a project.
  for (const auto& [text, hint, icon] :
       {std::tuple{"<", "Vorherige Seite", "prev"}, std::tuple{"", "", ""},
        std::tuple{">", "Nächste Seite", "next"}, std::tuple{"goto", "Gehe zur Seite", "goto"},
        std::tuple{"X", "Seite löschen", "delete"}}) {
    if (*text == '\0') {
      row2->addWidget(pageIndicator_);
      continue;
    }
    QAction* page = make(text, hint, icon, false, [] {});
    page->setEnabled(false);
    row2->addAction(page);
  }
  row2->addSeparator();
  row2->addAction(
      make("Vorschau", "Vorschau im PDF-Betrachter", "preview", true, [this] { Preview(); }));
  singlePage_ = make("Einzelseite", "Einzelseite als PDF speichern..", "single", true,
                     [this] { SinglePagePdf(); });
  row2->addAction(singlePage_);
  QAction* pageTemplate =
      make("Vorlage", "Seite als Vorlage speichern..", "template", false, [] {});
  pageTemplate->setEnabled(false);
  row2->addAction(pageTemplate);
  for (QToolBar* row : {row1, row2}) row->setIconSize(QSize(24, 24));
}

void MainWindow::NewDocument() {
  application_.Neu1Click();
  Refresh();
  // The format window: a DIN format with an orientation, or free dimensions.
  dialogs::TForm9& form = application_.Form9();
  QDialog dialog(this);
  dialog.setWindowTitle(QString::fromUtf8("Format"));
  auto* layout = new QGridLayout(&dialog);
  auto* din = new QRadioButton(QString::fromUtf8("DIN"));
  auto* free = new QRadioButton(QString::fromUtf8("freie Maße "));
  din->setChecked(true);
  auto* a4 = new QRadioButton("A4");
  auto* a5 = new QRadioButton("A5");
  auto* a6 = new QRadioButton("A6");
  a4->setChecked(true);
  auto* sizes = new QButtonGroup(&dialog);
  sizes->addButton(a4);
  sizes->addButton(a5);
  sizes->addButton(a6);
  auto* portrait = new QRadioButton(QString::fromUtf8("Hochformat"));
  auto* landscape = new QRadioButton(QString::fromUtf8("Querformat"));
  portrait->setChecked(true);
  auto* orientation = new QButtonGroup(&dialog);
  orientation->addButton(portrait);
  orientation->addButton(landscape);
  auto* modes = new QButtonGroup(&dialog);
  modes->addButton(din);
  modes->addButton(free);
  auto* width = new QSpinBox();
  auto* height = new QSpinBox();
  for (QSpinBox* box : {width, height}) {
    box->setRange(1, 1188);
    box->setValue(150);
    box->setSuffix(" mm");
  }
  layout->addWidget(din, 0, 0);
  layout->addWidget(a4, 0, 1);
  layout->addWidget(a5, 0, 2);
  layout->addWidget(a6, 0, 3);
  layout->addWidget(portrait, 1, 1);
  layout->addWidget(landscape, 1, 2);
  layout->addWidget(free, 2, 0);
  layout->addWidget(new QLabel(QString::fromUtf8("Breite (mm)")), 2, 1);
  layout->addWidget(width, 2, 2);
  layout->addWidget(new QLabel(QString::fromUtf8("Höhe (mm)")), 3, 1);
  layout->addWidget(height, 3, 2);
  auto* create = new QDialogButtonBox();
  create->addButton(QString::fromUtf8("Dokument erstellen..."), QDialogButtonBox::AcceptRole);
  layout->addWidget(create, 4, 0, 1, 4);
  connect(create, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  if (dialog.exec() != QDialog::Accepted) return;
  form.DinChosen = din->isChecked();
  form.Din = a4->isChecked()   ? designer::DinSize::A4
             : a5->isChecked() ? designer::DinSize::A5
                               : designer::DinSize::A6;
  form.Landscape = landscape->isChecked();
  form.Edit1->SetText(std::to_string(width->value()));
  form.Edit2->SetText(std::to_string(height->value()));
  application_.Form9Button1Click();
  Refresh();
}

void MainWindow::Arm(const char* mode) {
  if (application_.Form2() == nullptr) return;
  application_.State().createMode = mode;
  platform_.SetScreenCursor(ui::crUpArrow);
}

void MainWindow::InsertPicture() {
  designer::TForm2* window = application_.Form2();
  if (window == nullptr) return;
  const auto file = platform_.FileDialog(
      {"Bitte wählen Sie ein Bild aus...",
       "Alle unterstützten Formate|*.bmp;*.jpg;*.jpeg;*.gif|BMP|*.bmp|JPG|*.jpg;*.jpeg|GIF|*.gif",
       "", false});
  if (file) window->InsertPicture(*file);
  Refresh();
}

void MainWindow::BackgroundColour() {
  designer::TForm2* window = application_.Form2();
  if (window == nullptr) return;
  const QColor colour = QColorDialog::getColor(Qt::white, this);
  if (!colour.isValid()) return;
  window->SetDocBackground(graphics::RGB(static_cast<std::uint8_t>(colour.red()),
                                         static_cast<std::uint8_t>(colour.green()),
                                         static_cast<std::uint8_t>(colour.blue())));
  Refresh();
}

void MainWindow::BackgroundPicture() {
  designer::TForm2* window = application_.Form2();
  if (window == nullptr) return;
  const auto file = platform_.FileDialog(
      {"Bildauswahl", "JPG-Files|*.jpg;*.jpeg|BMP-Files|*.bmp|GIF-Files|*.gif", "", false});
  if (file) window->SetDocBackgroundPicture(*file);
  Refresh();
}

void MainWindow::Preview() {
  const auto file = application_.PreviewPdf();
  Refresh();
  if (!file) return;
  if (preview_ == nullptr) preview_ = new PreviewWindow(this);
  if (!preview_->ShowFile(QString::fromStdString(file->string()))) {
    platform_.ShowMessage("Die Vorschau kann nicht angezeigt werden.");
  }
}

void MainWindow::SinglePagePdf() {
  designer::TForm2* window = application_.Form2();
  if (window == nullptr) return;
  const auto file = platform_.FileDialog({"", "PDF-Files|*.pdf", "", true});
  if (!file) return;
  window->SinglePageAsPdf(*file);
}

void MainWindow::Timer1() {
  Refresh();
  // Online for one to nine seconds: the single-page button blinks (Timer2, 400 ms later).
  if (online_.Tick(app::LocalAddress()) && singlePage_ != nullptr) {
    QTimer::singleShot(400, this, [this] {
      QFont font = singlePage_->font();
      font.setBold(!font.bold());
      singlePage_->setFont(font);
    });
  }
}

void MainWindow::OpenAtStart(const QString& file) {
  // One second after the start, as the program always did.
  QTimer::singleShot(1000, this, [this, file] {
    application_.OpenProject(file.toUtf8().toStdString());
    Refresh();
  });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (application_.Form2() != nullptr && !application_.SaveOnRequest()) {
    event->ignore();  // saving was wanted but did not happen: keep the work
    return;
  }
  event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == documentWindow_ && event->type() == QEvent::Close) {
    event->ignore();
    // After the close event is done with: the question is a modal window of its own.
    QTimer::singleShot(0, this, [this] {
      application_.CloseDocument();
      Refresh();
    });
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::Refresh() {
  designer::TForm2* window = application_.Form2();
  for (QAction* action : documentActions_) action->setEnabled(window != nullptr);
  if (window == nullptr) {
    documentWindow_->hide();
    view_->SetRoot(nullptr);
    pageIndicator_->setText(QStringLiteral("-/-"));
    setWindowTitle(QString::fromUtf8(kTitle));
    return;
  }
  view_->SetRoot(window->Panel1);
  documentWindow_->setWindowTitle(QString::fromStdString(window->Caption()));
  if (!documentWindow_->isVisible()) documentWindow_->showMaximized();
  window->OnPopup = [this, window](designer::TForm2::Popup popup, int, int) {
    QMenu menu(this);
    const bool hasProperties = popup != designer::TForm2::Popup::Image;
    QAction* properties =
        hasProperties ? menu.addAction(QString::fromUtf8("Eigenschaften...")) : nullptr;
    if (properties != nullptr) properties->setEnabled(false);  // the property windows come later
    QAction* remove = menu.addAction(QString::fromUtf8("Element löschen"));
    QAction* front = menu.addAction(QString::fromUtf8("In den Vordergrund"));
    QAction* chosen = menu.exec(QCursor::pos());
    // The element that opened the menu is still inside its mouse handler: act once that returned.
    if (chosen == remove || chosen == front) {
      const bool del = chosen == remove;
      QTimer::singleShot(0, this, [this, popup, del] {
        designer::TForm2* current = application_.Form2();
        if (current == nullptr) return;
        if (del) {
          current->PopupDeleteClick(popup);
        } else {
          current->PopupBringToFrontClick(popup);
        }
        view_->update();
      });
    }
  };
  pageIndicator_->setText(QString::fromStdString(application_.State().PageIndicator()));
  setWindowTitle(QString::fromUtf8(kTitle) + QString::fromStdString(window->Caption()));
}

}  // namespace quirabel::main
