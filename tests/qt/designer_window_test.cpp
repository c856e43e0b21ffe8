// The real Qt windows on the offscreen platform: a document made, a text line armed and created by
// a click on the page at 100 % and 200 % zoom, saved and exported.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <memory>

#include "base/atomic_file.h"
#include "main/main_window.h"
#include "support/pdf_check.h"

namespace quirabel {
namespace {

QAction* ToolAction(QMainWindow& window, const QString& text) {
  for (QAction* action : window.findChildren<QAction*>()) {
    if (action->text() == text) return action;
  }
  return nullptr;
}

// The designer's main window with a new A6 document, as a person would have it after "Neu".
class DesignerWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::path(::testing::TempDir()) /
             (std::string("designer_") +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    application = std::make_unique<app::Application>(platform, folder.string());
    window = std::make_unique<main::MainWindow>(*application, platform);
    window->resize(900, 700);
    window->show();
    ASSERT_TRUE(application->NewDocument(designer::DinFormat(designer::DinSize::A6, false)));
    window->Refresh();
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
};

TEST_F(DesignerWindow, ArmedClickCreatesATextLineWhereTheMouseIs) {
  ui::qt::PageView& view = window->View();
  designer::TForm2& form = *application->Form2();

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
    const auto elements = form.Elements();
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
  auto* previewWindow = window->findChild<main::PreviewWindow*>();
  ASSERT_NE(previewWindow, nullptr);
  EXPECT_TRUE(previewWindow->isVisible());
  EXPECT_TRUE(std::filesystem::exists(folder / "showdef.pdf"));

  ASSERT_TRUE(application->SaveProjectTo((folder / "karte.kxp").string()));
  ASSERT_TRUE(application->ExportPdfTo((folder / "karte.pdf").string()));
  const std::string pdf = ReadFile(folder / "karte.pdf", 1 << 24);
  EXPECT_TRUE(testing::IsValidPdf(pdf));
  EXPECT_NE(pdf.find("(Text Label) Tj"), std::string::npos);
}

// A text line dragged and a rectangle resized by its bottom-right handle, with the real mouse
// events of the page view, at 100 % and 200 %: the model moves in page pixels either way.
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
  ASSERT_NE(application->Form2(), nullptr);
  EXPECT_EQ(application->State().docType, "A6");
  EXPECT_EQ(application->Form2()->PRPage1->Width(), 297);
  EXPECT_EQ(application->Form2()->PRPage1->Height(), 419);
  EXPECT_EQ(window->View().Root(), application->Form2()->Panel1);
}

TEST_F(DesignerWindow, DragAndResizeByMouseAtEveryZoom) {
  ui::qt::PageView& view = window->View();
  designer::TForm2& form = *application->Form2();

  for (double zoom : {1.0, 2.0}) {
    view.SetZoom(zoom);
    // Page pixel (x, y) under the pointer: the page sits at (32, 32) in its frame.
    auto at = [zoom](int x, int y) {
      return QPoint(static_cast<int>((32 + x + 0.5) * zoom),
                    static_cast<int>((32 + y + 0.5) * zoom));
    };
    auto& label = form.CreateElement(designer::ElementKind::Label);
    label.SetBounds(60, 80, 100, 17);
    QTest::mousePress(&view, Qt::LeftButton, {}, at(70, 85));
    QTest::mouseMove(&view, at(120, 135));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, at(120, 135));
    // The element trails the pointer by two pixels.
    EXPECT_EQ(label.Left(), 60 + 50 - 2) << zoom;
    EXPECT_EQ(label.Top(), 80 + 50 - 2) << zoom;
    // The readout is written as a move begins: it shows where the line stood before the step.
    EXPECT_EQ(form.Label3->Caption(), "80 x 60");

    auto& rect = form.CreateElement(designer::ElementKind::Rect);
    rect.SetBounds(50, 200, 100, 50);
    QTest::mouseClick(&view, Qt::LeftButton, {},
                      at(60, 210));  // selects it: handles at its corners
    ASSERT_TRUE(form.Image2->Visible());
    ASSERT_EQ(form.Image2->Left(), 147);
    ASSERT_EQ(form.Image2->Top(), 247);
    QTest::mousePress(&view, Qt::LeftButton, {}, at(152, 252));
    QTest::mouseMove(&view, at(172, 262));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, at(172, 262));
    // The handle recorded where the pointer was inside it: 25 and 15 pixels.
    EXPECT_EQ(rect.Width(), 125) << zoom;
    EXPECT_EQ(rect.Height(), 65) << zoom;
    form.DeleteElement(label.Name());
    form.DeleteElement(rect.Name());
  }
}

}  // namespace
}  // namespace quirabel

int main(int argc, char** argv) {
  // No display is needed: the windows draw into memory.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
