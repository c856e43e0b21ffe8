#include "main/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QStandardPaths>
#include <QTimer>
#include <QToolBar>

#include "app/command_boundary.h"
#include "app/file_association.h"
#include "app/pdf_viewers.h"
#include "app/program_folder.h"
#include "designer/document_window.h"
#include "main/format_dialog.h"
#include "main/icons.h"
#include "app/picture_export.h"
#include "main/print_dialog.h"
#include "main/sheet_dialog.h"
#include "ui/qt/form_host.h"

namespace quirabel::main {

namespace {

// The frame's caption. The document window, maximised inside it, adds " - [its caption]", as
// multi-document frames do.
constexpr const char* kTitle = "Quirabel - Einfach PDF-Dokumente erstellen";

}  // namespace

MainWindow::MainWindow(app::Application& application, ui::qt::QtPlatform& platform)
    : application_(application), platform_(platform) {
  setWindowTitle(QString::fromUtf8(kTitle));
  // The sibling tools are built and installed beside the designer.
  serialPdf_.toolFolder = QCoreApplication::applicationDirPath().toStdString();
  scroll_ = new QScrollArea(this);
  scroll_->setBackgroundRole(QPalette::Dark);
  scroll_->setAlignment(Qt::AlignCenter);
  view_ = new ui::qt::PageView();
  scroll_->setWidget(view_);
  scroll_->setWidgetResizable(false);
  mdi_ = new LogoArea(this);
  documentWindow_ = mdi_->addSubWindow(scroll_);
  documentWindow_->setAttribute(Qt::WA_DeleteOnClose, false);
  documentWindow_->installEventFilter(this);
  documentWindow_->hide();
  setCentralWidget(mdi_);
  pageIndicator_ = new QLabel(QStringLiteral("-/-"));
  pageIndicator_->setObjectName(QStringLiteral("Label2"));
  pageIndicator_->setAlignment(Qt::AlignCenter);
  pageIndicator_->setMinimumWidth(64);
  pageIndicator_->setAutoFillBackground(true);
  pageIndicator_->setFrameShape(QFrame::StyledPanel);
  QPalette white = pageIndicator_->palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::WindowText, Qt::black);
  pageIndicator_->setPalette(white);
  QFont bold = pageIndicator_->font();
  bold.setBold(true);
  pageIndicator_->setFont(bold);
  platform_.SetWindow(this);
  platform_.OnInvalidate = [this](ui::Control&) { view_->update(); };
  view_->RunHandler = [this](const std::function<void()>& handler) {
    app::RunCommand(platform_, [&handler] {
      handler();
      return true;
    });
    ShowStatus();
  };
  view_->setFocusPolicy(Qt::StrongFocus);
  view_->installEventFilter(this);
  scroll_->viewport()->installEventFilter(this);
  BuildStatusBar();
  // Each document window gets its popup menus and property windows once, as it is made.
  application_.OnDocumentWindowMade = [this](designer::DocumentWindow& window) {
    window.OnPopup = [this](designer::ElementMenu popup, int, int) {
      QMenu menu(this);
      const bool hasProperties = designer::MenuHasProperties(popup);
      QAction* properties =
          hasProperties ? menu.addAction(QString::fromUtf8("Eigenschaften...")) : nullptr;
      QAction* remove = menu.addAction(QString::fromUtf8("Element löschen"));
      QAction* front = menu.addAction(QString::fromUtf8("In den Vordergrund"));
      QAction* chosen = menu.exec(QCursor::pos());
      if (chosen == nullptr) return;
      // The element that opened the menu is still inside its mouse handler: act once that returned.
      const int command = chosen == properties ? 0
                          : chosen == remove   ? 1
                          : chosen == front    ? 2
                                               : -1;
      if (command < 0) return;
      QTimer::singleShot(0, this, [this, popup, command] {
        Run([this, popup, command] {
          designer::DocumentWindow* current = application_.DocumentWindow();
          if (current == nullptr) return;
          if (command == 0) current->PopupPropertiesClick(popup);
          if (command == 1) current->PopupDeleteClick(popup);
          if (command == 2) current->PopupBringToFrontClick(popup);
        });
        view_->update();
      });
    };
    // The fold and perforation panel of orderable documents, a tool window at the right of the
    // main window, below its toolbars.
    designer::GuidePanel& panel = window.Guides().Panel();
    const QPoint corner = mapToGlobal(QPoint(width(), 0));
    panel.SetBounds(corner.x() - panel.Width() - 24, corner.y() + 120, panel.Width(),
                    panel.Height());
    HostForm(panel);
  };
  HostForm(application_.NewPageWindow());
  HostForm(application_.DeleteTemplatesWindow());
  HostForm(serialPdf_.SettingsWindow());
  HostForm(serialPdf_.FolderWindow());
  // A project named at the start hides the logo at once and opens a second later.
  startPending_ = application_.State().projectFileName != designer::kNewDocName;
  onlineWindows_ = std::make_unique<OnlineWindows>(
      platform_, application_.State().programFolder, this,
      [this](const std::function<void()>& handler) { Run(handler); });
  BuildMenus();
  Refresh();
  auto* timer1 = new QTimer(this);
  connect(timer1, &QTimer::timeout, this, [this] { Run([this] { OnEverySecond(); }); });
  timer1->start(1000);
  QTimer::singleShot(1000, this, [this] { Run([this] { OpenStartProject(); }); });
}

