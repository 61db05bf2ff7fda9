// A small tmpfs mounted on a folder of its own for one test, for the faults a
// full disk brings. Mounting needs root and a machine that allows it; where
// it is refused, Ok() is false and Reason() says why, for the skip message.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace tessaro::test {

class ScratchMount {
 public:
  // size: as the tmpfs option takes it ("64k", "1m").
  explicit ScratchMount(const std::string& size) : folder_(dir_.Path("mount")) {
    std::filesystem::create_directory(folder_);
    const std::string options = "size=" + size + ",mode=0777";
    if (::mount("tmpfs", folder_.c_str(), "tmpfs", 0, options.c_str()) == 0) {
      mounted_ = true;
    } else {
      reason_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
    }
  }
  ~ScratchMount() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  ScratchMount(const ScratchMount&) = delete;
  ScratchMount& operator=(const ScratchMount&) = delete;

  bool Ok() const { return mounted_; }
  const std::string& Reason() const { return reason_; }
  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  // Fills what is left of the file system with one file, so the next write fails.
  void Fill() const {
    const std::string filler = Path("filler");
    FILE* file = std::fopen(filler.c_str(), "ab");
    if (file == nullptr) return;
    static const char block[4096] = {};
    while (std::fwrite(block, 1, sizeof block, file) == sizeof block) {
    }
    while (std::fwrite(block, 1, 1, file) == 1 && std::fflush(file) == 0) {
    }
    std::fclose(file);
  }

 private:
  TempDir dir_;
  std::string folder_;
  bool mounted_ = false;
  std::string reason_;
};

}  // namespace tessaro::test
