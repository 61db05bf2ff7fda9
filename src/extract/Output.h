// TOutput: one output file of an extraction, written through a buffer in
// blocks of about half a mebibyte, whole pages at page-aligned offsets;
// adding bytes is a copy and nothing more. A file that cannot be created or written
// is not a silent loss: the output fails, keeps the reason (naming the file)
// and drops what it is given from then on. The bytes go to a temporary file
// beside the target, which takes the target's place only when the output is
// committed: until then an existing file at the target stays as it was.
//
// TOpenFiles keeps the number of descriptors a set of outputs holds below a
// limit: the output used least recently gives its descriptor back and opens
// its file again (appending) when it next writes. So a demultiplexer with
// thousands of PIDs never runs out of file handles.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/SafeReplace.h"

namespace tessaro {

class TOutput;

class TOpenFiles {
 public:
  // limit: descriptors at most; 0 takes it from the process's own limit.
  explicit TOpenFiles(int32_t limit = 0);
  int32_t Limit() const { return limit_; }
  // Closes the descriptor of the output used least recently; false when none is open.
  bool CloseOldest();

 private:
  friend class TOutput;
  void Opened(TOutput* output);
  void Closed(TOutput* output);
  void Used(TOutput* output);

  int32_t limit_;
  uint64_t clock_ = 0;
  std::vector<TOutput*> open_;
};

class TOutput {
 public:
  static constexpr int32_t kCapacity = 524288;
  static constexpr int32_t kFlushSize = 512000;

  // files: the descriptor limit shared with other outputs (none: no limit).
  explicit TOutput(std::string fileName, TOpenFiles* files = nullptr, int32_t capacity = kCapacity);
  ~TOutput();
  TOutput(const TOutput&) = delete;
  TOutput& operator=(const TOutput&) = delete;

  // The open input: Create refuses a target that is this file (kOutputIsInput).
  void SetInput(std::optional<TFileIdentity> input) { input_ = input; }
  // Opens the temporary file (a device or a pipe at the target is written as it is).
  bool Create();
  // Buffers the bytes; the buffer's whole pages are written once it holds
  // 125/128 of its capacity (512,000 of 524,288 bytes). False once the
  // output has failed.
  bool AddData(const uint8_t* bytes, int32_t length) {
    // Inline while the bytes fit below the flush mark (never once failed or closed).
    if (length > 0 && held_ + int64_t{length} < flushAt_) {
      CopyBytes(buffer_.get() + held_, bytes, length);
      held_ += length;
      return true;
    }
    return AddDataAndFlush(bytes, length);
  }
  // Writes what is buffered and closes the file; false when anything failed.
  bool Complete();
  // Puts the complete file in the target's place; false when it cannot.
  bool Commit();
  // Complete, then Commit.
  bool Close() { return Complete() && Commit(); }
  // Deletes the unfinished temporary file (after a failure or a cancel);
  // never the target, nor an output already committed.
  void Remove();
  // A smaller (or larger) buffer; what is held is written first when it does not fit.
  void SetCapacity(int32_t capacity);

  bool Failed() const { return !error_.empty(); }
  // "Cannot create file NAME: reason", "Cannot write file NAME: reason" or kOutputIsInput.
  const std::string& Error() const { return error_; }
  const std::string& FileName() const { return fileName_; }
  int32_t Capacity() const { return capacity_; }

 private:
  friend class TOpenFiles;
  bool AddDataAndFlush(const uint8_t* bytes, int32_t length);
  // The C library's copy, called: inlined, the compiler makes a string
  // instruction of it that is slow for copies of a packet's size.
  static void CopyBytes(uint8_t* to, const uint8_t* from, int32_t count);
  bool Flush();
  // Writes the whole pages of what is held and keeps the rest.
  bool FlushWholePages();
  bool WriteAll(const uint8_t* data, int64_t count);
  // An open descriptor, reopening the file to append when it was given back.
  bool Descriptor();
  // Opens with flags, giving back other outputs' descriptors while there are too many.
  int OpenFile(int flags);
  void CloseDescriptor();
  void SetError(const char* what, int error);

  std::string fileName_;
  TReplacement replacement_;
  std::optional<TFileIdentity> input_;
  TOpenFiles* files_;
  int32_t capacity_;
  std::unique_ptr<uint8_t[]> buffer_;  // capacity_ bytes once data came
  int32_t held_ = 0;
  int64_t written_ = 0;  // bytes written to the file so far
  int32_t flushAt_ = 0;  // 0 while there is no buffer, and once failed or closed
  int fd_ = -1;
  bool closed_ = false;
  bool committed_ = false;
  uint64_t lastUse_ = 0;
  std::string error_;
};

}  // namespace tessaro
