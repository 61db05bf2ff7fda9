#include "version/VersionInfo.h"

#include <array>
#include <filesystem>
#include <utility>

#include "core/Diagnostics.h"
#include "version/ElfSection.h"

namespace tessaro {
namespace {

// A version block is small; one larger than a classic version resource can be
// (its length is a 16-bit field) is not one.
constexpr size_t kVersionDataLimit = 0xFFFF;

constexpr std::array<std::pair<uint32_t, const char*>, 5> kFlagNames{{{VS_FF_DEBUG, "DEBUG"},
                                                                      {VS_FF_PATCHED, "PATCHED"},
                                                                      {VS_FF_PRERELEASE, "PRERELEASE"},
                                                                      {VS_FF_PRIVATEBUILD, "PRIVATEBUILD"},
                                                                      {VS_FF_SPECIALBUILD, "SPECIALBUILD"}}};

}  // namespace

TVersionInfo::TVersionInfo(const std::string& fileName) {
  auto data = ReadElfSection(fileName, kVersionSection, kVersionDataLimit);
  if (!data || data->empty()) throw ENoVersion(kNoVersionText);
  FData = std::move(*data);
  if (FData.size() < 4 || LittleEndianWord(FData.data()) != kFixedFileInfoSignature)
    throw EVersion("Error geting fixed version info");
  if (FData.size() < kFixedFileInfoSize) throw EVersion("Bad fixed version info size");
  FTranslationLength = static_cast<uint32_t>(FData.size() - kFixedFileInfoSize);
  if (FTranslationLength == 0 || FTranslationLength % 4 != 0) throw EVersion("Bad translation in version info");
  for (const auto& [bit, name] : kFlagNames)
    if (FileFlags() & bit) FFlags.emplace_back(name);
}

TVersionNumber TVersionInfo::FileVersion() const {
  const uint32_t ms = Fixed(kFileVersionMS);
  const uint32_t ls = Fixed(kFileVersionLS);
  return {static_cast<uint16_t>(ms >> 16), static_cast<uint16_t>(ms), static_cast<uint16_t>(ls >> 16),
          static_cast<uint16_t>(ls)};
}

std::vector<uint32_t> TVersionInfo::Translations() const {
  std::vector<uint32_t> entries;
  for (size_t at = kFixedFileInfoSize; at + 4 <= FData.size(); at += 4)
    entries.push_back(LittleEndianWord(FData.data() + at));
  return entries;
}

bool ReadExecutableVersion(const std::string& fileName, uint16_t& major, uint16_t& minor, uint16_t& build,
                           uint16_t& release) {
  try {
    const TVersionNumber version = TVersionInfo(fileName).FileVersion();
    major = version.major;
    minor = version.minor;
    build = version.build;
    release = version.release;
    return true;
  } catch (const std::exception& e) {
    DebugOutput(std::string("zrk: Error in ReadExecutableVersion call... ") + e.what());
  } catch (...) {
    ReportRoutineFailure("ReadExecutableVersion");
  }
  return false;
}

std::string VersionText(const TVersionNumber& v) {
  return std::to_string(v.major) + '.' + std::to_string(v.minor) + '.' + std::to_string(v.release) + '.' +
         std::to_string(v.build);
}

std::string OwnExecutablePath() {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

std::string VersionBanner() {
  try {
    return "Tessaro " + VersionText(TVersionInfo(OwnExecutablePath()).FileVersion());
  } catch (const std::exception& e) {
    return std::string("Tessaro (") + e.what() + ")";
  }
}

}  // namespace tessaro
