// The real Qt windows on the offscreen platform: a document made, a text line armed and created by
// a click on the page at 100 % and 200 % zoom, saved and exported.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "app/program_folder.h"
#include "app/serial_pdf.h"
#include "base/atomic_file.h"
#include "designer/document_window.h"
#include "dialogs/serial_windows.h"
#include "graphics/jpeg.h"
#include "linktool/link_tool_window.h"
#include "main/main_window.h"
#include "serial/link_file.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"
#include "ui/qt/form_host.h"

namespace quirabel {
namespace {

QAction* ToolAction(QMainWindow& window, const QString& text) {
  for (QAction* action : window.findChildren<QAction*>()) {
    if (action->text() == text) return action;
  }
  return nullptr;
}

// Our windows carry no meta-object of their own, so they are found by their real type.
template <class T>
T* Find(QObject& parent) {
  for (QObject* child : parent.findChildren<QObject*>()) {
    if (auto* found = dynamic_cast<T*>(child)) return found;
  }
  return nullptr;
}

// A person answering the modal windows as they come up, in order: each step looks at the
// window on top and acts when it is the one it expects.
class ModalScript {
 public:
  using Step = std::function<bool(QWidget&)>;
  explicit ModalScript(std::deque<Step> steps) : steps_(std::move(steps)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal != nullptr && !steps_.empty() && steps_.front()(*modal)) steps_.pop_front();
    });
    timer_.start(10);
  }
  bool Done() const { return steps_.empty(); }

  // Closes the next message box with its OK, keeping its text in `told`.
  static Step AcceptMessage(QString& told) {
    return [&told](QWidget& modal) {
      auto* box = qobject_cast<QMessageBox*>(&modal);
      if (box == nullptr) return false;
      told = box->text();
      box->accept();
      return true;
    };
  }
  // Clicks the button of that caption in the window of that title.
  static Step Click(const char* title, const char* button) {
    return [title, button](QWidget& modal) {
      if (modal.windowTitle() != QString::fromUtf8(title)) return false;
      for (auto* push : modal.findChildren<QPushButton*>()) {
        if (push->text() == QString::fromUtf8(button)) {
          push->click();
          return true;
        }
      }
      return false;
    };
  }
  // Types a file name into a file dialog and accepts it.
  static Step ChooseFile(std::filesystem::path file) {
    return [file](QWidget& modal) {
      auto* dialog = qobject_cast<QFileDialog*>(&modal);
      if (dialog == nullptr) return false;
      // As a person does it: the folder, then the name typed into the name field.
      dialog->setDirectory(QString::fromStdString(file.parent_path().string()));
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (name == nullptr) return false;
      name->setText(QString::fromStdString(file.filename().string()));
      static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
      // A dialog still reading its folder may not take the name yet: then again next time.
      return !dialog->isVisible();
    };
  }
  // Types into the first edit field and clicks a button.
  static Step Type(const char* title, const char* text, const char* button) {
    return [title, text, button](QWidget& modal) {
      if (modal.windowTitle() != QString::fromUtf8(title)) return false;
      auto* edit = modal.findChild<QLineEdit*>();
      if (edit == nullptr) return false;
      edit->setText(QString::fromUtf8(text));
      return Click(title, button)(modal);
    };
  }

 private:
  std::deque<Step> steps_;
  QTimer timer_;
};

// The designer's main window with a new A6 document, as a person would have it after "Neu".
class DesignerWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing::FreshTestFolder("designer_");
    application = std::make_unique<app::Application>(platform, folder.string());
    window = std::make_unique<main::MainWindow>(*application, platform);
    // Not online: closing shows no news window.
    window->localAddress = [] { return std::string("127.0.0.1"); };
    window->resize(900, 700);
    window->show();
    ASSERT_TRUE(application->NewDocument(designer::DinFormat(designer::DinSize::A6, false)));
    window->Refresh();
    fittedZoom = window->View().Zoom();
    window->View().SetZoom(1.0);  // the tests place the mouse in page pixels
  }
  void TearDown() override {
    window.reset();
    application.reset();
    std::filesystem::remove_all(folder);
  }

  std::filesystem::path folder;
  ui::qt::QtPlatform platform;
  std::unique_ptr<app::Application> application;
  std::unique_ptr<main::MainWindow> window;
  double fittedZoom = 0;
};

TEST_F(DesignerWindow, ArmedClickCreatesATextLineWhereTheMouseIs) {
  ui::qt::PageView& view = window->View();
  designer::DocumentWindow& form = *application->DocumentWindow();

  for (double zoom : {1.0, 2.0}) {
    view.SetZoom(zoom);
    QAction* arm = ToolAction(*window, QString::fromUtf8("Textzeile"));
    ASSERT_NE(arm, nullptr);
    arm->trigger();
    EXPECT_EQ(platform.ScreenCursor(), ui::crUpArrow);
    // The page sits at (32, 32) in its frame; page pixel (60, 80 * zoom) under the pointer.
    const int pageX = 60;
    const int pageY = zoom == 1.0 ? 80 : 200;
    const QPoint at(static_cast<int>((32 + pageX + 0.5) * zoom),
                    static_cast<int>((32 + pageY + 0.5) * zoom));
    QTest::mouseMove(&view, at);
    QTest::mouseClick(&view, Qt::LeftButton, {}, at);
    EXPECT_EQ(platform.ScreenCursor(), ui::crDefault);
    const auto elements = form.Page().Elements();
    ASSERT_FALSE(elements.empty());
    report::TPRItem* label = elements.back().item;
    EXPECT_EQ(label->Caption(), "Text Label");
    EXPECT_EQ(label->Left(), pageX);
    EXPECT_EQ(label->Top(), pageY);
  }

  // The preview shows the whole project as a PDF.
  QAction* preview = ToolAction(*window, QString::fromUtf8("Vorschau"));
  ASSERT_NE(preview, nullptr);
  preview->trigger();
  auto* previewWindow = Find<main::PreviewWindow>(*window);
  ASSERT_NE(previewWindow, nullptr);
  EXPECT_TRUE(previewWindow->isVisible());
  EXPECT_TRUE(std::filesystem::exists(folder / "showdef.pdf"));
}

// "Speichern" and "Als PDF- speichern unter..." through their windows: the project information,
// then the file dialog, as a person answers them.
TEST_F(DesignerWindow, SaveAndExportThroughTheirWindows) {
  auto& label = application->DocumentWindow()->Page().CreateElement(designer::ElementKind::Label);
  label.SetBounds(30, 40, 100, 17);
  label.SetCaption("Text Label");
  {
    ModalScript person({ModalScript::Type("Projektinfos", "Sommerfest", "Übernehmen"),
                        ModalScript::ChooseFile(folder / "karte")});
    ToolAction(*window, QString::fromUtf8("&Speichern"))->trigger();
    EXPECT_TRUE(person.Done());
  }
  EXPECT_EQ(application->State().projectFileName, (folder / "karte.kxp").string());
  const std::string project = ReadFile(folder / "karte.kxp", 1 << 24);
  EXPECT_NE(project.find("Sommerfest"), std::string::npos);
  EXPECT_EQ(window->windowTitle().toStdString(),
            "Quirabel - Einfach PDF-Dokumente erstellen - [Format: [148mm x 105mm] Name: [" +
                (folder / "karte.kxp").string() + "][*]]")
      << window->windowTitle().toStdString();
  {
    ModalScript person({ModalScript::Click("Projektinfos", "Übernehmen"),
                        ModalScript::ChooseFile(folder / "karte")});
    ToolAction(*window, QString::fromUtf8("Als PDF- speichern unter..."))->trigger();
    EXPECT_TRUE(person.Done());
  }
  const std::string pdf = ReadFile(folder / "karte.pdf", 1 << 24);
  EXPECT_TRUE(testing::IsValidPdf(pdf));
  EXPECT_NE(pdf.find("(Text Label) Tj"), std::string::npos);
  EXPECT_NE(pdf.find("/Title (Sommerfest)"), std::string::npos);
}

