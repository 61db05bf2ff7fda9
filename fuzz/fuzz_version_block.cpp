// The version block reader over arbitrary files: an ELF file whose headers,
// offsets and sizes lie must give a version, ENoVersion or EVersion, never a
// read outside the file or a crash.
#include <cstddef>
#include <cstdint>

#include "FuzzFile.h"
#include "version/VersionInfo.h"

using namespace tessaro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietDiagnostics();
  FuzzFile file(data, size);
  if (!file.Ok()) return 0;
  try {
    const TVersionInfo info(file.Path());
    static_cast<void>(VersionText(info.FileVersion()));
    static_cast<void>(info.Translations());
  } catch (const ENoVersion&) {
  } catch (const EVersion&) {
  }
  uint16_t major = 0, minor = 0, build = 0, release = 0;
  ReadExecutableVersion(file.Path(), major, minor, build, release);
  return 0;
}
