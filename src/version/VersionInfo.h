// TVersionInfo: the version block of an executable or module file (see
// VersionBlock.h), read from its ELF section: the four version components, the
// build flags and the translation table. ReadExecutableVersion is the guarded
// shortcut the update check uses.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "version/VersionBlock.h"

namespace tessaro {

// The file has no version block.
class ENoVersion : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The file has a version block that cannot be used.
class EVersion : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kNoVersionText = "No version information";

class TVersionInfo {
 public:
  // Reads the file's version block. Raises ENoVersion "No version information"
  // when there is none; EVersion "Error geting fixed version info" when it does
  // not start with a fixed block, "Bad fixed version info size" when that
  // block is short, "Bad translation in version info" when no whole
  // translation entry follows it.
  explicit TVersionInfo(const std::string& fileName);

  TVersionNumber FileVersion() const;
  uint32_t FileFlags() const { return Fixed(kFileFlags); }
  uint32_t FileType() const { return Fixed(kFileType); }
  // "DEBUG", "PATCHED", "PRERELEASE", "PRIVATEBUILD", "SPECIALBUILD": those whose bit is set, in that order.
  const std::vector<std::string>& Flags() const { return FFlags; }
  // Each entry: the language in the low half, the code page in the high half.
  std::vector<uint32_t> Translations() const;
  uint32_t Size() const { return static_cast<uint32_t>(FData.size()); }

 private:
  uint32_t Fixed(TFixedWord word) const { return LittleEndianWord(FData.data() + 4 * word); }

  std::vector<uint8_t> FData;  // the version data; the fixed block opens it
  uint32_t FTranslationLength = 0;
  std::vector<std::string> FFlags;
};

// The four components of the file's version; false (and one diagnostic line)
// when the file has no usable version block.
bool ReadExecutableVersion(const std::string& fileName, uint16_t& major, uint16_t& minor, uint16_t& build,
                           uint16_t& release);

// "major.minor.release.build".
std::string VersionText(const TVersionNumber& version);

// The running program's own file.
std::string OwnExecutablePath();
// "Tessaro" and this program's version, as --version prints it.
std::string VersionBanner();

}  // namespace tessaro
