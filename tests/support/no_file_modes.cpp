// Loaded before the C library into a program under test, this makes every fchmod fail as on a
// disk that keeps no modes (FAT through FUSE answers ENOSYS).
#include <sys/stat.h>

#include <cerrno>

extern "C" int fchmod(int, mode_t) {
  errno = ENOSYS;
  return -1;
}
