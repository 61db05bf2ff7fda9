// Fuzz input as a file the engine can open by name (an in-memory file).
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/Diagnostics.h"
#include "core/FileStream.h"

// Diagnostic lines are expected by the thousand while fuzzing: drop them.
inline void QuietDiagnostics() {
  static const bool quiet = [] {
    tessaro::SetDebugSink([](const std::string&) {});
    return true;
  }();
  static_cast<void>(quiet);
}

class FuzzFile {
 public:
  FuzzFile(const uint8_t* data, size_t size) : fd_(::memfd_create("tessaro-fuzz", 0)) {
    size_t done = 0;
    while (fd_ >= 0 && done < size) {
      const ssize_t n = ::write(fd_, data + done, size - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
  }
  ~FuzzFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  FuzzFile(const FuzzFile&) = delete;
  FuzzFile& operator=(const FuzzFile&) = delete;
  bool Ok() const { return fd_ >= 0; }
  std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }
  // The file opened for reading; null when it could not be made or opened.
  std::unique_ptr<tessaro::TFileStream> Open() const {
    return Ok() ? tessaro::TFileStream::Open(Path(), tessaro::TFileStream::Mode::Read) : nullptr;
  }

 private:
  int fd_;
};
