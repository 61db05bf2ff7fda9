#include "support/SmallTmpfs.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace tessaro::test {

SmallTmpfs::SmallTmpfs(int64_t bytes) {
  std::string pattern = "/tmp/tessaro-tmpfs-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    why_ = std::string("cannot make a folder under /tmp: ") + std::strerror(errno);
    return;
  }
  folder_ = pattern;
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
  if (::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    why_ = "this machine refuses to mount a tmpfs on " + folder_ + " (" + std::strerror(errno) +
           "); the test needs root or CAP_SYS_ADMIN";
    return;
  }
  mounted_ = true;
}

SmallTmpfs::~SmallTmpfs() {
  // A file still open in it (a leaked stream) keeps it busy: detach it then.
  if (mounted_ && ::umount(folder_.c_str()) != 0) ::umount2(folder_.c_str(), MNT_DETACH);
  if (!folder_.empty()) {
    std::error_code ec;
    std::filesystem::remove(folder_, ec);
  }
}

bool SmallTmpfs::FillUp() {
  if (!mounted_) return false;
  const int fd = ::open(Path("filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const std::vector<char> page(4096, '\x5A');
  int error = 0;
  for (;;) {
    const ssize_t n = ::write(fd, page.data(), page.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : ENOSPC;
      break;
    }
  }
  ::close(fd);
  return error == ENOSPC;
}

bool PunchHole(const std::string& path, int64_t offset, int64_t count) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  const int result = ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, offset, count);
  const int error = errno;
  ::close(fd);
  errno = error;
  return result == 0;
}

FileOnFullDisk::FileOnFullDisk(const Bytes& content, int64_t holeFrom)
    : disk_(static_cast<int64_t>(content.size()) + 64 * 1024), path_(disk_.Path("stream.ts")) {
  if (!disk_.Ok()) {
    why_ = disk_.Why();
    return;
  }
  {
    std::ofstream out(path_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    if (!out.flush()) why_ = "cannot write " + path_;
  }
  // Whole pages only: a page the hole covers in part keeps its storage.
  const int64_t page = ::sysconf(_SC_PAGESIZE);
  const int64_t end = (static_cast<int64_t>(content.size()) + page - 1) / page * page;
  if (why_.empty() && holeFrom % page != 0)
    why_ = "the page size here is " + std::to_string(page) + " bytes: a hole from " + std::to_string(holeFrom) +
           " would not free a page";
  if (why_.empty() && !PunchHole(path_, holeFrom, end - holeFrom))
    why_ = "this file system cannot punch a hole in " + path_ + " (" + std::strerror(errno) + ")";
  if (why_.empty() && !disk_.FillUp()) why_ = "the tmpfs at " + path_ + " could not be filled up";
}

}  // namespace tessaro::test
