#pragma once

#include <QAction>
#include <QLabel>
#include <QList>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollArea>

#include <functional>
#include <memory>
#include <string>

#include "app/application.h"
#include "app/command_boundary.h"
#include "app/online_check.h"
#include "app/serial_pdf.h"
#include "main/news_dialogs.h"
#include "main/preview_window.h"
#include "main/small_windows.h"
#include "ui/qt/form_host.h"
#include "ui/qt/page_view.h"
#include "ui/qt/qt_platform.h"

namespace quirabel::main {

// The main window on screen: menus and toolbar over the application's commands, and the page of
// the document window in a scrolling, zoomable view.
class MainWindow : public QMainWindow {
 public:
  MainWindow(app::Application& application, ui::qt::QtPlatform& platform);

  ui::qt::PageView& View() { return *view_; }
  LogoArea& Frame() { return *mdi_; }
  // Shows the document window's page, or the empty frame, and enables the document commands
  // exactly when there is a document.
  void Refresh();
  OnlineWindows& Online() { return *onlineWindows_; }
  // This machine's address, for the online check: looked up away from the window's thread, so a
  // slow name server never holds the window; tests give a loopback one.
  std::function<std::string()> localAddress = [watch = std::make_shared<app::LocalAddressWatch>()] {
    return watch->Latest();
  };

 protected:
  // Offers to save the open project before the window closes.
  void closeEvent(QCloseEvent* event) override;
  // Closing the document window asks first and frees the document.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Puts a headless window on the screen whenever it shows; its events run as commands.
  void HostForm(ui::TForm& form);
  void BuildMenus();
  // "Bearbeiten": undo, redo and the element commands, with their keys.
  void BuildEditMenu();
  // The keys on the page: arrows move the element (Shift: 10 pixels), Tab walks the elements,
  // Escape disarms a tool and then lets go, Enter opens the property window. True when taken.
  bool PageKey(const QKeyEvent& event);
  // The status bar: where the pointer is on the page, the element chosen and the zoom.
  void BuildStatusBar();
  void ShowPointer(const QPointF& viewPosition);
  void ShowStatus();
  // A property window whose element went (deleted, its page left) goes too.
  void HideWindowsOfGoneElements();
  // A short confirmation in the status bar ("Gespeichert: karte.kxp").
  void Confirm(const QString& text);
  void ConfirmSaved();
  // "Zuletzt geöffnet": the last eight projects opened or saved, kept in the settings.
  static constexpr int kRecentProjects = 8;
  void NoteRecentProject();
  void FillRecentMenu();
  void OpenRecentProject(const QString& file);
  // Runs an application command, then shows what it left.
  template <class Command>
  void Run(Command command) {
    app::RunCommand(platform_, [&command] {
      command();
      return true;
    });
    Refresh();
  }
  void NewDocument();
  // The page as large as the window shows it whole.
  void FitToWindow();
  // "Hilfe und Hinweise": the help page, and the bubble that brings it back.
  void ShowHelp();
  void Arm(const char* mode);
  // The entry of the "A&crobat" menu: the open document in the desktop's PDF viewer (xdg-open),
  // without one the installed viewers by name, or how to install one.
  void OpenSystemPdfViewer();
  // "Vorschau": every page as PDF in the preview window.
  void Preview();
  // Puts the application's tool windows (property and data-field windows) on the screen.
  void HostWindows();
  // Every second: the commands' state, the page indicator, and whether the machine is online.
  void OnEverySecond();
  // Once, a second after the start: the project named on the command line.
  void OpenStartProject();

  app::Application& application_;
  ui::qt::QtPlatform& platform_;
  app::SerialPdf serialPdf_{application_};
  ui::qt::PageView* view_;
  QLabel* pointerLabel_ = nullptr;
  QLabel* elementLabel_ = nullptr;
  QLabel* zoomLabel_ = nullptr;
  QAction* undoAction_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  std::string lastProjectName_;
  QAction* redoAction_ = nullptr;
  QScrollArea* scroll_;
  LogoArea* mdi_;
  // The document window inside the frame: the page in its scroll area.
  QMdiSubWindow* documentWindow_;
  QLabel* pageIndicator_;
  PreviewWindow* preview_ = nullptr;
  HelpWindow* help_ = nullptr;
  HelpBubble* bubble_ = nullptr;
  bool startPending_ = false;  // a project named at the start waits to be opened
  QAction* singlePage_ = nullptr;
  QAction* pageTemplate_ = nullptr;
  bool singleLit_ = false;  // the single-page button shows its alternate glyph
  app::OnlineCheck online_;
  std::unique_ptr<OnlineWindows> onlineWindows_;
  // Commands that need an open document.
  QList<QAction*> documentActions_;
};

}  // namespace quirabel::main