// Every save dialog asks before replacing the file that will be written, also when the name is
// typed without its extension: "Nein" keeps the file and the dialog open, "Ja" replaces it.
TEST_F(DesignerWindow, SaveDialogsAskForTheNameWrittenWithItsExtension) {
  ASSERT_TRUE(application->SaveProjectTo((folder / "karte.kxp").string()));
  using Steps = std::deque<ModalScript::Step>;
  const struct {
    const char* command;
    Steps before;  // the windows before the file dialog
    const char* typed;
    const char* written;
  } dialogs[] = {
      {"Speichern &unter..", {}, "karte2", "karte2.kxp"},
      {"Als PDF- speichern unter...",
       {ModalScript::Click("Projektinfos", "Übernehmen")},
       "druck",
       "druck.pdf"},
      {"Druckbogen als PDF…",
       {ModalScript::Click("Druckbogen als PDF", "Speichern…"),
        ModalScript::Click("Projektinfos", "Übernehmen")},
       "bogen",
       "bogen.pdf"},
      {"Einzelseite", {}, "seite.v2", "seite.v2.pdf"},
      {"Als Bild speichern…", {}, "bild", "bild.png"},
      // A name with the extension of the other type offered keeps it.
      {"Als Bild speichern…", {}, "bild.svg", "bild.svg"},
  };
  for (const auto& d : dialogs) {
    SCOPED_TRACE(d.command);
    const std::filesystem::path written = folder / d.written;
    for (const char* answer : {"Nein", "Ja"}) {
      WriteFileAtomic(written, "ein anderes Dokument");
      Steps steps = d.before;
      // The name typed as a person types it; the dialog is accepted as its button does.
      steps.push_back([&](QWidget& modal) {
        auto* dialog = qobject_cast<QFileDialog*>(&modal);
        if (dialog == nullptr) return false;
        dialog->setDirectory(QString::fromStdString(folder.string()));
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(d.typed);
        static_cast<QDialog*>(dialog)->accept();
        return true;
      });
      // After "Nein" the dialog is still there: cancelled.
      if (answer == std::string("Nein")) {
        steps.push_back([](QWidget& modal) {
          auto* dialog = qobject_cast<QFileDialog*>(&modal);
          if (dialog != nullptr) dialog->reject();
          return dialog != nullptr;
        });
      }
      QString asked;
      // The question comes while the file dialog waits, so a second person answers it.
      ModalScript questions({[&asked, answer](QWidget& modal) {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        if (box == nullptr || !box->text().contains(QStringLiteral("Ersetzen?"))) return false;
        asked = box->text();
        return ModalScript::Click("Quirabel", answer)(modal);
      }});
      ModalScript person(std::move(steps));
      ToolAction(*window, QString::fromUtf8(d.command))->trigger();
      EXPECT_TRUE(person.Done());
      EXPECT_TRUE(questions.Done());
      EXPECT_TRUE(asked.startsWith(QString::fromUtf8("„") + d.written + QString::fromUtf8("“")))
          << asked.toStdString();
      EXPECT_EQ(ReadFile(written, 1 << 24) == "ein anderes Dokument", answer == std::string("Nein"))
          << answer;
      // The confirmation in the status bar is no modal window; nothing else is left open.
      EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
  }
}

// "Öffnen" through its dialog: a file that is no project is reported and the open document stays;
// a project opens on its first page.
TEST_F(DesignerWindow, OpenThroughTheDialog) {
  auto& label = application->DocumentWindow()->Page().CreateElement(designer::ElementKind::Label);
  label.SetCaption("Gespeichert");
  ASSERT_TRUE(application->SaveProjectTo((folder / "karte.kxp").string()));
  WriteFileAtomic(folder / "brief.kxp", "Lieber Kunde, ...");
  designer::DocumentWindow* before = application->DocumentWindow();
  QString told;
  {
    // Saved just now: nothing to ask about.
    ModalScript person(
        {ModalScript::ChooseFile(folder / "brief.kxp"), ModalScript::AcceptMessage(told)});
    ToolAction(*window, QString::fromUtf8("Ö&ffnen"))->trigger();
    EXPECT_TRUE(person.Done());
  }
  EXPECT_TRUE(told.startsWith(QString::fromUtf8("Die Datei ist keine Quirabel-Projektdatei")))
      << told.toStdString();
  EXPECT_EQ(application->DocumentWindow(), before);
  {
    ModalScript person({ModalScript::ChooseFile(folder / "karte.kxp")});
    ToolAction(*window, QString::fromUtf8("Ö&ffnen"))->trigger();
    EXPECT_TRUE(person.Done());
  }
  ASSERT_NE(application->DocumentWindow(), nullptr);
  EXPECT_EQ(window->View().Root(), application->DocumentWindow()->pageFrame);
  EXPECT_EQ(application->DocumentWindow()->Page().Elements().size(), 1u);
  EXPECT_EQ(application->State().projectFileName, (folder / "karte.kxp").string());
}

// "Udate?" shows the news window; closing the program while the machine counts as online shows
// it once more, modally, and "Beenden" ends the run.
TEST_F(DesignerWindow, NewsWindowFromTheMenuAndAtTheEndWhenOnline) {
  QAction* news = ToolAction(*window, QString::fromUtf8("Udate?"));
  ASSERT_NE(news, nullptr);
  EXPECT_TRUE(news->isEnabled());
  news->trigger();
  EXPECT_TRUE(window->Online().newsDialog->isVisible());
  EXPECT_FALSE(window->Online().newsDialog->isModal());
  window->Online().newsDialog->hide();
  window->Online().update.ShowVersion({"2.3", "https://www.quirabel.de/", ""});
  EXPECT_TRUE(window->Online().updateDialog->isVisible());

  window->localAddress = [] { return std::string("10.1.2.3"); };
  bool sawModalNews = false;
  // The document has no changes: no save question before the news.
  ModalScript person({[&sawModalNews](QWidget& modal) {
    sawModalNews = true;
    return ModalScript::Click("Quirabel News, Meinungen und Vorschläge", "Beenden")(modal);
  }});
  EXPECT_TRUE(window->close());
  EXPECT_TRUE(person.Done());
  EXPECT_TRUE(sawModalNews);
  EXPECT_FALSE(window->Online().newsDialog->isVisible());
  EXPECT_FALSE(window->Online().updateDialog->isVisible());  // nothing keeps the program alive
}

// Closing the designer after "Ja" at the save question, then cancelling the name: nothing was
// saved, so the window stays with the document.
TEST_F(DesignerWindow, ClosingKeepsWorkThatWasNotSaved) {
  application->DocumentWindow()->CreateArmedElement();
  application->Edits().Record();
  {
    ModalScript person({ModalScript::Click("Sichern..", "Ja"), [](QWidget& modal) {
                          auto* dialog = qobject_cast<QFileDialog*>(&modal);
                          if (dialog == nullptr) return false;
                          dialog->reject();
                          return true;
                        }});
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(person.Done());
  }
  EXPECT_TRUE(window->isVisible());
  EXPECT_NE(application->DocumentWindow(), nullptr);
  // Escape at the question keeps the program and the document.
  {
    ModalScript person({[](QWidget& modal) {
      if (modal.windowTitle() != QString::fromUtf8("Sichern..")) return false;
      QTest::keyClick(&modal, Qt::Key_Escape);
      return true;
    }});
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(person.Done());
  }
  EXPECT_NE(application->DocumentWindow(), nullptr);
  {
    ModalScript person({ModalScript::Click("Sichern..", "Nein")});
    EXPECT_TRUE(window->close());
  }
}

// The page buttons: "X" on the only page is refused with the system's message; "goto" asks for a
// number in its own window.
TEST_F(DesignerWindow, PageButtonsAskThroughTheirWindows) {
  {
    ModalScript person({[](QWidget& modal) {
      auto* box = qobject_cast<QMessageBox*>(&modal);
      if (box == nullptr) return false;
      EXPECT_EQ(box->text(), QString::fromUtf8(dialogs::kOnlyOnePage));
      box->accept();
      return true;
    }});
    ToolAction(*window, QStringLiteral("X"))->trigger();
    EXPECT_TRUE(person.Done());
  }
  EXPECT_EQ(application->State().pageCount, 1);
  {
    ModalScript person({ModalScript::Type("Gehe zur Seite", "1", "go->")});
    ToolAction(*window, QStringLiteral("goto"))->trigger();
    EXPECT_TRUE(person.Done());
  }
  EXPECT_EQ(application->State().currentPage, 1);
}

// Editing as people expect it: a card smaller than the window opens fitted to it, the status bar
// tells where the pointer is in millimetres, Ctrl+Z puts a dragged element back, and Entf followed
// by a click on the page is harmless.
TEST_F(DesignerWindow, UndoKeysAndStatusBar) {
  EXPECT_GT(fittedZoom, 1.0);
  ui::qt::PageView& view = window->View();
  designer::DocumentWindow& form = *application->DocumentWindow();
  auto& rect = form.Page().CreateElement(designer::ElementKind::Rect);
  rect.SetBounds(60, 80, 100, 40);
  application->Edits().Record();
  auto at = [](int x, int y) { return QPoint(32 + x, 32 + y); };
  QTest::mousePress(&view, Qt::LeftButton, {}, at(70, 90));
  for (int step = 1; step <= 4; ++step) QTest::mouseMove(&view, at(70 + 10 * step, 90 + 5 * step));
  QTest::mouseRelease(&view, Qt::LeftButton, {}, at(110, 110));
  ASSERT_NE(rect.Left(), 60);
  const auto status = window->findChildren<QLabel*>();
  bool showsMillimetres = false;
  for (QLabel* label : status) showsMillimetres |= label->text().contains(QStringLiteral(" mm"));
  EXPECT_TRUE(showsMillimetres);

  view.setFocus();
  // The event loop runs between a drag and the next key, as it does for a person: the window
  // becomes active, which its shortcuts need.
  QCoreApplication::processEvents();
  QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
  ASSERT_EQ(form.Page().Elements().size(), 1u);
  report::TPRItem& back = *form.Page().Elements().front().item;
  EXPECT_EQ(back.Left(), 60);
  EXPECT_EQ(back.Top(), 80);

  // The arrow keys move it, Entf deletes it, and a click where it was finds nothing.
  QTest::mouseClick(&view, Qt::LeftButton, {}, at(70, 90));
  QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(form.Page().Elements().front().item->Left(), 70);
  QTest::keyClick(window.get(), Qt::Key_Delete);
  EXPECT_TRUE(form.Page().Elements().empty());
  QTest::mouseClick(&view, Qt::LeftButton, {}, at(75, 95));
  QTest::mouseMove(&view, at(80, 100));
  EXPECT_TRUE(form.Page().Elements().empty());
}

// "Zuletzt geöffnet" lists what was saved; a project that is gone is dropped with a message.
TEST_F(DesignerWindow, RecentProjectsMenu) {
  ASSERT_TRUE(application->SaveProjectTo((folder / "karte.kxp").string()));
  window->Refresh();
  QMenu* recent = nullptr;
  for (QMenu* menu : window->findChildren<QMenu*>())
    if (menu->title() == QString::fromUtf8("Zuletzt geöffnet")) recent = menu;
  ASSERT_NE(recent, nullptr);
  QMetaObject::invokeMethod(recent, "aboutToShow");
  ASSERT_FALSE(recent->actions().isEmpty());
  // Other tests of this run may have saved projects of the same name elsewhere: the entry is
  // known by its whole path.
  const QString path = QString::fromStdString((folder / "karte.kxp").string());
  QAction* first = recent->actions().front();
  EXPECT_EQ(first->toolTip(), path);

  std::filesystem::remove(folder / "karte.kxp");
  QString told;
  {
    ModalScript person({ModalScript::AcceptMessage(told)});
    first->trigger();
    EXPECT_TRUE(person.Done());
  }
  EXPECT_TRUE(told.contains(QString::fromUtf8("aus der Liste"))) << told.toStdString();
  QMetaObject::invokeMethod(recent, "aboutToShow");
  for (QAction* action : recent->actions()) EXPECT_NE(action->toolTip(), path);
  EXPECT_NE(application->DocumentWindow(), nullptr);
}

// The zoom commands of "Ansicht": larger, 100 %, and the whole page in the window.
TEST_F(DesignerWindow, ZoomCommands) {
  ui::qt::PageView& view = window->View();
  ToolAction(*window, QString::fromUtf8("Vergrößern"))->trigger();
  EXPECT_DOUBLE_EQ(view.Zoom(), 1.25);
  ToolAction(*window, QString::fromUtf8("Originalgröße (100 %)"))->trigger();
  EXPECT_DOUBLE_EQ(view.Zoom(), 1.0);
  ASSERT_TRUE(application->NewDocument(designer::DinFormat(designer::DinSize::A4, false)));
  window->Refresh();
  ToolAction(*window, QString::fromUtf8("An Fenster anpassen"))->trigger();
  // The frame of an A4 page (655 × 922) fits the window's height: smaller than 100 %.
  EXPECT_LT(view.Zoom(), 1.0);
  EXPECT_LE(view.height(), window->Frame().height());
}

// Answers the colour dialog with a colour.
ModalScript::Step PickColour(QColor colour) {
  return [colour](QWidget& modal) {
    auto* dialog = qobject_cast<QColorDialog*>(&modal);
    if (dialog == nullptr) return false;
    dialog->setCurrentColor(colour);
    dialog->accept();
    return true;
  };
}

// The widget that shows a control of a hosted window.
template <class W>
W* WidgetOf(ui::TForm& form, const ui::Control& control) {
  ui::qt::FormHost* host = ui::qt::FormHost::Of(form);
  return host != nullptr ? dynamic_cast<W*>(host->WidgetOf(control)) : nullptr;
}

// The up or down arrow of an up-down control.
QToolButton* Arrow(ui::TForm& form, ui::TUpDown& upDown, bool up) {
  auto* arrows = WidgetOf<QWidget>(form, upDown);
  if (arrows == nullptr) return nullptr;
  const auto buttons = arrows->findChildren<QToolButton*>();
  return buttons.size() == 2 ? buttons[up ? 0 : 1] : nullptr;
}

// A double-click on a text line on the page brings its window up at the mouse; font, size,
// weight and colour chosen there go into the line, and the exported PDF shows them.
TEST_F(DesignerWindow, TextLineEditedInItsWindowShowsInThePdf) {
  auto& label = application->DocumentWindow()->Page().CreateElement(designer::ElementKind::Label);
  label.SetBounds(60, 80, 100, 17);
  label.SetCaption("Text Label");
  window->Refresh();
  // A person's double-click starts with a click, which selects the line.
  ui::qt::PageView& view = window->View();
  QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(32 + 70, 32 + 85));
  QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(32 + 70, 32 + 85));
  dialogs::LabelPropertiesWindow& form = *application->LabelWindow();
  ui::qt::FormHost* host = ui::qt::FormHost::Of(form);
  ASSERT_NE(host, nullptr);
  EXPECT_TRUE(host->isVisible());
  EXPECT_EQ(host->windowTitle(), QStringLiteral("Eigenschaften Label"));
  EXPECT_EQ(WidgetOf<QLineEdit>(form, *form.textEdit)->text(), QStringLiteral("Text Label"));

  auto* text = WidgetOf<QLineEdit>(form, *form.textEdit);
  text->selectAll();
  QTest::keyClicks(text, "Sommerfest");
  EXPECT_EQ(label.Caption(), "Sommerfest");
  auto* font = WidgetOf<QComboBox>(form, *form.fontChoice);
  ASSERT_NE(font, nullptr);
  font->setCurrentIndex(2);
  emit font->activated(2);  // as the person's pick in the list does
  auto* weight = WidgetOf<QComboBox>(form, *form.weightChoice);
  weight->setCurrentIndex(1);
  emit weight->activated(1);
  auto* size = WidgetOf<QLineEdit>(form, *form.fontSizeEdit);
  size->selectAll();
  QTest::keyClicks(size, "17");
  QTest::mouseClick(Arrow(form, *form.fontSizeUpDown, true), Qt::LeftButton);
  EXPECT_EQ(size->text(), QStringLiteral("18"));
  {
    ModalScript person({PickColour(QColor(0, 0, 255))});
    QTest::mouseClick(WidgetOf<QPushButton>(form, *form.colorButton), Qt::LeftButton);
    EXPECT_TRUE(person.Done());
  }
  const auto& line = static_cast<const report::TPRLabel&>(label);
  EXPECT_EQ(line.FontName(), report::TPRFontName::fnTimesRoman);
  EXPECT_TRUE(line.FontBold());
  EXPECT_EQ(line.FontSize(), 18);

  ASSERT_TRUE(application->ExportPdfTo((folder / "karte.pdf").string()));
  const std::string pdf = ReadFile(folder / "karte.pdf", 1 << 24);
  EXPECT_TRUE(testing::IsValidPdf(pdf));
  EXPECT_NE(pdf.find("/BaseFont /Times-Bold"), std::string::npos);
  EXPECT_NE(pdf.find(" 18 Tf"), std::string::npos);
  EXPECT_NE(pdf.find("0 0 1 rg"), std::string::npos);
  EXPECT_NE(pdf.find("(Sommerfest) Tj"), std::string::npos);
}

