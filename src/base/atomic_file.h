#ifndef QUIRABEL_BASE_ATOMIC_FILE_H_
#define QUIRABEL_BASE_ATOMIC_FILE_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quirabel {

// Whether a failed file operation was reading or writing; the reasons are told differently.
enum class FileAccess { Read, Write };

// Why a file operation failed, as one German sentence for the user ("Der Datenträger ist voll."),
// from the errno value behind it; "Das Betriebssystem meldet einen unerwarteten Fehler (Code N)."
// for values without a sentence of their own, "Unbekannter Fehler." for 0.
std::string FileErrorReason(int error_number, FileAccess access);

// A failed file operation. what() names the action, the path and the system's error text (for
// logs and tests); Reason() says why in the user's words.
class FileError : public std::runtime_error {
 public:
  explicit FileError(const std::string& message, int error_number = 0,
                     FileAccess access = FileAccess::Write);
  // Builds "cannot <action> '<path>': <strerror text>". The actions "open" and "read" are
  // reading; every other action is writing.
  FileError(std::string_view action, const std::filesystem::path& path, int error_number);

  // The errno value behind the failure; EFBIG for a file over a size limit, 0 when unknown.
  int error_number() const { return error_number_; }
  FileAccess Access() const { return access_; }
  // Why it failed, in German: FileErrorReason of the errno value.
  std::string Reason() const { return FileErrorReason(error_number_, access_); }
  // The whole failure as one German sentence for the user: the message given, or for an action
  // on a path "Die Datei … kann nicht gelesen/geschrieben werden: " and the reason.
  std::string Sentence() const;

 private:
  int error_number_;
  FileAccess access_;
  std::filesystem::path path_;  // of an action on a path; empty for a message given
};

// Writes a file so that readers see either the old content or the complete new one: the bytes go
// to a temporary file next to the target, without a name where the disk allows it (else
// ".<name>.tmpXXXXXX"), which is synced and renamed over the target only by Commit(); a file
// without a name gets the temporary name only for the moment of that rename. Destroying the writer without a successful Commit() removes the
// temporary file and leaves the target untouched. A replaced file keeps its permission bits; a
// new file gets 0644 minus the umask, as if created normally.
//
// A target that is a symbolic link stays one: the chain of links is followed and the file at its
// end is replaced (the temporary file goes beside that file), or created when the last link
// dangles. An existing file that may not be written is refused (EACCES) rather than replaced,
// although the folder would allow the rename; for the superuser, who may write anything, that is
// a file without any write permission bit. A folder is refused with EISDIR, any other file that is
// not a regular file (a device, a pipe) with EINVAL.
//
// A save that was killed where the disk makes no file without a name leaves its temporary file
// behind. The next save of the same target removes such leftovers of its own name: those no writer
// holds a lock on (every writer keeps an exclusive flock on its temporary file until the rename;
// the kernel releases it when the process dies) and that have not been written to for a minute. Two programs saving one file at the same
// moment therefore never remove each other's temporary file; the last rename wins.
//
// A large file is handed to the disk piece by piece while it is written (its sync then has little
// left to wait for); a small one reaches the disk at Commit.
//
// Any failing call removes the temporary file and throws FileError; the writer is then closed and
// further Write()/Commit() calls throw too.
class AtomicFileWriter {
 public:
  // Whether the writer tidies the leftovers of killed saves of its target, which reads the whole
  // folder. A caller writing many new files into one folder tidies it once instead
  // (RemoveStaleTemporaryFiles) and skips it per file.
  enum class Leftovers { Tidy, Skip };
  // Whether a symbolic link at the target is followed (a project saved through the user's own
  // link) or refused with ELOOP (output into a folder the user chose, where a planted link must
  // not lead anywhere else). A refused link is never written through: the rename replaces a name,
  // not what it points at, so a link planted after the check is replaced, not followed.
  enum class Links { Follow, Refuse };

