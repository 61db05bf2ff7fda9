#include "core/SafeReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace tessaro {
namespace {

std::optional<TFileIdentity> IdentityOfStat(int result, const struct stat& info) {
  if (result != 0) return std::nullopt;
  return TFileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

// A name no other run picks: the process, a counter and the clock.
std::string TemporaryName(const std::string& place, uint32_t attempt) {
  static std::atomic<uint32_t> counter{0};
  const size_t slash = place.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : place.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? place : place.substr(slash + 1);
  const auto ticks = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".%d-%u-%llx.part", static_cast<int>(::getpid()), counter++ + attempt,
                static_cast<unsigned long long>(ticks & 0xFFFFFF));
  return folder + "." + base + suffix;
}

int OpenForWriting(const std::string& path, int flags, mode_t mode) {
  for (;;) {
    const int fd = ::open(path.c_str(), flags | O_WRONLY | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

}  // namespace

std::optional<TFileIdentity> FileIdentityOf(const std::string& path) {
  struct stat info {};
  return IdentityOfStat(::stat(path.c_str(), &info), info);
}

std::optional<TFileIdentity> FileIdentityOf(int fd) {
  struct stat info {};
  return IdentityOfStat(::fstat(fd, &info), info);
}

TOutputTarget OutputTargetOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return TOutputTarget::Missing;
  if (S_ISDIR(info.st_mode)) return TOutputTarget::Folder;
  return S_ISREG(info.st_mode) ? TOutputTarget::File : TOutputTarget::Special;
}

int TReplacement::Create() {
  Discard();
  direct_ = false;
  place_ = target_;
  struct stat info {};
  const bool exists = ::stat(target_.c_str(), &info) == 0;
  if (exists && S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    return -1;
  }
  if (exists && !S_ISREG(info.st_mode)) {
    direct_ = true;
    return OpenForWriting(target_, 0, 0666);
  }
  // Through a link the file it points to is replaced, and the link stays.
  if (exists) {
    if (char* real = ::realpath(target_.c_str(), nullptr)) {
      place_ = real;
      std::free(real);
    }
  }
  for (uint32_t attempt = 0; attempt < 100; ++attempt) {
    const std::string name = TemporaryName(place_, attempt);
    const int fd = OpenForWriting(name, O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return -1;
    temporary_ = name;
    // The replacement keeps the permissions of the file it replaces.
    if (exists) static_cast<void>(::fchmod(fd, info.st_mode & 07777));
    return fd;
  }
  errno = EEXIST;
  return -1;
}

bool TReplacement::Commit() {
  if (direct_) return true;
  if (temporary_.empty()) {
    errno = ENOENT;
    return false;
  }
  if (::rename(temporary_.c_str(), place_.c_str()) == 0) {
    temporary_.clear();
    return true;
  }
  const int error = errno;
  Discard();
  errno = error;
  return false;
}

void TReplacement::Discard() {
  if (temporary_.empty()) return;
  ::unlink(temporary_.c_str());
  temporary_.clear();
}

int ReplaceFileWith(const std::string& target, const std::string& bytes) {
  TReplacement replacement(target);
  const int fd = replacement.Create();
  if (fd < 0) return errno != 0 ? errno : EIO;
  int error = 0;
  for (size_t done = 0; error == 0 && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      error = n == 0 ? ENOSPC : errno;
    else
      done += static_cast<size_t>(n);
  }
  // The first failure is the one to tell; close and rename come after it.
  if (error == 0 && !replacement.Direct() && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && !replacement.Commit()) error = errno;
  return error;
}

}  // namespace tessaro