// The same for a rectangle: its fill colour and border width from its window.
TEST_F(DesignerWindow, RectangleEditedInItsWindowShowsInThePdf) {
  auto& rect = static_cast<report::TPRRect&>(
      application->DocumentWindow()->Page().CreateElement(designer::ElementKind::Rect));
  rect.SetBounds(60, 80, 100, 50);
  rect.SetFillColor(graphics::clRed);
  window->Refresh();
  QTest::mouseClick(&window->View(), Qt::LeftButton, {}, QPoint(32 + 90, 32 + 100));
  QTest::mouseDClick(&window->View(), Qt::LeftButton, {}, QPoint(32 + 90, 32 + 100));
  dialogs::RectanglePropertiesWindow& form = application->RectangleWindow();
  ui::qt::FormHost* host = ui::qt::FormHost::Of(form);
  ASSERT_NE(host, nullptr);
  EXPECT_TRUE(host->isVisible());
  EXPECT_EQ(host->windowTitle(), QStringLiteral("Eigenschaften"));
  {
    ModalScript person({PickColour(QColor(0, 255, 0))});
    QTest::mouseClick(WidgetOf<QPushButton>(form, *form.fillColorButton), Qt::LeftButton);
    EXPECT_TRUE(person.Done());
  }
  QTest::mouseClick(Arrow(form, *form.lineWidthUpDown, true), Qt::LeftButton);
  QTest::mouseClick(Arrow(form, *form.lineWidthUpDown, true), Qt::LeftButton);
  EXPECT_EQ(rect.LineWidth(), 2);
  EXPECT_EQ(rect.FillColor(), graphics::RGB(0, 255, 0));

  ASSERT_TRUE(application->ExportPdfTo((folder / "karte.pdf").string()));
  const std::string pdf = ReadFile(folder / "karte.pdf", 1 << 24);
  EXPECT_TRUE(testing::IsValidPdf(pdf));
  EXPECT_NE(pdf.find("0 1 0 rg"), std::string::npos);
  EXPECT_NE(pdf.find("2 w"), std::string::npos);
  EXPECT_EQ(pdf.find("1 0 0 rg"), std::string::npos);  // the red fill is gone
}

