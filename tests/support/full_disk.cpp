// Loaded before the C library into a program under test, this fills the disk for the files a
// serial run writes its PDFs with: after QUIRABEL_TEST_WRITES_LEFT calls of writev on files (not
// the standard streams), every further one fails with ENOSPC. Plain write() still works.
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

extern "C" ssize_t writev(int fd, const struct iovec* parts, int count) {
  static const long limit = [] {
    const char* text = std::getenv("QUIRABEL_TEST_WRITES_LEFT");
    return text != nullptr ? std::atol(text) : -1;
  }();
  static std::atomic<long> calls{0};
  if (fd > 2 && limit >= 0 && calls++ >= limit) {
    errno = ENOSPC;
    return -1;
  }
  return ::syscall(SYS_writev, fd, parts, count);
}
