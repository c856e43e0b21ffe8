#include "designer/undo_history.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace quirabel::designer {
namespace {

ProjectSnapshot One(std::string page, int current = 1) {
  return {{SharedBytes(std::move(page))}, current};
}

std::string PageOf(const std::optional<ProjectSnapshot>& snapshot, std::size_t index = 0) {
  return snapshot && index < snapshot->pages.size() ? snapshot->pages[index].Str() : "<none>";
}

TEST(UndoHistoryTest, GoesBackAndForthByteForByte) {
  UndoHistory history;
  history.Reset(One("leer"));
  EXPECT_FALSE(history.CanUndo());
  history.Record(One("ein Rechteck"));
  history.Record(One("zwei Rechtecke"));
  EXPECT_EQ(PageOf(history.Undo()), "ein Rechteck");
  EXPECT_EQ(PageOf(history.Undo()), "leer");
  EXPECT_FALSE(history.Undo().has_value());
  EXPECT_EQ(PageOf(history.Redo()), "ein Rechteck");
  // A new action drops what could have been redone.
  history.Record(One("ein Bild"));
  EXPECT_FALSE(history.CanRedo());
  EXPECT_EQ(PageOf(history.Undo()), "ein Rechteck");
  EXPECT_EQ(PageOf(history.Redo()), "ein Bild");

  // Pages added and removed come back with the page that was on screen.
  history.Record({{SharedBytes("ein Bild"), SharedBytes("Seite 2")}, 2});
  const auto back = history.Undo();
  ASSERT_TRUE(back);
  EXPECT_EQ(back->pages.size(), 1u);
  EXPECT_EQ(back->currentPage, 1);
  const auto forth = history.Redo();
  ASSERT_TRUE(forth);
  EXPECT_EQ(PageOf(forth, 1), "Seite 2");
  EXPECT_EQ(forth->currentPage, 2);
}

TEST(UndoHistoryTest, StepsOfOneKindOnOneElementMerge) {
  UndoHistory history;
  history.Reset(One("x=0"));
  history.Record(One("x=1"), "nudge PRLabel1");
  history.Record(One("x=2"), "nudge PRLabel1");
  history.Record(One("x=3"), "nudge PRLabel1");
  history.Record(One("x=3 y=1"), "nudge PRLabel2");
  EXPECT_EQ(history.UndoSteps(), 2u);
  EXPECT_EQ(PageOf(history.Undo()), "x=3");
  EXPECT_EQ(PageOf(history.Undo()), "x=0");
  // After an undo the same key starts a new step; it does not overwrite the state undone to.
  history.Record(One("x=1"), "nudge PRLabel1");
  EXPECT_EQ(PageOf(history.Undo()), "x=0");
  // An empty key never merges.
  history.Record(One("a"));
  history.Record(One("b"));
  EXPECT_EQ(history.UndoSteps(), 2u);
}

TEST(UndoHistoryTest, KeepsAtMostItsStepLimit) {
  UndoHistory history(100);
  history.Reset(One("0"));
  for (int i = 1; i <= 150; ++i) history.Record(One(std::to_string(i)));
  EXPECT_EQ(history.UndoSteps(), 100u);
  std::string oldest;
  while (history.CanUndo()) oldest = PageOf(history.Undo());
  EXPECT_EQ(oldest, "50");
}

TEST(UndoHistoryTest, ALargeBackgroundIsStoredOnce) {
  std::mt19937 random(7);
  // Large against the pieces the history cuts (4 to 128 KB), small enough for a sanitized run.
  constexpr std::size_t kMegabyte = 1024 * 1024;
  std::string background(4 * kMegabyte, '\0');
  for (char& c : background) c = static_cast<char>(random());
  UndoHistory history(100);
  const auto page = [&](int step) {
    // The element text before the picture grows, so the picture's bytes move every step.
    return "<header>" + std::string(static_cast<std::size_t>(step % 37), 'e') + background +
           "<element " + std::to_string(step) + ">";
  };
  history.Reset(One(page(0)));
  for (int step = 1; step <= 100; ++step) history.Record(One(page(step)));
  // Once, plus the pieces around the edits: far below the 400 MB of a hundred copies.
  EXPECT_LT(history.StoredBytes(), background.size() + 12 * kMegabyte);
  // A second page that stays the same shared bytes costs nothing more.
  const SharedBytes second(std::string(background.rbegin(), background.rend()));
  const std::size_t before = history.StoredBytes();
  for (int step = 1; step <= 5; ++step)
    history.Record({{SharedBytes(page(step)), second}, 1}, "typing");
  EXPECT_LT(history.StoredBytes(), before + second.View().size() + kMegabyte);
  history.Record({{SharedBytes(page(5)), second}, 1});
  const auto back = history.Undo();
  ASSERT_TRUE(back);
  EXPECT_EQ(back->pages[0].View(), page(5));
  EXPECT_EQ(back->pages[1].View(), second.View());
}

}  // namespace
}  // namespace quirabel::designer