// The "Ansicht" menu shows the windows where they last stood; they are there while a document is.
TEST_F(DesignerWindow, ViewMenuShowsThePropertyWindows) {
  for (const char* command :
       {"&Label Eigenschaften", "Te&xt Eigenschaften", "&Rechteck Eigenschaften"}) {
    QAction* action = ToolAction(*window, QString::fromUtf8(command));
    ASSERT_NE(action, nullptr) << command;
    EXPECT_TRUE(action->isEnabled());
    action->trigger();
  }
  EXPECT_TRUE(ui::qt::FormHost::Of(*application->LabelWindow())->isVisible());
  EXPECT_TRUE(ui::qt::FormHost::Of(*application->TextWindow())->isVisible());
  EXPECT_TRUE(ui::qt::FormHost::Of(application->RectangleWindow())->isVisible());
  {
    ModalScript person({ModalScript::Click("Sichern..", "Nein")});
    ASSERT_TRUE(application->CloseDocument());
    window->Refresh();
  }
  EXPECT_FALSE(ToolAction(*window, QString::fromUtf8("&Label Eigenschaften"))->isEnabled());
}

// Without a document the frame shows the logo and the document commands are off; the help page
// and the program information open as windows of their own.
TEST_F(DesignerWindow, EmptyFrameHelpAndAbout) {
  EXPECT_FALSE(window->Frame().LogoVisible());
  {
    ModalScript person({ModalScript::Click("Sichern..", "Nein")});
    ASSERT_TRUE(application->CloseDocument());
    window->Refresh();
  }
  EXPECT_TRUE(window->Frame().LogoVisible());
  EXPECT_FALSE(ToolAction(*window, QString::fromUtf8("&Speichern"))->isEnabled());
  EXPECT_TRUE(ToolAction(*window, QString::fromUtf8("&Neu"))->isEnabled());

  // The help page comes with the program (build/share/quirabel beside build/bin).
  ToolAction(*window, QString::fromUtf8("Hilfe und Hinweise"))->trigger();
  auto* help = Find<main::HelpWindow>(*window);
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(help->Browser()->toPlainText().contains(QStringLiteral("Quirabel")));
  // Escape closes it as its close button does.
  help->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(help));
  QTest::keyClick(help->Browser(), Qt::Key_Escape);
  EXPECT_FALSE(help->isVisible());

  // Where a PDF reader's download was offered: the installed viewers, without a document.
  const std::filesystem::path system = folder / "system";
  testing::WriteTestFile(system / "applications" / "leser.desktop",
                         "[Desktop Entry]\nName=Leser\nMimeType=application/pdf;\n");
  ::setenv("XDG_DATA_DIRS", system.c_str(), 1);
  QString told;
  {
    ModalScript person({ModalScript::AcceptMessage(told)});
    ToolAction(*window, QString::fromUtf8("PDF-Betrachter des Systems &öffnen..."))->trigger();
    EXPECT_TRUE(person.Done());
  }
  ::unsetenv("XDG_DATA_DIRS");
  EXPECT_TRUE(told.startsWith(QString::fromUtf8("Installierte PDF-Betrachter: Leser.")))
      << told.toStdString();

  ToolAction(*window, QString::fromUtf8("&About Quirabel"))->trigger();
  auto* about = Find<main::AboutWindow>(*window);
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->isVisible());
  EXPECT_EQ(about->size(), QSize(380, 276));
}