void MainWindow::HostForm(ui::TForm& form) {
  auto* host = new ui::qt::FormHost(form, this);
  host->RunHandler = [this](const std::function<void()>& handler) {
    Run(handler);
    view_->update();
  };
}

void MainWindow::BuildMenus() {
  // One action a command, shared by the menu and the toolbar; those that act on the document are
  // off while there is none.
  auto make = [this](const char* text, const char* hint, const char* icon, bool needsDocument,
                     auto command) {
    auto* action = new QAction(QString::fromUtf8(text), this);
    if (hint != nullptr) action->setToolTip(QString::fromUtf8(hint));
    if (icon != nullptr) action->setIcon(ToolIcon(QString::fromUtf8(icon)));
    connect(action, &QAction::triggered, this, [this, command] { Run(command); });
    if (needsDocument) documentActions_ << action;
    return action;
  };
  QAction* newAction =
      make("&Neu", "Neues Projekt erstellen", "new", false, [this] { NewDocument(); });
  newAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  QAction* openAction =
      make("Ö&ffnen", "Projekt öffnen", "open", false, [this] { application_.OpenClick(); });
  openAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  QAction* saveAction = make("&Speichern", "Projekt speichern", "save", true, [this] {
    if (application_.Save()) {
      ConfirmSaved();
    } else {
      Confirm(QString::fromUtf8("Nicht gespeichert"));
    }
  });
  saveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  QAction* saveAsAction = make("Speichern &unter..", "Projekt speichern unter einem neuen Namen",
                               "saveas", true, [this] {
                                 if (application_.SaveAs()) ConfirmSaved();
                               });
  QAction* exportAction =
      make("Als PDF- speichern unter...", "Projekt als PDF - Exportieren", "pdf", true, [this] {
        if (!application_.ExportPdf()) return;
        const std::filesystem::path pdf = application_.State().lastPdfFileName;
        Confirm(QString::fromUtf8("Exportiert: ") +
                QString::fromStdString(pdf.filename().string()));
      });
  QAction* pictureAction = make(
      "Als Bild speichern…", "Die Seite als PNG-Bild (300 dpi) oder als SVG-Vektorbild", nullptr,
      true, [this] {
        const designer::ProjectState& state = application_.State();
        const std::filesystem::path project = state.projectFileName;
        const auto file = application_.GetPlatform()->FileDialog(
            {"Als Bild speichern", "PNG-Bild (300 dpi)|*.png|SVG-Bild|*.svg",
             project.parent_path() / project.stem(), true});
        if (!file) return;
        const bool svg = std::filesystem::path(*file).extension() == ".svg";
        const std::string name = svg || std::filesystem::path(*file).extension() == ".png"
                                     ? *file
                                     : *file + ".png";
        if (app::ExportPicture(application_, name, svg ? app::PictureKind::svg : app::PictureKind::png,
                               state.currentPage - 1, 300, false)) {
          Confirm(QString::fromUtf8("Gespeichert: ") +
                  QString::fromStdString(std::filesystem::path(name).filename().string()));
        }
      });
  QAction* sheetAction =
      make("Druckbogen als PDF…", "Karten auf Druckbögen mit Schnittmarken", nullptr, true, [this] {
        SheetDialog window(
            [this](const report::SheetRequest& request) {
              return application_.PlanSheets(request);
            },
            this);
        const auto [front, back] = CardImagesOf(application_);
        window.SetCards(front, back);
        if (window.exec() != QDialog::Accepted) return;
        if (window.DuplexTestWanted()) {
          const std::string test = report::DuplexTestSheetPdf(window.Request().sheet);
          PrintPdfWithDialog(this, application_, test,
                             [this](const QString& line) { Confirm(line); });
          return;
        }
        if (window.PrintWanted()) {
          PrintWithDialog(this, application_, window.Request(),
                          [this](const QString& line) { Confirm(line); });
          return;
        }
        const auto cards = application_.ExportSheetPdf(window.Request());
        if (!cards) return;
        QStringList counts;
        for (const int n : *cards) counts << QString::number(n);
        Confirm(QString::fromUtf8("Karten je Bogen: ") + counts.join(QStringLiteral(", ")));
      });
  QAction* printAction =
      make("Drucken…", "Alle Seiten auf einem Drucker ausgeben", nullptr, true, [this] {
        PrintWithDialog(this, application_, std::nullopt,
                        [this](const QString& line) { Confirm(line); });
      });
  printAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  QAction* infoAction =
      make("Datei-Infos", nullptr, nullptr, true, [this] { application_.ProjectInfoClick(); });
  QAction* quitAction = make("Quirabel &Beenden", nullptr, nullptr, false, [this] { close(); });
  quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));

  QMenu* file = menuBar()->addMenu(QString::fromUtf8("&Datei"));
  file->addActions(
      {newAction, openAction, saveAction, saveAsAction, exportAction, pictureAction, sheetAction,
       printAction});
  file->addSeparator();
  file->addAction(infoAction);
  file->addSeparator();
  recentMenu_ = file->addMenu(QString::fromUtf8("Zuletzt geöffnet"));
  connect(recentMenu_, &QMenu::aboutToShow, this, [this] { FillRecentMenu(); });
  file->addSeparator();
  file->addAction(quitAction);
  BuildEditMenu();

  QAction* codeAction = make("Code (QR/Barcode)", "Einen QR-Code oder Strichcode einfügen", "code",
                             true, [this] { Arm("code"); });
  QMenu* insert = menuBar()->addMenu(QString::fromUtf8("E&infügen"));
  insert->addAction(codeAction);
  insert->addAction(
      make("Ellipse", "Eine Ellipse zeichnen", "ellipse", true, [this] { Arm("Ellipse"); }));

  QMenu* extras = menuBar()->addMenu(QString::fromUtf8("&Extras"));
  extras->addAction(
      make("Farben prüfen (CMYK)", nullptr, nullptr, true, [this] { application_.CheckInks(); }));
  extras->addSeparator();
  QMenu* templates = extras->addMenu(QString::fromUtf8("&Vorlagen"));
  templates->addAction(make("Vorlagen löschen", nullptr, nullptr, false,
                            [this] { application_.DeleteTemplatesClick(); }));
  extras->addSeparator();
  extras->addAction(make("Serien-PDF Einstellung", nullptr, nullptr, true,
                         [this] { serialPdf_.LinkToolClick(); }));
  extras->addAction(
      make("Serien-PDF ausgeben", nullptr, nullptr, true, [this] { serialPdf_.PrintClick(); }));
  extras->addAction(make("Alle in eine PDF-Datei", nullptr, nullptr, true,
                         [this] { serialPdf_.PrintClick(/*oneFile=*/true); }));
  extras->addAction(make("Serie drucken…", "Alle Zeilen der CSV-Datei als ein Druckauftrag",
                         nullptr, true, [this] {
                           if (!serialPdf_.PrepareRun()) return;
                           PrintSeriesWithDialog(this, application_, serialPdf_,
                                                 [this](const QString& line) { Confirm(line); });
                         }));
  extras->addSeparator();
  extras->addAction(make("Serien Mailer starten.. (Single Attachments)", nullptr, nullptr, false,
                         [this] { serialPdf_.MailToolClick(); }));

  QMenu* view = menuBar()->addMenu(QString::fromUtf8("&Ansicht"));
  // The property windows where they last stood; the elements open them at the cursor.
  view->addAction(make("&Label Eigenschaften", nullptr, nullptr, true,
                       [this] { application_.ShowLabelWindow(); }));
  view->addAction(make("Te&xt Eigenschaften", nullptr, nullptr, true,
                       [this] { application_.ShowTextWindow(); }));
  view->addAction(make("&Rechteck Eigenschaften", nullptr, nullptr, true,
                       [this] { application_.ShowRectangleWindow(); }));
  view->addSeparator();
  view->addAction(QString::fromUtf8("Vergrößern"), QKeySequence::ZoomIn,
                  [this] { view_->SetZoom(view_->Zoom() * 1.25); });
  view->addAction(QString::fromUtf8("Verkleinern"), QKeySequence::ZoomOut,
                  [this] { view_->SetZoom(view_->Zoom() * 0.8); });
  view->addAction(QString::fromUtf8("Originalgröße (100 %)"), QKeySequence(Qt::CTRL | Qt::Key_0),
                  [this] { view_->SetZoom(1.0); });
  view->addAction(QString::fromUtf8("An Fenster anpassen"), QKeySequence(Qt::CTRL | Qt::Key_9),
                  [this] { FitToWindow(); });

  // Where the program once offered a PDF reader's download: the desktop's own PDF viewer.
  QMenu* reader = menuBar()->addMenu(QString::fromUtf8("A&crobat"));
  reader->addAction(QString::fromUtf8("PDF-Betrachter des Systems &öffnen..."),
                    [this] { OpenSystemPdfViewer(); });

  QMenu* help = menuBar()->addMenu(QString::fromUtf8("&Hilfe"));
  help->addAction(ToolIcon(QStringLiteral("help")), QString::fromUtf8("Hilfe und Hinweise"),
                  QKeySequence::HelpContents, [this] { ShowHelp(); });
  help->addSeparator();
  help->addAction(QString::fromUtf8("Udate?"),
                  [this] { Run([this] { onlineWindows_->ShowNews(); }); });
  help->addAction(QString::fromUtf8("&About Quirabel"), [this] {
    auto* about = new AboutWindow(this);
    about->show();
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
  row1->addAction(codeAction);
  auto* grid = new QCheckBox(QString::fromUtf8("Rasterhilfe"));
  grid->setObjectName(QStringLiteral("CheckBox7"));
  grid->setToolTip(
      QString::fromUtf8("Automatische Rasterhilfe für Text und Rechteck/Strich Elemente"));
  connect(grid, &QCheckBox::toggled, this, [this](bool on) { application_.State().gridAid = on; });
  row1->addWidget(grid);
  row1->addAction(make("Bild", "Ein Bild einfügen (BMP,JPG,GIF,PNG)", "image", true,
                       [this] { application_.InsertPictureClick(); }));
  row1->addAction(make("Hintergrundfarbe", "Die Hintergrundfarbe ändern", "bgcolor", true,
                       [this] { application_.BackgroundColourClick(); }));
  row1->addAction(make("Hintergrundbild", "Ein Hintergrundbild laden", "bgimage", true,
                       [this] { application_.BackgroundPictureClick(); }));
  addToolBarBreak();
  QToolBar* row2 = addToolBar(QString::fromUtf8("Seiten und Ausgabe"));
  row2->addAction(
      make("<", "Vorherige Seite", "prev", true, [this] { application_.PreviousPageClick(); }));
  row2->addWidget(pageIndicator_);
  row2->addAction(
      make(">", "Nächste Seite", "next", true, [this] { application_.NextPageClick(); }));
  row2->addAction(
      make("goto", "Gehe zur Seite", "goto", true, [this] { application_.GotoClick(); }));
  row2->addAction(
      make("X", "Seite löschen", "delete", true, [this] { application_.DeletePageClick(); }));
  row2->addSeparator();
  row2->addAction(
      make("Vorschau", "Vorschau im PDF-Betrachter", "preview", true, [this] { Preview(); }));
  singlePage_ = make("Einzelseite", "Einzelseite als PDF speichern..", "single", true,
                     [this] { application_.SinglePageClick(); });
  row2->addAction(singlePage_);
  pageTemplate_ = make("Vorlage", dialogs::kSaveTemplateHint, "template", true,
                       [this] { application_.SaveTemplateClick(); });
  row2->addAction(pageTemplate_);
  for (QToolBar* row : {row1, row2}) row->setIconSize(QSize(24, 24));
}

void MainWindow::NewDocument() {
  application_.OnNewDocument();
  Refresh();
  // "&Neu" may have been cancelled at the save question: then the document stays.
  if (application_.DocumentWindow() != nullptr) return;
  FormatDialog format(application_.FormatWindow(), this);
  if (format.exec() != QDialog::Accepted) return;
  application_.CreateChosenDocument();
  Refresh();
}

void MainWindow::ConfirmSaved() {
  const std::filesystem::path project = application_.State().projectFileName;
  Confirm(QString::fromUtf8("Gespeichert: ") + QString::fromStdString(project.filename().string()));
}

void MainWindow::FitToWindow() {
  const ui::Control* root = view_->Root();
  if (root == nullptr || root->Width() <= 0 || root->Height() <= 0) return;
  const QSize room = scroll_->viewport()->size() - QSize(4, 4);
  view_->SetZoom(std::min(static_cast<double>(room.width()) / root->Width(),
                          static_cast<double>(room.height()) / root->Height()));
}

void MainWindow::ShowHelp() {
  if (help_ == nullptr) {
    help_ = new HelpWindow(this);
    bubble_ = new HelpBubble(*help_, this);
  }
  // The page comes with the program (share/help/de/quirabel beside its folder).
  const QString page = QString::fromStdString(
      app::InstalledHelpPage(QCoreApplication::applicationDirPath().toStdString()).string());
  if (!help_->Load(page)) {
    platform_.ShowMessage("Die Hilfeseite fehlt: " + page.toStdString());
    return;
  }
  // The bubble sits in the bottom right corner of the main window, the help page beside it.
  const QRect frame = geometry();
  bubble_->move(frame.right() - 80, frame.bottom() - 80);
  bubble_->show();
  help_->move(bubble_->x() + 26 - 280, bubble_->y() + 26 - 490);
  help_->show();
  help_->raise();
}

void MainWindow::OpenSystemPdfViewer() {
  std::vector<std::filesystem::path> folders{
      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString()};
  for (auto& folder : app::SystemDataFolders()) folders.push_back(std::move(folder));
  const std::vector<std::string> viewers = app::InstalledPdfViewers(folders);
  if (viewers.empty()) {
    platform_.ShowMessage(
        "Es ist kein PDF-Betrachter installiert. Die Vorschau zeigt die PDF-Datei auch ohne ihn; "
        "einen Betrachter installiert zum Beispiel \"apt install evince\" oder \"apt install "
        "okular\".");
    return;
  }
  std::string names;
  for (const std::string& viewer : viewers) names += (names.empty() ? "" : ", ") + viewer;
  if (application_.DocumentWindow() == nullptr) {
    platform_.ShowMessage("Installierte PDF-Betrachter: " + names +
                          ". Mit einem geöffneten Dokument zeigt dieser Befehl es im "
                          "Standard-Betrachter.");
    return;
  }
  // The document as PDF in the viewer the desktop opens PDF files with.
  const auto file = application_.PreviewPdf();
  Refresh();
  if (!file) return;
  if (!platform_.StartProgram("xdg-open", {file->string()})) {
    platform_.ShowMessage(
        "Der PDF-Betrachter kann nicht gestartet werden (xdg-open). Installierte "
        "PDF-Betrachter: " +
        names);
  }
}

void MainWindow::Arm(const char* mode) {
  if (designer::DocumentWindow* window = application_.DocumentWindow()) window->ArmCreation(mode);
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

void MainWindow::HostWindows() {
  // The text windows are made afresh with each document: each new one gets its host here.
  ui::TForm* forms[] = {application_.LabelWindow(), application_.TextWindow(),
                        &application_.RectangleWindow(), &application_.CodeWindow(),
                        &application_.DataFieldWindow()};
  for (ui::TForm* form : forms) {
    if (form == nullptr || ui::qt::FormHost::Of(*form) != nullptr) continue;
    auto* host = new ui::qt::FormHost(*form, this);
    host->RunHandler = [this](const std::function<void()>& handler) {
      app::RunCommand(platform_, [&handler] {
        handler();
        return true;
      });
      // What a window changes shows on the page at once.
      view_->update();
    };
  }
}

void MainWindow::OnEverySecond() {
  Refresh();
  // Online for one to nine seconds: the single-page button blinks (400 ms later).
  if (online_.Tick(localAddress()) && singlePage_ != nullptr) {
    QTimer::singleShot(400, this, [this] {
      onlineWindows_->OnlineNoticed();
      // The button's glyph and the hidden alternate change places.
      singleLit_ = !singleLit_;
      singlePage_->setIcon(
          ToolIcon(singleLit_ ? QStringLiteral("single_lit") : QStringLiteral("single")));
    });
  }
}

void MainWindow::OpenStartProject() {
  // Only the project named at the start: whatever was opened or saved meanwhile stays.
  if (!startPending_) return;
  startPending_ = false;
  application_.OpenStartProject();
  Refresh();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  const bool saved = app::RunCommand(platform_, [this] { return application_.SaveOnRequest(); });
  if (application_.DocumentWindow() != nullptr && !saved) {
    event->ignore();  // saving was wanted but did not happen: keep the work
    return;
  }
  // Online at the end of a run: the news, and the chance to check the version.
  if (online_.CountsOnline(localAddress())) onlineWindows_->ShowNewsModal();
  event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_) {
    if (event->type() == QEvent::KeyPress) return PageKey(static_cast<QKeyEvent&>(*event));
    if (event->type() == QEvent::MouseMove)
      ShowPointer(static_cast<QMouseEvent*>(event)->position());
    return false;
  }
  if (watched == scroll_->viewport() && event->type() == QEvent::MouseButtonPress) {
    // A click on the grey beside the page lets go of the element.
    Run([this] {
      if (designer::DocumentWindow* window = application_.DocumentWindow()) window->LetGo();
    });
    view_->update();
    return false;
  }
  if (watched == documentWindow_ && event->type() == QEvent::Close) {
    event->ignore();
    // After the close event is done with: the question is a modal window of its own.
    QTimer::singleShot(0, this, [this] { Run([this] { application_.CloseDocument(); }); });
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::Refresh() {
  designer::DocumentWindow* window = application_.DocumentWindow();
  for (QAction* action : documentActions_) action->setEnabled(window != nullptr);
  mdi_->SetLogoVisible(window == nullptr && !startPending_);
  HostWindows();
  if (window == nullptr) {
    HideWindowsOfGoneElements();
    documentWindow_->hide();
    view_->SetRoot(nullptr);
    pageIndicator_->setText(QStringLiteral("-/-"));
    return;
  }
  NoteRecentProject();
  const bool newPage = view_->Root() != window->pageFrame;
  view_->SetRoot(window->pageFrame);
  // Unsaved work shows as a star after the caption, the usual way.
  documentWindow_->setWindowTitle(QString::fromStdString(window->Caption()) +
                                  QStringLiteral("[*]"));

  if (!documentWindow_->isVisible()) documentWindow_->showMaximized();
  pageIndicator_->setText(QString::fromStdString(application_.State().PageIndicator()));
  // A new or opened card smaller than the window is shown as large as the window allows.
  if (newPage && window->pageFrame->Width() < scroll_->viewport()->width() &&
      window->pageFrame->Height() < scroll_->viewport()->height()) {
    FitToWindow();
  }
  ShowStatus();
  // Orderable documents keep out of the template folder.
  if (pageTemplate_ != nullptr) pageTemplate_->setEnabled(!application_.State().orderDocument);
}

}  // namespace quirabel::main