  explicit AtomicFileWriter(const std::filesystem::path& path,
                            Leftovers leftovers = Leftovers::Tidy, Links links = Links::Follow);
  ~AtomicFileWriter();

  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(std::string_view bytes);
  // Sets aside room on the disk for about `bytes` in all, where the file system can, so that a
  // disk that fills up meanwhile (with other files) still takes this one. Never fails.
  void Reserve(std::uint64_t bytes) noexcept;
  // Hands the bytes gathered so far to the temporary file (a file with content is known to the
  // leftover sweep as a writer's, not one just being made).
  void Flush();
  void Commit();

 private:
  friend class ScratchFile;
  void WriteOrFail(std::string_view bytes);
  [[noreturn]] void Fail(std::string_view action, const std::filesystem::path& path, int error);
  void Discard() noexcept;
  void EnsureOpen() const;

  std::filesystem::path path_;    // as the caller named it; messages use it
  std::filesystem::path target_;  // the file at the end of the link chain
  std::filesystem::path temp_;  // unnamed_: a free name beside the target, not yet made
  int fd_ = -1;
  bool unnamed_ = false;  // the temporary file has no name (O_TMPFILE) until Commit
  bool refuseLinks_ = false;
  bool privateMode_ = false;  // the temporary file was made 0600, not with the new file's mode
  std::string buffer_;  // gathers small writes so piecewise output is not one syscall per piece
  std::size_t written_ = 0;       // bytes in the temporary file
  std::size_t handedToDisk_ = 0;  // of those, the ones whose writing to the disk was started
};

// A file without a name beside a writer's temporary file, for what a long write sets aside until
// its end: it is gone when closed, however the process ends, and never leaves the folder the
// writer writes to. Where the file system makes no file without a name, a temporary file of the
// writer's kind is made and its name removed at once. Failures throw FileError naming the
// writer's file.
class ScratchFile {
 public:
  explicit ScratchFile(const AtomicFileWriter& beside);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  void WriteAt(std::uint64_t offset, std::string_view bytes);
  // The `size` bytes at offset, into `to`; bytes never written read as zeros.
  void ReadAt(std::uint64_t offset, std::size_t size, std::string& to) const;

 private:
  std::filesystem::path path_;  // the writer's, for messages
  int fd_ = -1;
};

// A name for a temporary file of `name` in its folder: ".<name>.tmp" and six random letters or
// digits, the names the leftover sweeps know.
std::string TemporaryFileName(std::string_view name);

// Removes the leftovers of killed saves of any file in a folder, by the writer's rules: unlocked
// temporary files not written to for a minute.
void RemoveStaleTemporaryFiles(const std::filesystem::path& folder);
// The same, whatever the age of a leftover: for a folder whose writers are the serial runs, which
// lock their temporary files before the files get a name, so an unlocked one is a dead writer's.
// Only an empty file of the last two seconds is spared (another program's writer between making
// and locking its file).
void RemoveUnlockedTemporaryFiles(const std::filesystem::path& folder);

// Sets the mode of an open file. A file system that keeps no modes (FAT, exFAT, some FUSE and
// network file systems answer EPERM, ENOSYS or EOPNOTSUPP) is no failure: the file is written
// all the same. Returns 0 or the errno of a real failure.
int SetFileMode(int fd, unsigned mode);

// Replaces (or creates) `path` with `bytes` through an AtomicFileWriter.
void WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes);

// Opens a file for reading, for every file the programs read: without blocking (a FIFO or a device
// would otherwise hang the open or the read forever) and only when it is a regular file. Returns
// the descriptor, in blocking mode again, for the caller to close. Throws FileError: EISDIR for a
// folder, EINVAL for anything else that is not a regular file.
int OpenRegularFile(const std::filesystem::path& path);

// Reads a whole regular file (opened by OpenRegularFile). Throws FileError when it cannot be
// opened or read, or when it is larger than `max_bytes`; never allocates more than max_bytes + 1
// bytes for the content.
std::string ReadFile(const std::filesystem::path& path, std::size_t max_bytes);

}  // namespace quirabel

#endif  // QUIRABEL_BASE_ATOMIC_FILE_H_