// "&Neu", then the format window: "A6", "Dokument erstellen...": the page is shown at A6 size.
TEST_F(DesignerWindow, NewThroughTheFormatWindow) {
  QAction* neu = nullptr;
  for (QAction* action : window->findChildren<QAction*>()) {
    if (action->text() == QString::fromUtf8("&Neu")) neu = action;
  }
  ASSERT_NE(neu, nullptr);
  bool answered = false;
  QTimer::singleShot(0, [&] {
    // The question whether to save the open project comes first: "Nein".
    if (auto* question = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        question != nullptr && question->windowTitle() == QString::fromUtf8("Sichern..")) {
      for (auto* button : question->findChildren<QPushButton*>()) {
        if (button->text() == QString::fromUtf8("Nein")) button->click();
      }
    }
    QTimer::singleShot(0, [&] {
      auto* format = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(format, nullptr);
      EXPECT_EQ(format->windowTitle(), QString::fromUtf8("Format"));
      for (auto* radio : format->findChildren<QRadioButton*>()) {
        if (radio->text() == "A6") radio->click();
      }
      for (auto* button : format->findChildren<QPushButton*>()) {
        if (button->text() == QString::fromUtf8("Dokument erstellen...")) button->click();
      }
      answered = true;
    });
  });
  neu->trigger();
  EXPECT_TRUE(answered);
  ASSERT_NE(application->DocumentWindow(), nullptr);
  EXPECT_EQ(application->State().docType, "A6");
  EXPECT_EQ(application->DocumentWindow()->Page().PagePanel().Width(), 297);
  EXPECT_EQ(application->DocumentWindow()->Page().PagePanel().Height(), 419);
  EXPECT_EQ(window->View().Root(), application->DocumentWindow()->pageFrame);
}

// A drag moves an element by exactly the mouse's way, in page pixels at the zoom in use: down
// and back puts it where it stood, a press without a move changes nothing. A handle's corner
// follows the mouse and an unmoved handle changes nothing. Handles and markers stand where the
// element is.
TEST_F(DesignerWindow, DragsAndHandlesFollowTheMouseExactlyAtEveryZoom) {
  ui::qt::PageView& view = window->View();
  designer::DocumentWindow& form = *application->DocumentWindow();

  for (double zoom : {1.0, 2.0, 1.5}) {
    view.SetZoom(zoom);
    // Page pixel (x, y) under the pointer: the page sits at (32, 32) in its frame.
    auto at = [zoom](int x, int y) {
      return QPoint(static_cast<int>((32 + x + 0.5) * zoom),
                    static_cast<int>((32 + y + 0.5) * zoom));
    };
    auto& label = form.Page().CreateElement(designer::ElementKind::Label);
    label.SetBounds(60, 80, 100, 17);
    QTest::mousePress(&view, Qt::LeftButton, {}, at(70, 85));
    QTest::mouseMove(&view, at(120, 135));
    EXPECT_EQ(label.BoundsRect(), ui::Bounds(110, 130, 100, 17)) << zoom;
    EXPECT_EQ(form.Marker(designer::Side::Left)->BoundsRect(), ui::Bounds(110, 130, 1, 17));
    EXPECT_EQ(form.Handle(designer::Corner::TopLeft)->BoundsRect(), ui::Bounds(102, 122, 17, 17));
    for (int y : {185, 235, 285, 235, 185, 135}) QTest::mouseMove(&view, at(70, y));
    QTest::mouseMove(&view, at(70, 85));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, at(70, 85));
    EXPECT_EQ(label.BoundsRect(), ui::Bounds(60, 80, 100, 17)) << zoom;
    QTest::mouseClick(&view, Qt::LeftButton, {}, at(75, 88));
    EXPECT_EQ(label.BoundsRect(), ui::Bounds(60, 80, 100, 17)) << zoom;

    auto& rect = form.Page().CreateElement(designer::ElementKind::Rect);
    rect.SetBounds(50, 200, 100, 50);
    QTest::mouseClick(&view, Qt::LeftButton, {}, at(60, 210));  // selects it
    ASSERT_TRUE(form.Handle(designer::Corner::BottomRight)->Visible());
    // The handle shows as 8 screen pixels around the corner, whatever the zoom: a press just
    // beside it misses it.
    QTest::mouseClick(&view, Qt::LeftButton, {}, at(149, 249));
    EXPECT_EQ(rect.BoundsRect(), ui::Bounds(50, 200, 100, 50));
    // Drags from the middle of each handle by (dx, dy) page pixels, in two steps.
    auto dragHandle = [&](designer::Corner corner, int dx, int dy) {
      const ui::TImage& handle = *form.Handle(corner);
      const int x = handle.Left() + 8, y = handle.Top() + 8;
      QTest::mousePress(&view, Qt::LeftButton, {}, at(x, y));
      QTest::mouseMove(&view, at(x + dx / 2, y + dy / 2));
      QTest::mouseMove(&view, at(x + dx, y + dy));
      QTest::mouseRelease(&view, Qt::LeftButton, {}, at(x + dx, y + dy));
    };
    struct Step {
      designer::Corner corner;
      int dx, dy;
      ui::TRect after;
    };
    const Step steps[] = {
        {designer::Corner::BottomRight, 0, 0, ui::Bounds(50, 200, 100, 50)},
        {designer::Corner::BottomRight, 100, 0, ui::Bounds(50, 200, 200, 50)},
        {designer::Corner::BottomRight, -80, 30, ui::Bounds(50, 200, 120, 80)},
        {designer::Corner::TopRight, 0, 0, ui::Bounds(50, 200, 120, 80)},
        {designer::Corner::TopRight, -20, 40, ui::Bounds(50, 200, 100, 80)},
        {designer::Corner::BottomLeft, 30, -10, ui::Bounds(50, 200, 100, 70)},
        {designer::Corner::TopLeft, 0, 0, ui::Bounds(50, 200, 100, 70)},
        {designer::Corner::TopLeft, 10, -20, ui::Bounds(60, 180, 90, 90)},
    };
    for (const Step& step : steps) {
      dragHandle(step.corner, step.dx, step.dy);
      EXPECT_EQ(rect.BoundsRect(), step.after)
          << zoom << " corner " << static_cast<int>(step.corner) << " by " << step.dx << ", "
          << step.dy;
      EXPECT_EQ(form.Handle(designer::Corner::BottomRight)->BoundsRect(),
                ui::Bounds(step.after.right - 3, step.after.bottom - 3, 17, 17));
    }
    form.DeleteElement(label.Name());
    form.DeleteElement(rect.Name());
  }
}

