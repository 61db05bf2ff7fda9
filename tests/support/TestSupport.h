// Helpers shared by the test programs: diagnostic capture, fixture paths,
// crafted packets and temporary files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Diagnostics.h"

namespace tessaro::test {

// Collects every diagnostic line while alive; restores the previous sink after.
class DebugCapture {
 public:
  DebugCapture();
  ~DebugCapture();
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;
  const std::vector<std::string>& Lines() const { return lines_; }
  bool Contains(const std::string& line) const;

 private:
  std::vector<std::string> lines_;
  DebugSink previous_;
};

std::string TestDataPath(const std::string& name);
std::string SharedStreamPath(const std::string& name);
bool HaveSharedStreams();

#define TESSARO_REQUIRE_SHARED_STREAMS()                                          \
  do {                                                                            \
    if (!::tessaro::test::HaveSharedStreams())                                    \
      GTEST_SKIP() << "real captures not present (../shared/streams is missing)"; \
  } while (0)

using Bytes = std::vector<uint8_t>;

// A 188-byte transport packet. afc: adaptation_field_control. adaptation is the
// adaptation field body after its length byte (flags first); the payload is
// padded with 0xFF to fill the packet.
struct PacketSpec {
  uint16_t pid = 0x100;
  bool pusi = false;
  uint8_t cc = 0;
  uint8_t afc = 1;
  Bytes adaptation;
  int adaptationLength = -1;  // -1: the size of adaptation
  Bytes payload;
};
Bytes MakePacket(const PacketSpec& shape);

// A payload holding pointer_field 0 and the section bytes.
Bytes SectionPayload(const Bytes& section);
// A PSI section with a correct CRC_32 from its bytes before the CRC; the
// section_length field is set from the size.
Bytes WithSectionLengthAndCrc(Bytes section);

// Concatenation of packets, each widened to slot bytes (extra bytes 0xFF).
Bytes Slots(const std::vector<Bytes>& packets, int slot = 188);

// A file under the test temporary folder, deleted when the object dies.
class TempFile {
 public:
  explicit TempFile(const Bytes& content, const std::string& suffix = ".ts");
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// An empty folder under the test temporary folder, deleted with all it
// holds when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The path of name inside the folder.
  std::string Path(const std::string& name) const;
  // The names in the folder, sorted.
  std::vector<std::string> Names() const;

 private:
  std::string path_;
};

// Makes a file read-only for this process while alive (even for root, through
// the immutable attribute); Ok() is false when that cannot be done here.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const std::string& path);
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  bool Ok() const;

 private:
  std::string path_;
  bool immutable_ = false;
};

Bytes ReadFileBytes(const std::string& path);
// The whole file as text; a missing file reads as "".
std::string ReadFileText(const std::string& path);
// Compares text with tests/data/golden/<file>, naming the first line that
// differs. TESSARO_UPDATE_GOLDEN=1 writes the text there first; a rewritten
// file must be checked by hand again before it is committed.
void ExpectGolden(const std::string& file, const std::string& text);
// The non-empty lines of a text file; a missing file reads as no lines.
std::vector<std::string> ReadLines(const std::string& path);
// A test name made of text: every character but letters and digits becomes '_'.
std::string TestNameOf(const std::string& text);
inline std::string ParamName(const ::testing::TestParamInfo<std::string>& info) { return TestNameOf(info.param); }
// Sorted names (without ".ts") of the real captures; none when they are absent.
std::vector<std::string> SharedCaptureNames();
// Sorted names of the files in tests/data/expected ending in suffix, without it.
std::vector<std::string> ExpectationNames(const std::string& suffix);

// The validation modules built for the tests: Pelvanor.pvm (empty when the
// window, and so the module, is not built) and those of
// tests/validation/modules by name ("Scripted", "Failing", "NoExport").
std::string ValidatorModulePath();
std::string TestModulePath(const std::string& name);
#define TESSARO_REQUIRE_VALIDATOR_MODULE()                                          \
  do {                                                                              \
    if (::tessaro::test::ValidatorModulePath().empty())                             \
      GTEST_SKIP() << "Pelvanor.pvm is built with the window (TESSARO_GUI is off)"; \
  } while (0)
// Points the validator module's settings (and those of anything else that
// follows XDG_CONFIG_HOME) at an empty folder of this test program's own, so
// the user's choices never change a test. Returns the settings file's path.
std::string IsolateValidatorSettings();

// Runs tessaro-cli with the given arguments (already quoted for the shell);
// standard error is kept apart from standard output.
struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
CliResult RunCli(const std::string& arguments);
// The same for any shell command line.
CliResult RunCommand(const std::string& command);

}  // namespace tessaro::test
