// Writing a file without losing the one it replaces. An output is written to
// a temporary file in its target's folder and renamed over the target only
// when it is complete, so a failed, cancelled or interrupted run leaves an
// existing file exactly as it was. A target that is a device or a pipe (for
// example /dev/stdout) is written directly: there is nothing to lose.
//
// Files are told apart by device and inode, never by name, so an output that
// is the open input through a hard link or a symbolic link is recognised.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessaro {

struct TFileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const TFileIdentity&) const = default;
};

// The identity of what path names (links followed); none when nothing is there.
std::optional<TFileIdentity> FileIdentityOf(const std::string& path);
std::optional<TFileIdentity> FileIdentityOf(int fd);

inline constexpr const char* kOutputIsInput = "The output file is the open stream.";

// What stands at an output's path, for the checks made before writing.
enum class TOutputTarget : uint8_t {
  Missing,  // nothing there (or a dangling link)
  File,     // a regular file, or a link to one
  Folder,
  Special,  // a device, a pipe or a socket: written as it is
};
TOutputTarget OutputTargetOf(const std::string& path);

class TReplacement {
 public:
  explicit TReplacement(std::string target) : target_(std::move(target)) {}
  ~TReplacement() { Discard(); }
  TReplacement(const TReplacement&) = delete;
  TReplacement& operator=(const TReplacement&) = delete;

  // Opens what is written: a new temporary file beside the target, or the
  // target itself when it is a device or a pipe. A descriptor opened for
  // writing, or -1 with errno set (EISDIR for a folder).
  int Create();
  // The name the bytes go to (for reopening): the temporary file, or the target.
  const std::string& WritePath() const { return direct_ ? target_ : temporary_; }
  const std::string& Target() const { return target_; }
  bool Direct() const { return direct_; }
  // Puts the complete temporary file in the target's place; false with errno
  // set when the rename fails (the temporary file is then removed).
  bool Commit();
  // Removes the temporary file, never the target.
  void Discard();

 private:
  std::string target_;
  std::string place_;      // the file renamed over: the target, or the file its link names
  std::string temporary_;  // empty when none exists
  bool direct_ = false;
};

// Writes bytes as the whole of target, through a TReplacement: 0 when the
// file is in place, else the errno of the first step that failed (the target
// is then as it was).
int ReplaceFileWith(const std::string& target, const std::string& bytes);

}  // namespace tessaro