// One margin rule of 5 mm (15 page pixels, 282 - 15 on the 297 pixels of A6) for the mouse, the
// arrow keys, new and pasted elements: moves stop at the margin and are never refused, a move
// inward is always taken.
TEST_F(DesignerWindow, ArrowKeysAndNewElementsKeepTheMargin) {
  ui::qt::PageView& view = window->View();
  designer::DocumentWindow& form = *application->DocumentWindow();
  auto at = [](int x, int y) { return QPoint(32 + x, 32 + y); };
  auto& rect = form.Page().CreateElement(designer::ElementKind::Rect);
  struct Case {
    int left;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int after;
  };
  const Case cases[] = {
      {16, Qt::Key_Left, Qt::NoModifier, 15},
      {15, Qt::Key_Left, Qt::NoModifier, 15},
      {20, Qt::Key_Left, Qt::ShiftModifier, 15},
      {15, Qt::Key_Right, Qt::NoModifier, 16},
      {181, Qt::Key_Right, Qt::NoModifier, 182},
      {182, Qt::Key_Right, Qt::NoModifier, 182},
      {175, Qt::Key_Right, Qt::ShiftModifier, 182},
      // Past the right margin (as a file may have it): inward a pixel, never further out.
      {250, Qt::Key_Left, Qt::NoModifier, 249},
      {250, Qt::Key_Right, Qt::NoModifier, 250},
  };
  int shift = 0;  // each case's mouse comes from somewhere else, so that it moves
  for (const Case& c : cases) {
    rect.SetBounds(c.left, 100, 100, 40);
    // The mouse over it: the markers show around it.
    shift = (shift + 1) % 4;
    QTest::mouseMove(&view, at(c.left + 4, 110 + shift));
    QTest::mouseMove(&view, at(c.left + 6, 112 + shift));
    QTest::mouseClick(&view, Qt::LeftButton, {}, at(c.left + 6, 112 + shift));
    ASSERT_EQ(form.Selected().Pressed(), &rect);
    QTest::keyClick(&view, c.key, c.modifiers);
    EXPECT_EQ(rect.Left(), c.after) << c.left;
    EXPECT_EQ(form.Marker(designer::Side::Left)->Left(), rect.Left() - 2);
  }
  // A click on the frame beside the page lets go.
  QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(form.Selected().Pressed(), nullptr);
  for (ui::TImage* handle : form.Handles()) EXPECT_FALSE(handle->Visible());

  // An armed tool places its element over another element, inside the margins.
  rect.SetBounds(100, 100, 100, 40);
  ToolAction(*window, QString::fromUtf8("Textzeile"))->trigger();
  QTest::mouseMove(&view, at(120, 110));
  QTest::mouseClick(&view, Qt::LeftButton, {}, at(120, 110));
  ASSERT_EQ(form.Page().Elements().size(), 2u);
  EXPECT_EQ(form.Page().Elements().back().item->BoundsRect(), ui::Bounds(120, 110, 100, 17));
  ToolAction(*window, QString::fromUtf8("Textzeile"))->trigger();
  QTest::mouseClick(&view, Qt::LeftButton, {}, at(280, 5));
  ASSERT_EQ(form.Page().Elements().size(), 3u);
  EXPECT_EQ(form.Page().Elements().back().item->BoundsRect(), ui::Bounds(182, 15, 100, 17));
}

// Numbers typed into the property windows go into the element on Enter, on Tab and when the
// window closes; a text that is no number is told and changes nothing. A window whose element is
// deleted goes with it.
TEST_F(DesignerWindow, TypedNumbersAreTakenAndWindowsGoWithTheirElement) {
  ui::qt::PageView& view = window->View();
  designer::DocumentWindow& form = *application->DocumentWindow();
  auto& label =
      static_cast<report::TPRLabel&>(form.Page().CreateElement(designer::ElementKind::Label));
  label.SetBounds(60, 80, 100, 17);
  QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(32 + 70, 32 + 85));
  QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(32 + 70, 32 + 85));
  dialogs::LabelPropertiesWindow& labelWindow = *application->LabelWindow();
  ui::qt::FormHost* host = ui::qt::FormHost::Of(labelWindow);
  ASSERT_NE(host, nullptr);
  host->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(host));
  auto* size = WidgetOf<QLineEdit>(labelWindow, *labelWindow.fontSizeEdit);
  ASSERT_NE(size, nullptr);
  auto type = [](QLineEdit* field, const char* text, Qt::Key finish) {
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
    if (finish != Qt::Key_unknown) QTest::keyClick(field, finish);
  };
  type(size, "11", Qt::Key_Return);
  EXPECT_EQ(label.FontSize(), 11);
  type(size, "14", Qt::Key_Tab);
  EXPECT_EQ(label.FontSize(), 14);
  type(size, "9", Qt::Key_unknown);
  host->close();
  EXPECT_EQ(label.FontSize(), 9);
  {
    QString told;
    ModalScript person({ModalScript::AcceptMessage(told)});
    type(size, "zwei", Qt::Key_Return);
    EXPECT_TRUE(person.Done());
    EXPECT_FALSE(told.isEmpty());
  }
  EXPECT_EQ(label.FontSize(), 9);
  EXPECT_EQ(size->text(), QStringLiteral("9"));

  auto& rect =
      static_cast<report::TPRRect&>(form.Page().CreateElement(designer::ElementKind::Rect));
  rect.SetBounds(60, 150, 100, 50);
  QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(32 + 90, 32 + 170));
  QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(32 + 90, 32 + 170));
  dialogs::RectanglePropertiesWindow& rectWindow = application->RectangleWindow();
  ui::qt::FormHost* rectHost = ui::qt::FormHost::Of(rectWindow);
  ASSERT_TRUE(rectHost != nullptr && rectHost->isVisible());
  rectHost->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(rectHost));
  type(WidgetOf<QLineEdit>(rectWindow, *rectWindow.lineWidthEdit), "2", Qt::Key_Tab);
  EXPECT_EQ(rect.LineWidth(), 2);
  // Entf on the page: the rectangle and its window go.
  view.setFocus();
  QTest::keyClick(window.get(), Qt::Key_Delete);
  EXPECT_EQ(form.Page().Elements().size(), 1u);
  EXPECT_FALSE(rectHost->isVisible());
}

