// Preloaded into tessaro-cli by the validate and analyze tests (LD_PRELOAD) to
// make a file shrink in the middle of a run at a point fixed in advance, as
// when another program cuts it. TESSARO_TEST_SHRINK is "SIZE:PATH": the first
// read or map of that file reaching past SIZE truncates it to SIZE before it
// is served, so a read comes back short at exactly SIZE, a map holds pages
// the file no longer has, and every later read finds the end.
#include <dlfcn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace {

void ShrinkIfPast(int fd, long long end) {
  static std::atomic<bool> shrunk{false};
  const char* shrinkSetting = std::getenv("TESSARO_TEST_SHRINK");
  char* path = nullptr;
  const long long size = shrinkSetting != nullptr ? std::strtoll(shrinkSetting, &path, 10) : 0;
  struct stat read {};
  struct stat target {};
  if (shrinkSetting != nullptr && *path == ':' && end > size && !shrunk && ::fstat(fd, &read) == 0 &&
      ::stat(path + 1, &target) == 0 && read.st_dev == target.st_dev && read.st_ino == target.st_ino &&
      !shrunk.exchange(true))
    static_cast<void>(::truncate(path + 1, size));
}

}  // namespace

extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
  static const auto next = reinterpret_cast<ssize_t (*)(int, void*, size_t, off_t)>(::dlsym(RTLD_NEXT, "pread"));
  ShrinkIfPast(fd, offset + static_cast<long long>(count));
  return next(fd, buffer, count, offset);
}

extern "C" void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) {
  static const auto next = reinterpret_cast<void* (*)(void*, size_t, int, int, int, off_t)>(::dlsym(RTLD_NEXT, "mmap"));
  if (fd >= 0) ShrinkIfPast(fd, offset + static_cast<long long>(length));
  return next(address, length, protection, flags, fd, offset);
}
