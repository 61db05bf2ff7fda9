#include "extract/Output.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "core/Diagnostics.h"

namespace tessaro {
namespace {

// Descriptors left to the rest of the process when the limit comes from it.
constexpr rlim_t kReserved = 64;
constexpr int32_t kMostOpen = 4096;

int32_t ProcessLimit() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kMostOpen;
  const rlim_t usable = limit.rlim_cur > 2 * kReserved ? limit.rlim_cur - kReserved : limit.rlim_cur / 2;
  return static_cast<int32_t>(std::clamp<rlim_t>(usable, 1, kMostOpen));
}

}  // namespace

// ---- TOpenFiles ---------------------------------------------------------------------

TOpenFiles::TOpenFiles(int32_t limit) : limit_(limit > 0 ? limit : ProcessLimit()) {}

void TOpenFiles::Opened(TOutput* output) {
  open_.push_back(output);
  Used(output);
}

void TOpenFiles::Closed(TOutput* output) {
  auto it = std::find(open_.begin(), open_.end(), output);
  if (it == open_.end()) return;
  *it = open_.back();
  open_.pop_back();
}

void TOpenFiles::Used(TOutput* output) { output->lastUse_ = ++clock_; }

bool TOpenFiles::CloseOldest() {
  if (open_.empty()) return false;
  TOutput* oldest = *std::min_element(open_.begin(), open_.end(),
                                      [](const TOutput* a, const TOutput* b) { return a->lastUse_ < b->lastUse_; });
  oldest->CloseDescriptor();
  return true;
}

// ---- TOutput ---------------------------------------------------------------------------

TOutput::TOutput(std::string fileName, TOpenFiles* files, int32_t capacity)
    : fileName_(std::move(fileName)), replacement_(fileName_), files_(files), capacity_(std::max(capacity, 1)) {}

// An output neither committed nor removed was not finished: it is dropped.
TOutput::~TOutput() {
  GuardedVoid("TOutput.Destroy", [&] { Remove(); });
}

void TOutput::SetError(const char* what, int error) {
  if (error_.empty()) error_ = std::string(what) + fileName_ + ": " + std::strerror(error);
  flushAt_ = 0;
}

int TOutput::OpenFile(int flags) {
  if (files_ != nullptr && static_cast<int32_t>(files_->open_.size()) >= files_->Limit()) files_->CloseOldest();
  for (;;) {
    const int fd = ::open(replacement_.WritePath().c_str(), flags | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno == EINTR) continue;
    // Out of descriptors: another output gives its own back, while one is open.
    if ((errno == EMFILE || errno == ENFILE) && files_ != nullptr && files_->CloseOldest()) continue;
    return -1;
  }
}

bool TOutput::Create() {
  // A write past the process's file size limit then fails (EFBIG) and is
  // reported like any other, instead of the signal ending the program.
  static const bool sizeLimitIsAnError = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
  static_cast<void>(sizeLimitIsAnError);
  return GuardedWithMessage("TOutput.Create", false, [&] {
    if (fd_ >= 0 || Failed() || closed_) return !Failed() && !closed_;
    if (input_ && FileIdentityOf(fileName_) == input_) {
      error_ = kOutputIsInput;
      flushAt_ = 0;
      return false;
    }
    if (files_ != nullptr && static_cast<int32_t>(files_->open_.size()) >= files_->Limit()) files_->CloseOldest();
    int fd = replacement_.Create();
    // Out of descriptors: other outputs give theirs back, while one is open.
    while (fd < 0 && (errno == EMFILE || errno == ENFILE) && files_ != nullptr && files_->CloseOldest())
      fd = replacement_.Create();
    if (fd < 0) {
      SetError("Cannot create file ", errno);
      return false;
    }
    fd_ = fd;
    if (files_ != nullptr) files_->Opened(this);
    return true;
  });
}