// "Speichern": "Weglassen" in the project information saves all the same, Escape there saves
// nothing and says so. The caption marks unsaved work, and undoing back to what was saved is
// saved again.
TEST_F(DesignerWindow, SavingAskedAndMarked) {
  designer::DocumentWindow& form = *application->DocumentWindow();
  auto& label = form.Page().CreateElement(designer::ElementKind::Label);
  label.SetBounds(30, 40, 100, 17);
  application->Edits().Record();
  window->Refresh();
  EXPECT_TRUE(window->isWindowModified());
  EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("[*]]")))
      << window->windowTitle().toStdString();
  {
    ModalScript person({ModalScript::Click("Projektinfos", "Weglassen"),
                        ModalScript::ChooseFile(folder / "karte")});
    ToolAction(*window, QString::fromUtf8("&Speichern"))->trigger();
    EXPECT_TRUE(person.Done());
  }
  EXPECT_TRUE(std::filesystem::exists(folder / "karte.kxp"));
  EXPECT_FALSE(window->isWindowModified());

  label.SetBounds(50, 40, 100, 17);
  application->Edits().Record();
  window->Refresh();
  EXPECT_TRUE(window->isWindowModified());
  {
    ModalScript person({[](QWidget& modal) {
      if (modal.windowTitle() != QStringLiteral("Projektinfos")) return false;
      QTest::keyClick(&modal, Qt::Key_Escape);
      return true;
    }});
    ToolAction(*window, QString::fromUtf8("&Speichern"))->trigger();
    EXPECT_TRUE(person.Done());
  }
  EXPECT_EQ(window->statusBar()->currentMessage(), QString::fromUtf8("Nicht gespeichert"));
  EXPECT_TRUE(application->State().unsavedChanges);
  ASSERT_TRUE(application->Edits().Undo());
  window->Refresh();
  EXPECT_FALSE(application->State().unsavedChanges);
  EXPECT_FALSE(window->isWindowModified());
}

// "Element löschen" from the element's own popup menu, then whatever a person does next on the
// page where it was: the page must not touch the freed element (this ran under AddressSanitizer
// in CI, where the old page view read it on the next mouse move).
TEST_F(DesignerWindow, DeletingFromThePopupLeavesNothingBehindThatTheMouseCouldReach) {
  ui::qt::PageView& view = window->View();
  designer::DocumentWindow& form = *application->DocumentWindow();
  auto at = [](int x, int y) { return QPoint(32 + x, 32 + y); };
  // Picks the entry of the popup menu as soon as it is open.
  QTimer picker;
  QObject::connect(&picker, &QTimer::timeout, [] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    for (QAction* action : menu->actions()) {
      if (action->text() != QString::fromUtf8("Element löschen")) continue;
      menu->setActiveAction(action);
      QTest::keyClick(menu, Qt::Key_Return);  // as a person picks it
      return;
    }
  });
  picker.start(5);

  graphics::Bitmap blue(10, 10, graphics::PixelFormat::pf24bit);
  blue.FillRect(0, 0, 10, 10, graphics::clBlue);
  for (designer::ElementKind kind :
       {designer::ElementKind::Label, designer::ElementKind::Rect, designer::ElementKind::Jpeg}) {
    report::TPRItem& element = form.Page().CreateElement(kind);
    element.SetBounds(60, 80, 100, 40);
    if (kind == designer::ElementKind::Jpeg) {
      static_cast<report::TPRJpegImage&>(element).SetPicture(
          graphics::Picture::FromJpegBytes(graphics::EncodeJpeg(blue)));
    }
    QTest::mouseClick(&view, Qt::LeftButton, {}, at(70, 90));  // selected: handles shown
    // The right press opens the menu; the menu takes the release.
    QTest::mousePress(&view, Qt::RightButton, {}, at(70, 90));
    QTest::qWait(20);  // the deferred delete runs
    ASSERT_TRUE(form.Page().Elements().empty()) << static_cast<int>(kind);
    EXPECT_EQ(form.Selected().Pressed(), nullptr);
    for (ui::TImage* handle : form.Handles()) EXPECT_FALSE(handle->Visible());
    for (ui::TImage* marker : form.Markers()) EXPECT_FALSE(marker->Visible());

    QTest::mouseMove(&view, at(75, 95));
    QTest::mouseClick(&view, Qt::LeftButton, {}, at(75, 95));
    QTest::mouseDClick(&view, Qt::LeftButton, {}, at(75, 95));
    QTest::mousePress(&view, Qt::LeftButton, {}, at(75, 95));
    QTest::mouseMove(&view, at(120, 130));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, at(120, 130));
    // The popups' commands with nothing pressed do nothing.
    form.PopupDeleteClick(designer::ElementMenu::Rect);
    form.PopupBringToFrontClick(designer::ElementMenu::Image);
    form.PopupPropertiesClick(designer::ElementMenu::Label);
    EXPECT_NE(application->DocumentWindow(), nullptr);
  }
}

}  // namespace
}  // namespace quirabel

