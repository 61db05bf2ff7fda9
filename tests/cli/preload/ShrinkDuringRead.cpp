// Preloaded into tessaro-cli by the validate tests (LD_PRELOAD) to make a file
// shrink in the middle of a run at a point fixed in advance, as when another
// program cuts it. TESSARO_TEST_SHRINK is "SIZE:PATH": the first read of that
// file reaching past SIZE truncates it to SIZE before it is served, so that
// read comes back short at exactly SIZE and every later one finds the end.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
  static std::atomic<bool> shrunk{false};
  static const auto next = reinterpret_cast<ssize_t (*)(int, void*, size_t, off_t)>(::dlsym(RTLD_NEXT, "pread"));
  const char* shrinkSetting = std::getenv("TESSARO_TEST_SHRINK");
  char* path = nullptr;
  const long long size = shrinkSetting != nullptr ? std::strtoll(shrinkSetting, &path, 10) : 0;
  struct stat read {};
  struct stat target {};
  if (shrinkSetting != nullptr && *path == ':' && offset + static_cast<long long>(count) > size && !shrunk &&
      ::fstat(fd, &read) == 0 && ::stat(path + 1, &target) == 0 && read.st_dev == target.st_dev &&
      read.st_ino == target.st_ino && !shrunk.exchange(true))
    static_cast<void>(::truncate(path + 1, size));
  return next(fd, buffer, count, offset);
}