bool TOutput::Descriptor() {
  if (fd_ >= 0) {
    if (files_ != nullptr) files_->Used(this);
    return true;
  }
  if (closed_ || Failed()) return false;
  const int fd = OpenFile(O_APPEND);
  if (fd < 0) {
    SetError("Cannot write file ", errno);
    return false;
  }
  fd_ = fd;
  if (files_ != nullptr) files_->Opened(this);
  return true;
}

void TOutput::CloseDescriptor() {
  if (fd_ < 0) return;
  if (files_ != nullptr) files_->Closed(this);
  // A write that failed late (quota, network file system) shows up here.
  if (::close(fd_) != 0 && errno != EINTR) SetError("Cannot write file ", errno);
  fd_ = -1;
}

bool TOutput::WriteAll(const uint8_t* data, int64_t count) {
  if (!Descriptor()) return false;
  while (count > 0) {
    const ssize_t n = ::write(fd_, data, static_cast<size_t>(count));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      SetError("Cannot write file ", n < 0 ? errno : ENOSPC);
      return false;
    }
    data += n;
    count -= n;
    written_ += n;
  }
  return true;
}

bool TOutput::Flush() {
  if (held_ == 0) return !Failed();
  const bool written = WriteAll(buffer_.get(), held_);
  held_ = 0;
  return written;
}

bool TOutput::FlushWholePages() {
  // While the file ends on a page boundary, whole pages go out and the tail
  // waits for the next block: the kernel then takes every block in whole
  // pages, without a partly written page at either end.
  constexpr int64_t kPage = 4096;
  const int64_t whole = held_ / kPage * kPage;
  if (whole == 0 || written_ % kPage != 0) return Flush();
  const bool written = WriteAll(buffer_.get(), whole);
  held_ -= static_cast<int32_t>(whole);
  std::memmove(buffer_.get(), buffer_.get() + whole, static_cast<size_t>(held_));
  return written;
}

void TOutput::CopyBytes(uint8_t* to, const uint8_t* from, int32_t count) {
  std::memcpy(to, from, static_cast<size_t>(count));
}

bool TOutput::AddDataAndFlush(const uint8_t* bytes, int32_t length) {
  return GuardedWithMessage("TOutput.AddData", false, [&] {
    if (Failed() || closed_) return false;
    if (bytes == nullptr || length <= 0) return true;
    if (!buffer_) {
      buffer_ = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(capacity_));
      flushAt_ = static_cast<int32_t>(static_cast<int64_t>(capacity_) * kFlushSize / kCapacity);
    }
    if (held_ + int64_t{length} > capacity_ && !Flush()) return false;
    if (length >= capacity_) return WriteAll(bytes, length);
    std::memcpy(buffer_.get() + held_, bytes, static_cast<size_t>(length));
    held_ += length;
    if (held_ >= flushAt_) return FlushWholePages();
    return true;
  });
}

void TOutput::SetCapacity(int32_t capacity) {
  capacity = std::max(capacity, 1);
  if (held_ > capacity) Flush();
  capacity_ = capacity;
  if (!buffer_) return;
  auto resized = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(capacity_));
  if (held_ > 0) std::memcpy(resized.get(), buffer_.get(), static_cast<size_t>(held_));
  buffer_ = std::move(resized);
  if (!Failed()) flushAt_ = static_cast<int32_t>(static_cast<int64_t>(capacity_) * kFlushSize / kCapacity);
}

bool TOutput::Complete() {
  if (closed_) return !Failed();
  Flush();
  flushAt_ = 0;
  buffer_.reset();
  CloseDescriptor();
  closed_ = true;
  return !Failed();
}

bool TOutput::Commit() {
  if (committed_) return true;
  if (!closed_ || Failed()) return false;
  if (!replacement_.Commit()) {
    SetError("Cannot write file ", errno);
    return false;
  }
  committed_ = true;
  return true;
}

void TOutput::Remove() {
  flushAt_ = 0;
  held_ = 0;
  buffer_.reset();
  CloseDescriptor();
  closed_ = true;
  if (!committed_) replacement_.Discard();
}

}  // namespace tessaro
