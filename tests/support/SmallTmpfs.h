// A small tmpfs of its own for the tests that need a file system to run out
// of room: mounted on a fresh folder under /tmp while alive, unmounted and
// removed after. Mounting needs root (CAP_SYS_ADMIN); where the machine
// refuses, Ok() is false and Why() says why, for GTEST_SKIP.
#pragma once

#include <cstdint>
#include <string>

#include "support/TestSupport.h"

namespace tessaro::test {

class SmallTmpfs {
 public:
  explicit SmallTmpfs(int64_t bytes);
  ~SmallTmpfs();
  SmallTmpfs(const SmallTmpfs&) = delete;
  SmallTmpfs& operator=(const SmallTmpfs&) = delete;

  bool Ok() const { return mounted_; }
  const std::string& Why() const { return why_; }
  // The path of name inside the mounted file system.
  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  // Takes every free page with a file of its own; true when the file system
  // then refuses one more page (ENOSPC).
  bool FillUp();

 private:
  std::string folder_;
  bool mounted_ = false;
  std::string why_;
};

// Gives the pages that hold bytes [offset, offset + count) of a file back to
// its file system (both page-aligned): they read as zeros and a write into
// them needs a new page. False, with errno, when the file system cannot.
bool PunchHole(const std::string& path, int64_t offset, int64_t count);

// A file of content alone on a full SmallTmpfs, its pages from holeFrom (a
// page boundary) on holding no storage: those bytes read as zeros, a
// write before holeFrom lands in place and one after it finds no room
// (ENOSPC). Ok() is false, and Why() says why, where the machine refuses.
class FileOnFullDisk {
 public:
  FileOnFullDisk(const Bytes& content, int64_t holeFrom);
  bool Ok() const { return why_.empty(); }
  const std::string& Why() const { return why_; }
  const std::string& Path() const { return path_; }

 private:
  SmallTmpfs disk_;
  std::string path_;
  std::string why_;
};

}  // namespace tessaro::test
