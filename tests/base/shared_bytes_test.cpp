#include "base/shared_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/atomic_file.h"

namespace quirabel {
namespace {

TEST(SharedBytes, PiecesShareAndOutliveTheWhole) {
  SharedBytes piece;
  {
    const SharedBytes whole(std::string("Seite eins</endoffile>Seite zwei"));
    piece = whole.Sub(22);
    EXPECT_EQ(whole.Sub(0, 10).View(), "Seite eins");
    EXPECT_EQ(whole.Sub(100).View(), "");  // past the end: empty, not out of bounds
    const std::string_view inside = whole.View().substr(6, 4);
    EXPECT_EQ(whole.Piece(inside).View(), "eins");
    EXPECT_TRUE(whole.Piece("elsewhere").empty());
  }
  EXPECT_EQ(piece.View(), "Seite zwei");  // the bytes live as long as a piece does
  EXPECT_EQ(piece, SharedBytes(std::string("Seite zwei")));
}

TEST(SharedBytes, MapFileReadsWholeFilesWithinTheCap) {
  const auto dir = std::filesystem::path(::testing::TempDir()) / "shared_bytes_test";
  std::filesystem::create_directories(dir);
  std::string content(300000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  WriteFileAtomic(dir / "daten", content);
  WriteFileAtomic(dir / "leer", "");
  EXPECT_EQ(MapFile(dir / "daten", 1 << 20).View(), content);
  EXPECT_EQ(MapFile(dir / "leer", 10).View(), "");
  EXPECT_THROW(MapFile(dir / "daten", 299999), FileError);
  EXPECT_THROW(MapFile(dir / "fehlt", 10), FileError);
  EXPECT_THROW(MapFile(dir, 10), FileError);
  // Large files are read in two halves at once: the seam must not show.
  std::string large(17 * 1024 * 1024 + 3, '\0');
  for (std::size_t i = 0; i < large.size(); ++i)
    large[i] = static_cast<char>((i * 2654435761u) >> 24);
  WriteFileAtomic(dir / "gross", large);
  EXPECT_TRUE(MapFile(dir / "gross", large.size()).View() == large);
  std::filesystem::remove_all(dir);
}

// Where a program asks for mappings, a large file comes straight from its mapping, the parts shown
// to a watcher included; a file cut short while its mapping is in use ends the process with status
// 1 and a message naming it, not with a crash.
TEST(SharedBytesDeathTest, MappedFilesAreWholeAndACutFileEndsTheRunCleanly) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto dir = std::filesystem::path(::testing::TempDir()) / "shared_bytes_mapped";
  std::filesystem::create_directories(dir);
  std::string large(17 * 1024 * 1024 + 5, '\0');
  for (std::size_t i = 0; i < large.size(); ++i)
    large[i] = static_cast<char>((i * 2654435761u) >> 24);
  const auto file = dir / "gross";
  WriteFileAtomic(file, large);
  EXPECT_EXIT(
      {
        MapFilesInPlace();
        std::string seen[2];
        const SharedBytes bytes = MapFile(
            file, large.size(), [&](int part, std::string_view soFar) { seen[part] = soFar; });
        if (bytes.View() != large || seen[0] + seen[1] != large) std::_Exit(2);
        std::filesystem::resize_file(file, 0);
        const volatile char last = bytes.data()[bytes.size() - 1];
        static_cast<void>(last);
        std::_Exit(3);
      },
      ::testing::ExitedWithCode(1), "gross wurde w.*des Laufs gek");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quirabel
