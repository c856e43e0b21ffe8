// Guide lines and new pages in the real windows, on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/application.h"
#include "designer/document_window.h"
#include "main/main_window.h"
#include "support/test_folder.h"
#include "ui/qt/picture_cache.h"
#include "ui/qt/qt_platform.h"

namespace quirabel {
namespace {

using designer::GuideKind;

class GuideLinesWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing::FreshTestFolder("guides_window_");
    application = std::make_unique<app::Application>(platform, folder.string());
    window = std::make_unique<main::MainWindow>(*application, platform);
    window->localAddress = [] { return std::string("127.0.0.1"); };
    window->resize(1000, 800);
    window->show();
    // A6 upright: 297 x 419 pixels, one vertical fold at Round(148.5) = 148.
    ASSERT_TRUE(application->NewDocument(designer::DinFormat(designer::DinSize::A6, false)));
    application->State().orderDocument = true;
    application->State().verticalFolds = 1;
    application->DocumentWindow()->Guides().Build();
    application->Edits().Reset();  // the card starts as an orderable one
    window->Refresh();
    window->View().SetZoom(1.0);  // the mouse is placed in page pixels
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

TEST_F(GuideLinesWindow, DraggingAFoldHandleOnThePageView) {
  ui::qt::PageView& view = window->View();
  designer::GuideLines& guides = application->DocumentWindow()->Guides();
  const ui::TImage* handle = guides.Handle(GuideKind::VerticalFold, 1);
  ASSERT_EQ(handle->Left(), 178);
  EXPECT_EQ(guides.Label(GuideKind::VerticalFold, 0)->Caption(), "49mm");
  EXPECT_EQ(guides.Label(GuideKind::VerticalFold, 1)->Caption(), "49mm");
  // The frame is the view's root: its pixels are the view's at 100 %.
  QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(188, 20));
  QTest::mouseMove(&view, QPoint(218, 20));
  QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(218, 20));
  // 30 pixels to the right, less the two the handle trails by.
  EXPECT_EQ(guides.Line(GuideKind::VerticalFold, 1)->Left(), 148 + 28);
  EXPECT_EQ(handle->Left(), 178 + 28);
  EXPECT_EQ(guides.Label(GuideKind::VerticalFold, 0)->Caption(), "59mm");
  EXPECT_EQ(guides.Label(GuideKind::VerticalFold, 1)->Caption(), "40mm");
  EXPECT_EQ(platform.ScreenCursor(), ui::crDefault);
  // A drag is a step of its own: Ctrl+Z puts the line back.
  ASSERT_TRUE(application->Edits().Undo());
  EXPECT_EQ(application->DocumentWindow()->Guides().Line(GuideKind::VerticalFold, 1)->Left(), 148);
}

TEST_F(GuideLinesWindow, NewPageWindowAnswersThroughItsButtons) {
  // The new-page window comes up as a window of its own; "Ja" makes the back side.
  bool answered = false;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&answered] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal->windowTitle() != QString::fromUtf8("Neue Seite..")) return;
    for (auto* push : modal->findChildren<QPushButton*>()) {
      if (push->text() == QString::fromUtf8("Ja")) {
        answered = true;
        push->click();
      }
    }
  });
  timer.start(10);
  ASSERT_TRUE(application->NextPageClick());
  EXPECT_TRUE(answered);
  EXPECT_EQ(application->State().pageCount, 2);
  EXPECT_FALSE(
      application->DocumentWindow()->Guides().Handle(GuideKind::VerticalFold, 1)->Visible());
}

}  // namespace
}  // namespace quirabel

namespace quirabel {
namespace {

// Pictures made anew on every page (the cut lines) may get the memory of freed ones: the cache
// must show each its own pixels.
TEST(PictureCacheTest, ANewPictureNeverShowsAFreedOnesImage) {
  ui::qt::PictureCache cache;
  for (int round = 0; round < 20; ++round) {
    graphics::Bitmap bitmap(1, 10, graphics::PixelFormat::pf24bit);
    const graphics::TColor colour = round % 2 == 0 ? graphics::clRed : graphics::clBlue;
    bitmap.FillRect(0, 0, 1, 10, colour);
    const QImage& image = cache.Scaled(graphics::Picture::FromBitmap(bitmap), 1, 100);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(0, 50), round % 2 == 0 ? QColor(255, 0, 0) : QColor(0, 0, 255))
        << round;
  }
}

}  // namespace
}  // namespace quirabel