namespace quirabel {
namespace {

// Clicks a button after the step has returned: the window it opens runs its own loop.
bool ClickLater(QWidget& modal, const char* caption) {
  for (auto* push : modal.findChildren<QPushButton*>()) {
    if (push->text() == QString::fromUtf8(caption)) {
      QMetaObject::invokeMethod(push, &QPushButton::click, Qt::QueuedConnection);
      return true;
    }
  }
  return false;
}

// "Serien-PDF ausgeben" through the real settings window and folder choice: a PDF per row, named
// after the second column, in the folder chosen.
TEST_F(DesignerWindow, SerialPdfThroughTheSettingsWindow) {
  designer::DocumentWindow& form = *application->DocumentWindow();
  auto& name =
      static_cast<report::TPRLabel&>(form.Page().CreateElement(designer::ElementKind::Label));
  name.Setdbfieldname("Name");
  name.SetCaption("<Name>");
  const std::filesystem::path csv = folder / "kunden.csv";
  std::ofstream(csv) << "1;Größer\n2;Öztürk\n3;Ufer\n";
  app::SerialPdf serialPdf(*application);
  serial::WriteLinkFile(serialPdf.ProjectLinkFile(), {{"Name  ->  Feld2"}, csv.string(), ';'});
  const std::filesystem::path target = std::filesystem::absolute(folder / "serie");
  std::filesystem::create_directories(target);

  // The window shown and the widget of one of its controls.
  const auto hosted = [](QWidget& modal, const char* title) -> ui::qt::FormHost* {
    auto* host = dynamic_cast<ui::qt::FormHost*>(&modal);
    return host != nullptr && modal.windowTitle() == QString::fromUtf8(title) ? host : nullptr;
  };
  const QString targetText = QString::fromStdString(target.string());
  ModalScript person({
      [&](QWidget& modal) {
        ui::qt::FormHost* host = hosted(modal, "SerienPDF");
        if (host == nullptr) return false;
        auto& settings = dynamic_cast<dialogs::SerialSettingsWindow&>(*host->Form());
        auto* naming = qobject_cast<QComboBox*>(host->WidgetOf(*settings.namingBox));
        auto* grid = qobject_cast<QTableWidget*>(host->WidgetOf(*settings.dataGrid));
        if (naming == nullptr || naming->count() != 3 || grid == nullptr) return false;
        EXPECT_EQ(grid->rowCount(), 3);
        EXPECT_EQ(grid->item(1, 1)->text(), QString::fromUtf8("Öztürk"));
        naming->setCurrentIndex(2);  // Feld2, as the person's pick
        emit naming->activated(2);
        EXPECT_EQ(settings.namingBox->ItemIndex(), 2);
        return ClickLater(modal, "Anderes Verzeichnis");
      },
      [&](QWidget& modal) {
        ui::qt::FormHost* host = hosted(modal, "Verzeichnisauswahl");
        if (host == nullptr) return false;
        auto& choice = dynamic_cast<dialogs::FolderChoiceWindow&>(*host->Form());
        auto* tree = qobject_cast<QTreeView*>(host->WidgetOf(*choice.folderTree));
        auto* folders = tree != nullptr ? qobject_cast<QFileSystemModel*>(tree->model()) : nullptr;
        if (folders == nullptr || !folders->index(targetText).isValid()) return false;
        tree->setCurrentIndex(folders->index(targetText));
        EXPECT_EQ(choice.folderTree->Folder(), target);
        return ClickLater(modal, "Übernehmen");
      },
      [&](QWidget& modal) {
        ui::qt::FormHost* host = hosted(modal, "SerienPDF");
        if (host == nullptr) return false;
        auto& settings = dynamic_cast<dialogs::SerialSettingsWindow&>(*host->Form());
        auto* label = qobject_cast<QLabel*>(host->WidgetOf(*settings.targetFolderLabel));
        if (label == nullptr || label->text() != targetText) return false;
        return ClickLater(modal, "Serien-PDF drucken / senden ->");
      },
      // The run ends with one message: how many PDFs went where.
      [targetText](QWidget& modal) {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        if (box == nullptr) return false;
        EXPECT_TRUE(box->text().startsWith(QStringLiteral("3 PDF-Dateien geschrieben nach ")))
            << box->text().toStdString();
        box->accept();
        return true;
      },
  });
  QAction* serial = ToolAction(*window, QString::fromUtf8("Serien-PDF ausgeben"));
  ASSERT_NE(serial, nullptr);
  ASSERT_TRUE(serial->isEnabled());
  serial->trigger();
  for (int wait = 0; wait < 500 && !person.Done(); ++wait) QTest::qWait(10);
  EXPECT_TRUE(person.Done());
  for (const char* file : {"Größer.pdf", "Öztürk.pdf", "Ufer.pdf"}) {
    EXPECT_TRUE(testing::IsValidPdf(ReadFile(target / file, 1 << 24))) << file;
  }
  // The page on screen keeps its marker.
  EXPECT_EQ(name.Caption(), "<Name>");

  // Extras → "Alle in eine PDF-Datei": the same window with the box ticked and the naming off,
  // then the one file asked for.
  QString told;
  ModalScript oneFile({
      [&](QWidget& modal) {
        ui::qt::FormHost* host = hosted(modal, "SerienPDF");
        if (host == nullptr) return false;
        auto& settings = dynamic_cast<dialogs::SerialSettingsWindow&>(*host->Form());
        auto* box = qobject_cast<QCheckBox*>(host->WidgetOf(*settings.oneFileBox));
        if (box == nullptr || !box->isChecked()) return false;
        EXPECT_FALSE(host->WidgetOf(*settings.namingBox)->isEnabled());
        EXPECT_FALSE(host->WidgetOf(*settings.mailBox)->isEnabled());
        return ClickLater(modal, "Serien-PDF drucken / senden ->");
      },
      ModalScript::ChooseFile(target / "alle.pdf"),
      ModalScript::AcceptMessage(told),
  });
  QAction* all = ToolAction(*window, QString::fromUtf8("Alle in eine PDF-Datei"));
  ASSERT_NE(all, nullptr);
  all->trigger();
  for (int wait = 0; wait < 500 && !oneFile.Done(); ++wait) QTest::qWait(10);
  EXPECT_TRUE(oneFile.Done());
  EXPECT_EQ(told, QString::fromStdString("3 Zeilen auf 3 Seiten in die PDF-Datei " +
                                         (target / "alle.pdf").string() + " geschrieben."));
  EXPECT_TRUE(testing::IsValidPdf(ReadFile(target / "alle.pdf", 1 << 24)));
}

}  // namespace
}  // namespace quirabel

namespace quirabel {
namespace {

// The CSV link tool: a CSV file read with its separator and encoding, columns assigned, and the
// link file the serial run reads; saving before that is refused with a message.
TEST(LinkTool, WritesTheProjectsLinkFile) {
  const auto folder = testing::FreshTestFolder("link_tool_");
  const std::filesystem::path csv = folder / "kunden.csv";
  std::ofstream(csv, std::ios::binary) << "M\xFCller\tAnna\tK\xF6ln\r\nBerg\tBernd\tBonn\r\n";
  // A field that two elements carry is offered once.
  linktool::LinkToolWindow window(folder, "1423559", {"Name", "Ort", "Name"});
  window.show();
  {
    ModalScript person({ModalScript::Click("CSV-Datenverknüpfung – Projekt 1423559", "OK")});
    EXPECT_FALSE(window.Save());
    EXPECT_TRUE(person.Done());
  }
  ASSERT_TRUE(window.LoadCsv(QString::fromStdString(csv.string())));
  EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("encodingLabel"))->text(),
            QStringLiteral("Windows-1252"));
  EXPECT_EQ(window.findChild<QComboBox*>(QStringLiteral("separatorBox"))->currentIndex(), 2);
  auto* name = window.findChild<QComboBox*>(QStringLiteral("column:Name"));
  auto* place = window.findChild<QComboBox*>(QStringLiteral("column:Ort"));
  EXPECT_EQ(window.findChildren<QComboBox*>(QStringLiteral("column:Name")).size(), 1);
  ASSERT_EQ(name->count(), 4);  // "keine", Feld1 … Feld3
  name->setCurrentIndex(1);
  place->setCurrentIndex(3);
  ASSERT_TRUE(window.Save());
  const serial::LinkFile link = serial::ReadLinkFile(folder / "csv_db" / "1423559._cv");
  EXPECT_EQ(link.assignments, (std::vector<std::string>{"Name  ->  Feld1", "Ort  ->  Feld3"}));
  EXPECT_EQ(link.separator, '\t');
  EXPECT_EQ(link.csvPath, csv.string());
  // Escape closes the window as its close button does.
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_FALSE(window.isVisible());
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quirabel
