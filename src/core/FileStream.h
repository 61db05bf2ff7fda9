// TFileStream: an open file read and written by position (pread/pwrite), with
// 64-bit offsets. The size is asked of the file each time, so a file that
// shrinks or grows while open is seen as it is.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/SafeReplace.h"

namespace tessaro {

class TFileStream {
 public:
  enum class Mode { Read, ReadWrite };

  // Null when the file cannot be opened in that mode.
  static std::unique_ptr<TFileStream> Open(const std::string& path, Mode mode);
  ~TFileStream();
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  // Current size in bytes, or -1 when it cannot be found.
  int64_t Size() const;
  // Reads up to count bytes at offset; returns the bytes read (0 at or past
  // the end, on a negative offset or on a read error).
  int64_t ReadAt(int64_t offset, void* destination, int64_t count) const;
  // Writes count bytes at offset; true only when every byte was written.
  bool WriteAt(int64_t offset, const void* source, int64_t count);
  // Makes what was written reach the disk; false when it cannot.
  bool Flush();
  // Why the last WriteAt or Flush failed: the system's error number (EBADF
  // for a stream opened for reading), 0 after one that succeeded.
  int LastError() const { return lastError_; }

  // The open file's device and inode, which outputs compare theirs with.
  std::optional<TFileIdentity> Identity() const { return FileIdentityOf(fd_); }
  bool IsWritable() const { return mode_ == Mode::ReadWrite; }
  // For mapping the file (TFileMap); reads and writes go through the calls above.
  int Descriptor() const { return fd_; }
  const std::string& Path() const { return path_; }

 private:
  TFileStream(int fd, Mode mode, std::string path);
  int fd_;
  Mode mode_;
  std::string path_;
  int lastError_ = 0;
};

}  // namespace tessaro
