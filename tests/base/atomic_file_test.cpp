#include "base/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

namespace quirabel {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "atomic_file_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::set<std::string> Entries(const fs::path& dir) const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
    return names;
  }

  fs::path dir_;
};

mode_t ModeOf(const fs::path& path) {
  struct stat info;
  EXPECT_EQ(stat(path.c_str(), &info), 0);
  return info.st_mode & 0777;
}

TEST_F(AtomicFileTest, CreatesAndReplacesWithoutLeftovers) {
  const fs::path target = dir_ / "doc.qrb";
  WriteFileAtomic(target, "first version, long");
  EXPECT_EQ(ReadFile(target, 1000), "first version, long");

  WriteFileAtomic(target, std::string("sec\0nd", 6));
  EXPECT_EQ(ReadFile(target, 1000), std::string("sec\0nd", 6));

  WriteFileAtomic(target, "");
  EXPECT_EQ(ReadFile(target, 1000), "");
  EXPECT_EQ(Entries(dir_), std::set<std::string>{"doc.qrb"});
}

TEST_F(AtomicFileTest, Permissions) {
  const mode_t old_mask = umask(027);
  WriteFileAtomic(dir_ / "new", "x");
  umask(old_mask);
  EXPECT_EQ(ModeOf(dir_ / "new"), 0640u);

  const fs::path target = dir_ / "private";
  WriteFileAtomic(target, "x");
  ASSERT_EQ(chmod(target.c_str(), 0600), 0);
  WriteFileAtomic(target, "y");
  EXPECT_EQ(ModeOf(target), 0600u);
}

TEST_F(AtomicFileTest, FailureKeepsOldContentAndRemovesTemp) {
  // Running as root makes read-only folders useless here, so fail through the file system shape.
  const fs::path blocker = dir_ / "plain";
  WriteFileAtomic(blocker, "keep me");
  EXPECT_THROW(WriteFileAtomic(blocker / "child", "data"), FileError);
  EXPECT_EQ(ReadFile(blocker, 100), "keep me");

  const fs::path folder = dir_ / "folder";
  fs::create_directory(folder);
  WriteFileAtomic(folder / "inside", "old");
  try {
    WriteFileAtomic(folder, "data");
    ADD_FAILURE() << "replacing a directory succeeded";
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find(folder.string()), std::string::npos) << e.what();
  }
  EXPECT_EQ(ReadFile(folder / "inside", 100), "old");
  EXPECT_EQ(Entries(dir_), (std::set<std::string>{"plain", "folder"}));
  EXPECT_EQ(Entries(folder), std::set<std::string>{"inside"});
}

TEST_F(AtomicFileTest, WriterPublishesOnlyOnCommit) {
  const fs::path target = dir_ / "out.pdf";
  WriteFileAtomic(target, "old");

  std::string expected;
  {
    AtomicFileWriter writer(target);
    // Many small pieces around one larger than any internal buffer.
    for (int i = 0; i < 20000; ++i) expected += std::to_string(i) + ",";
    for (std::size_t i = 0; i < expected.size(); i += 7) writer.Write(expected.substr(i, 7));
    const std::string big(200000, 'z');
    writer.Write(big);
    writer.Write("end");
    expected += big + "end";
    EXPECT_EQ(ReadFile(target, 100), "old");
    writer.Commit();
    EXPECT_THROW(writer.Write("more"), FileError);
  }
  EXPECT_EQ(ReadFile(target, expected.size()), expected);

  {
    AtomicFileWriter abandoned(target);
    abandoned.Write(std::string(100000, 'q'));
  }
  EXPECT_EQ(ReadFile(target, expected.size()), expected);
  EXPECT_EQ(Entries(dir_), std::set<std::string>{"out.pdf"});
}

TEST_F(AtomicFileTest, ReadFileEnforcesSizeCap) {
  const fs::path file = dir_ / "ten";
  WriteFileAtomic(file, "0123456789");
  EXPECT_EQ(ReadFile(file, 10), "0123456789");
  EXPECT_THROW(ReadFile(file, 9), FileError);
  WriteFileAtomic(file, "");
  EXPECT_EQ(ReadFile(file, 0), "");

  // No size to check up front: the cap must stop an endless stream.
  EXPECT_THROW(ReadFile("/dev/zero", 100000), FileError);

  EXPECT_THROW(ReadFile(dir_ / "missing", 10), FileError);
  EXPECT_THROW(ReadFile(dir_, 10), FileError);
}

}  // namespace
}  // namespace quirabel
