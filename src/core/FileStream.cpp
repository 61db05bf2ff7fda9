#include "core/FileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tessaro {

std::unique_ptr<TFileStream> TFileStream::Open(const std::string& path, Mode mode) {
  const int flags = (mode == Mode::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  int fd;
  do {
    fd = ::open(path.c_str(), flags);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<TFileStream>(new TFileStream(fd, mode, path));
}

TFileStream::TFileStream(int fd, Mode mode, std::string path) : fd_(fd), mode_(mode), path_(std::move(path)) {}

TFileStream::~TFileStream() { ::close(fd_); }

int64_t TFileStream::Size() const {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

int64_t TFileStream::ReadAt(int64_t offset, void* destination, int64_t count) const {
  if (offset < 0 || count <= 0 || destination == nullptr) return 0;
  auto* out = static_cast<uint8_t*>(destination);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd_, out + done, static_cast<size_t>(count - done), static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

bool TFileStream::WriteAt(int64_t offset, const void* source, int64_t count) {
  if (mode_ != Mode::ReadWrite) {
    lastError_ = EBADF;
    return false;
  }
  if (offset < 0 || count < 0 || (count > 0 && source == nullptr)) {
    lastError_ = EINVAL;
    return false;
  }
  const auto* in = static_cast<const uint8_t*>(source);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pwrite(fd_, in + done, static_cast<size_t>(count - done), static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A write that takes no byte and names no reason counts as an I/O error.
      lastError_ = n < 0 ? errno : EIO;
      return false;
    }
    done += n;
  }
  lastError_ = 0;
  return true;
}

bool TFileStream::Flush() {
  if (mode_ != Mode::ReadWrite) {
    lastError_ = EBADF;
    return false;
  }
  lastError_ = ::fsync(fd_) == 0 ? 0 : errno;
  return lastError_ == 0;
}

}  // namespace tessaro
