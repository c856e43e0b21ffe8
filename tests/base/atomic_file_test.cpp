#include "base/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

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

  // A large file is let go of aside when it is replaced; a reader that has it open keeps it.
  const std::string large(16 * 1024 * 1024 + 1, 'g');
  WriteFileAtomic(target, large);
  WriteFileAtomic(target, large + "h");
  const int reader = open(target.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  WriteFileAtomic(target, "small again");
  char last = 0;
  EXPECT_EQ(pread(reader, &last, 1, static_cast<off_t>(large.size())), 1);
  EXPECT_EQ(last, 'h');
  close(reader);
  EXPECT_EQ(ReadFile(target, 1000), "small again");
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

// Output into a folder the user chose never goes through a link: a live or dangling one, a link
// to a folder, are refused with ELOOP and what they point at stays as it was.
TEST_F(AtomicFileTest, RefusingLinksNeverWritesThroughThem) {
  const fs::path outside = dir_ / "outside";
  fs::create_directories(outside);
  WriteFileAtomic(outside / "important.txt", "wichtig");
  const std::vector<std::pair<std::string, fs::path>> links = {
      {"live", outside / "important.txt"}, {"dangling", outside / "neu.txt"}, {"folder", outside}};
  for (const auto& [name, target] : links) {
    fs::create_symlink(target, dir_ / name);
    try {
      AtomicFileWriter writer(dir_ / name, AtomicFileWriter::Leftovers::Tidy,
                              AtomicFileWriter::Links::Refuse);
      writer.Write("PDF");
      writer.Commit();
      ADD_FAILURE() << name << " written";
    } catch (const FileError& e) {
      EXPECT_EQ(e.error_number(), ELOOP) << name;
    }
    EXPECT_TRUE(fs::is_symlink(dir_ / name)) << name;
  }
  EXPECT_EQ(ReadFile(outside / "important.txt", 100), "wichtig");
  EXPECT_EQ(Entries(outside), std::set<std::string>{"important.txt"});
  // A plain name is written as ever.
  AtomicFileWriter plain(dir_ / "plain", AtomicFileWriter::Leftovers::Tidy,
                         AtomicFileWriter::Links::Refuse);
  plain.Write("PDF");
  plain.Commit();
  EXPECT_EQ(ReadFile(dir_ / "plain", 100), "PDF");
}

TEST_F(AtomicFileTest, SavingThroughALinkWritesTheLinkedFileAndKeepsTheLink) {
  const fs::path data = dir_ / "data";
  const fs::path links = dir_ / "links";
  fs::create_directories(data);
  fs::create_directories(links);
  const fs::path real = data / "karte.kxp";
  WriteFileAtomic(real, "old");
  ASSERT_EQ(chmod(real.c_str(), 0600), 0);
  // links/near -> ../data/karte.kxp (relative to the link's folder), links/far -> links/near.
  fs::create_symlink("../data/karte.kxp", links / "near");
  fs::create_symlink(links / "near", links / "far");

  WriteFileAtomic(links / "far", "new");
  EXPECT_TRUE(fs::is_symlink(links / "far"));
  EXPECT_TRUE(fs::is_symlink(links / "near"));
  EXPECT_EQ(fs::read_symlink(links / "near"), "../data/karte.kxp");
  EXPECT_EQ(ReadFile(real, 100), "new");
  EXPECT_EQ(ModeOf(real), 0600u);
  EXPECT_EQ(Entries(data), std::set<std::string>{"karte.kxp"});
  EXPECT_EQ(Entries(links), (std::set<std::string>{"near", "far"}));

  // A dangling link gets its file; a circle of links is refused and creates nothing.
  fs::create_symlink("later.kxp", data / "dangling");
  WriteFileAtomic(data / "dangling", "made");
  EXPECT_EQ(ReadFile(data / "later.kxp", 100), "made");
  EXPECT_TRUE(fs::is_symlink(data / "dangling"));
  fs::create_symlink("circle_b", data / "circle_a");
  fs::create_symlink("circle_a", data / "circle_b");
  try {
    WriteFileAtomic(data / "circle_a", "x");
    ADD_FAILURE() << "a circle of links was written";
  } catch (const FileError& e) {
    EXPECT_EQ(e.error_number(), ELOOP);
  }
  EXPECT_EQ(Entries(data),
            (std::set<std::string>{"karte.kxp", "dangling", "later.kxp", "circle_a", "circle_b"}));
}

TEST_F(AtomicFileTest, FilesThatMayNotBeWrittenAreRefusedNotReplaced) {
  const fs::path locked = dir_ / "gesperrt.pdf";
  WriteFileAtomic(locked, "old");
  ASSERT_EQ(chmod(locked.c_str(), 0444), 0);
  fs::create_symlink("gesperrt.pdf", dir_ / "link.pdf");
  for (const fs::path& target : {locked, dir_ / "link.pdf"}) {
    try {
      WriteFileAtomic(target, "new");
      ADD_FAILURE() << "replaced " << target;
    } catch (const FileError& e) {
      EXPECT_EQ(e.error_number(), EACCES) << e.what();
    }
  }
  EXPECT_EQ(ReadFile(locked, 100), "old");
  EXPECT_EQ(ModeOf(locked), 0444u);

  // Made read-only while the bytes were being written: still refused.
  ASSERT_EQ(chmod(locked.c_str(), 0644), 0);
  {
    AtomicFileWriter writer(locked);
    writer.Write("new");
    ASSERT_EQ(chmod(locked.c_str(), 0444), 0);
    EXPECT_THROW(writer.Commit(), FileError);
  }
  EXPECT_EQ(ReadFile(locked, 100), "old");

  // A pipe is no file to replace.
  ASSERT_EQ(mkfifo((dir_ / "pipe").c_str(), 0644), 0);
  try {
    WriteFileAtomic(dir_ / "pipe", "x");
    ADD_FAILURE() << "replaced a pipe";
  } catch (const FileError& e) {
    EXPECT_EQ(e.error_number(), EINVAL);
  }
  EXPECT_TRUE(fs::is_fifo(dir_ / "pipe"));
  EXPECT_EQ(Entries(dir_), (std::set<std::string>{"gesperrt.pdf", "link.pdf", "pipe"}));
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

// Sets a file's (or a link's own) modification time some seconds into the past.
void MakeOlder(const fs::path& path, int seconds) {
  struct stat info;
  ASSERT_EQ(lstat(path.c_str(), &info), 0);
  timespec times[2] = {info.st_atim, info.st_mtim};
  times[1].tv_sec -= seconds;
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// Whether the disk under `dir` makes files without a name (the writers' temporary files then
// have none until the rename).
bool MakesUnnamedFiles(const fs::path& dir) {
  const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
  return fd >= 0;
}

TEST_F(AtomicFileTest, LeftoversOfKilledSavesGoWithTheNextSave) {
  const fs::path target = dir_ / "doc.kxp";
  WriteFileAtomic(target, "old");
  const fs::path elsewhere = dir_ / "elsewhere";
  WriteFileAtomic(elsewhere, "keep");
  MakeOlder(elsewhere, 3600);
  const std::set<std::string> kept = {
      ".doc.kxp.tmpFresh1",    // written a moment ago: may be a save just starting
      ".doc.kxp.tmpABCDE",     // five characters: not made by mkstemp
      ".doc.kxp.tmpABCDEFG",   // seven
      ".doc.kxp.tmpAB.DEF",    // a character mkstemp never uses
      ".other.kxp.tmpABCDEF",  // another target's
      ".doc.kxp.tmpFolder",    // a folder
      ".doc.kxp.tmpLinked",    // a link, to a file that must stay
  };
  for (const std::string name :
       {".doc.kxp.tmpABCDE", ".doc.kxp.tmpABCDEFG", ".doc.kxp.tmpAB.DEF", ".other.kxp.tmpABCDEF",
        ".doc.kxp.tmpStale1", ".doc.kxp.tmpStale2"}) {
    WriteFileAtomic(dir_ / name, std::string(1000, 'x'));
    MakeOlder(dir_ / name, 3600);
  }
  WriteFileAtomic(dir_ / ".doc.kxp.tmpFresh1", "x");
  MakeOlder(dir_ / ".doc.kxp.tmpFresh1", 5);
  fs::create_directory(dir_ / ".doc.kxp.tmpFolder");
  MakeOlder(dir_ / ".doc.kxp.tmpFolder", 3600);
  fs::create_symlink(elsewhere, dir_ / ".doc.kxp.tmpLinked");
  MakeOlder(dir_ / ".doc.kxp.tmpLinked", 3600);

  // And one left by a save that was really killed, its lock gone with the process.
  const std::set<std::string> before = Entries(dir_);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    AtomicFileWriter killed(target);
    killed.Write(std::string(100000, 'k'));
    raise(SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  std::set<std::string> left;
  for (const std::string& name : Entries(dir_)) {
    if (before.count(name) == 0) left.insert(name);
  }
  // Where the disk makes files without a name, a killed save leaves nothing at all.
  ASSERT_EQ(left.size(), MakesUnnamedFiles(dir_) ? 0u : 1u);
  for (const std::string& name : left) MakeOlder(dir_ / name, 120);

  WriteFileAtomic(target, "new");
  std::set<std::string> expected = kept;
  expected.insert({"doc.kxp", "elsewhere"});
  EXPECT_EQ(Entries(dir_), expected);
  EXPECT_EQ(ReadFile(target, 100), "new");
  EXPECT_EQ(ReadFile(elsewhere, 100), "keep");
}

TEST_F(AtomicFileTest, AFolderIsTidiedOnceForManyFilesWhoseWritersSkipIt) {
  for (const std::string name : {".a.pdf.tmpStale1", ".b.pdf.tmpStale2", ".c.pdf.tmpFresh1",
                                 ".d.pdf.tmpABCDE", "x.pdf.tmpStale3", ".e.pdf.tmpStale4"}) {
    WriteFileAtomic(dir_ / name, "x");
    if (name.find("Fresh") == std::string::npos) MakeOlder(dir_ / name, 3600);
  }
  // A writer told to skip leaves them, even those of its own name.
  AtomicFileWriter skipping(dir_ / "e.pdf", AtomicFileWriter::Leftovers::Skip);
  skipping.Write("pdf");
  skipping.Commit();
  EXPECT_TRUE(fs::exists(dir_ / ".e.pdf.tmpStale4"));

  RemoveStaleTemporaryFiles(dir_);
  // Stale temporary files of any name go; a fresh one, one of five characters and a name
  // without the leading dot stay, as does every file that is no temporary file.
  EXPECT_EQ(Entries(dir_), (std::set<std::string>{".c.pdf.tmpFresh1", ".d.pdf.tmpABCDE",
                                                  "x.pdf.tmpStale3", "e.pdf"}));
}

TEST_F(AtomicFileTest, TwoWritersOfOneFileKeepEachOthersTemporaryFile) {
  const fs::path target = dir_ / "doc.kxp";
  AtomicFileWriter slow(target);
  slow.Write("slow");
  // Another writer's named temporary file (made where the disk makes no file without a name):
  // however long ago it last wrote, its lock keeps it.
  const std::string held = ".doc.kxp.tmpHeld01";
  WriteFileAtomic(dir_ / held, "held");
  const int heldFd = ::open((dir_ / held).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(heldFd, 0);
  ASSERT_EQ(::flock(heldFd, LOCK_EX), 0);
  MakeOlder(dir_ / held, 3600);
  EXPECT_EQ(Entries(dir_).size(), MakesUnnamedFiles(dir_) ? 1u : 2u);

  WriteFileAtomic(target, "quick");
  EXPECT_EQ(ReadFile(target, 100), "quick");
  EXPECT_EQ(Entries(dir_).count(held), 1u);
  slow.Commit();
  ::close(heldFd);
  EXPECT_EQ(ReadFile(target, 100), "slow");
  EXPECT_EQ(Entries(dir_), (std::set<std::string>{"doc.kxp", held}));
}

TEST(FileErrorReason, SaysWhyInGerman) {
  const struct {
    int error;
    FileAccess access;
    const char* reason;
  } cases[] = {
      {ENOSPC, FileAccess::Write, "Der Datenträger ist voll."},
      {EDQUOT, FileAccess::Write, "Der zugeteilte Speicherplatz (Quota) ist aufgebraucht."},
      {EACCES, FileAccess::Write, "Keine Berechtigung zum Schreiben."},
      {EPERM, FileAccess::Write, "Keine Berechtigung zum Schreiben."},
      {EACCES, FileAccess::Read, "Keine Berechtigung zum Lesen."},
      {EROFS, FileAccess::Write, "Das Dateisystem ist schreibgeschützt."},
      {EISDIR, FileAccess::Write, "Das Ziel ist ein Ordner."},
      {ENOENT, FileAccess::Write, "Der Ordner existiert nicht."},
      {ENOENT, FileAccess::Read, "Die Datei existiert nicht."},
      {EFBIG, FileAccess::Write, "Die Datei wird zu groß."},
      {EFBIG, FileAccess::Read, "Die Datei ist zu groß."},
      {ENAMETOOLONG, FileAccess::Write, "Der Dateiname ist zu lang."},
      {ETXTBSY, FileAccess::Write, "Die Datei wird gerade von einem anderen Programm benutzt."},
      {EBUSY, FileAccess::Write, "Die Datei wird gerade von einem anderen Programm benutzt."},
      {EIO, FileAccess::Read, "Der Datenträger meldet einen Lese- oder Schreibfehler."},
      {0, FileAccess::Write, "Unbekannter Fehler."},
      {ENOSYS, FileAccess::Write, "Das Dateisystem kann das nicht."},
      {4711, FileAccess::Write, "Das Betriebssystem meldet einen unerwarteten Fehler (Code 4711)."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileErrorReason(c.error, c.access), c.reason) << c.error;
    // What the user reads never holds the system's English text.
    EXPECT_EQ(FileErrorReason(c.error, c.access).find(std::strerror(c.error)), std::string::npos);
  }
  // A failure as a whole sentence names the file, in German.
  EXPECT_EQ(FileError("write", "/aus/a.pdf", ENOSPC).Sentence(),
            "Die Datei /aus/a.pdf kann nicht geschrieben werden: Der Datenträger ist voll.");
  EXPECT_EQ(FileError("open", "/ein/b.kxp", EINVAL).Sentence(),
            "Die Datei /ein/b.kxp kann nicht gelesen werden: Das Ziel ist keine gewöhnliche "
            "Datei, oder sein Name ist hier nicht erlaubt.");
  EXPECT_EQ(FileError("Schon deutsch.", ENOSPC).Sentence(), "Schon deutsch.");
}

// Each failure carries the reason it really had, whether reading or writing.
TEST_F(AtomicFileTest, FailuresTellTheirOwnReason) {
  auto reasonOf = [](auto&& operation) {
    try {
      operation();
    } catch (const FileError& e) {
      return e.Reason();
    }
    return std::string("no failure");
  };
  EXPECT_EQ(reasonOf([&] { WriteFileAtomic(dir_ / "fehlt" / "karte.pdf", "x"); }),
            "Der Ordner existiert nicht.");
  EXPECT_EQ(reasonOf([&] { ReadFile(dir_ / "fehlt.kxp", 10); }), "Die Datei existiert nicht.");
  fs::create_directory(dir_ / "ordner.pdf");
  EXPECT_EQ(reasonOf([&] { WriteFileAtomic(dir_ / "ordner.pdf", "x"); }),
            "Das Ziel ist ein Ordner.");
  WriteFileAtomic(dir_ / "gross.kxp", "0123456789");
  EXPECT_EQ(reasonOf([&] { ReadFile(dir_ / "gross.kxp", 9); }), "Die Datei ist zu groß.");
  ASSERT_EQ(chmod((dir_ / "gross.kxp").c_str(), 0444), 0);
  EXPECT_EQ(reasonOf([&] { WriteFileAtomic(dir_ / "gross.kxp", "x"); }),
            "Keine Berechtigung zum Schreiben.");

  // A write the system stops half-way: here at a file size limit of 64 KiB. The old file stays
  // and the half-written temporary file goes.
  const fs::path target = dir_ / "karte.pdf";
  WriteFileAtomic(target, "old");
  rlimit old_limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  const auto old_handler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old_limit;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string reason = reasonOf([&] { WriteFileAtomic(target, std::string(200000, 'x')); });
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(reason, "Die Datei wird zu groß.");
  EXPECT_EQ(ReadFile(target, 100), "old");
  EXPECT_EQ(Entries(dir_), (std::set<std::string>{"ordner.pdf", "gross.kxp", "karte.pdf"}));
}

TEST_F(AtomicFileTest, ReadFileEnforcesSizeCap) {
  const fs::path file = dir_ / "ten";
  WriteFileAtomic(file, "0123456789");
  EXPECT_EQ(ReadFile(file, 10), "0123456789");
  EXPECT_THROW(ReadFile(file, 9), FileError);
  WriteFileAtomic(file, "");
  EXPECT_EQ(ReadFile(file, 0), "");

  EXPECT_THROW(ReadFile(dir_ / "missing", 10), FileError);
}

TEST_F(AtomicFileTest, OnlyRegularFilesAreReadAndNothingBlocks) {
  // A FIFO without a writer would block the open, an endless device the read.
  const fs::path fifo = dir_ / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const fs::path link = dir_ / "link-to-fifo";
  fs::create_symlink(fifo, link);
  struct Case {
    fs::path path;
    int error;
  };
  for (const Case& c : {Case{fifo, EINVAL}, Case{link, EINVAL}, Case{"/dev/zero", EINVAL},
                        Case{"/dev/null", EINVAL}, Case{dir_, EISDIR}}) {
    try {
      ReadFile(c.path, 100000);
      ADD_FAILURE() << c.path << " was read";
    } catch (const FileError& error) {
      EXPECT_EQ(error.error_number(), c.error) << c.path;
      EXPECT_EQ(error.Access(), FileAccess::Read) << c.path;
    }
  }
}

}  // namespace
}  // namespace quirabel
