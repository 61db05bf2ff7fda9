#include "support/TestSupport.h"

#include <sys/stat.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/Crc32.h"

namespace tessaro::test {

DebugCapture::DebugCapture() {
  previous_ = SetDebugSink([this](const std::string& line) { lines_.push_back(line); });
}

DebugCapture::~DebugCapture() { SetDebugSink(previous_); }

bool DebugCapture::Contains(const std::string& line) const {
  return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

std::string TestDataPath(const std::string& name) { return std::string(TESSARO_TEST_DATA) + "/" + name; }

std::string SharedStreamPath(const std::string& name) { return std::string(TESSARO_SHARED_STREAMS) + "/" + name; }

bool HaveSharedStreams() {
  std::error_code ec;
  return std::filesystem::is_directory(TESSARO_SHARED_STREAMS, ec);
}

Bytes MakePacket(const PacketSpec& shape) {
  Bytes packet;
  packet.reserve(188);
  packet.push_back(0x47);
  packet.push_back(static_cast<uint8_t>((shape.pusi ? 0x40 : 0) | ((shape.pid >> 8) & 0x1F)));
  packet.push_back(static_cast<uint8_t>(shape.pid & 0xFF));
  packet.push_back(static_cast<uint8_t>(((shape.afc & 3) << 4) | (shape.cc & 0x0F)));
  if (shape.afc & 2) {
    const int length = shape.adaptationLength >= 0 ? shape.adaptationLength : static_cast<int>(shape.adaptation.size());
    packet.push_back(static_cast<uint8_t>(length));
    packet.insert(packet.end(), shape.adaptation.begin(), shape.adaptation.end());
    // Stuff the rest of a declared length that the given bytes do not fill.
    while (static_cast<int>(packet.size()) < 5 + length && packet.size() < 188) packet.push_back(0xFF);
  }
  if (shape.afc & 1) {
    for (uint8_t b : shape.payload) {
      if (packet.size() >= 188) break;
      packet.push_back(b);
    }
  }
  packet.resize(188, 0xFF);
  return packet;
}

Bytes SectionPayload(const Bytes& section) {
  Bytes payload{0x00};
  payload.insert(payload.end(), section.begin(), section.end());
  return payload;
}

Bytes WithSectionLengthAndCrc(Bytes section) {
  const size_t length = section.size() + 4 - 3;
  section[1] = static_cast<uint8_t>((section[1] & 0xF0) | ((length >> 8) & 0x0F));
  section[2] = static_cast<uint8_t>(length & 0xFF);
  const uint32_t crc = CalcCRC32(section.data(), static_cast<int32_t>(section.size()));
  for (int shift = 24; shift >= 0; shift -= 8) section.push_back(static_cast<uint8_t>(crc >> shift));
  return section;
}

Bytes Slots(const std::vector<Bytes>& packets, int slot) {
  Bytes out;
  for (const Bytes& packet : packets) {
    const size_t start = out.size();
    out.insert(out.end(), packet.begin(), packet.end());
    out.resize(start + std::max<size_t>(slot, packet.size()), 0xFF);
  }
  return out;
}

TempFile::TempFile(const Bytes& content, const std::string& suffix) {
  static std::atomic<int> counter{0};
  path_ = (std::filesystem::temp_directory_path() /
           ("tessaro-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + suffix))
              .string();
  std::ofstream out(path_, std::ios::binary);
  out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
}

TempFile::~TempFile() {
  std::error_code ec;
  std::filesystem::remove(path_, ec);
}

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = (std::filesystem::temp_directory_path() /
           ("tessaro-test-dir-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
              .string();
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Path(const std::string& name) const { return path_ + "/" + name; }

std::vector<std::string> TempDir::Names() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(path_, ec))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

ReadOnlyFile::ReadOnlyFile(const std::string& path) : path_(path) {
  ::chmod(path.c_str(), 0444);
  // Root may write any file: an immutable one it may not.
  if (::access(path.c_str(), W_OK) == 0)
    immutable_ = std::system(("chattr +i '" + path + "' 2>/dev/null").c_str()) == 0;
}

ReadOnlyFile::~ReadOnlyFile() {
  if (immutable_) static_cast<void>(std::system(("chattr -i '" + path_ + "'").c_str()));
  ::chmod(path_.c_str(), 0644);
}

bool ReadOnlyFile::Ok() const { return ::access(path_.c_str(), W_OK) != 0; }

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadFileText(const std::string& path) {
  const Bytes bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void ExpectGolden(const std::string& file, const std::string& text) {
  const std::string path = TestDataPath("golden/" + file);
  if (std::getenv("TESSARO_UPDATE_GOLDEN") != nullptr) std::ofstream(path, std::ios::binary) << text;
  const std::string expected = ReadFileText(path);
  ASSERT_FALSE(expected.empty()) << "no expected text " << path;
  if (text == expected) return;
  const auto lines = [](const std::string& of) {
    std::vector<std::string> out;
    std::istringstream in(of);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  };
  const std::vector<std::string> want = lines(expected);
  const std::vector<std::string> got = lines(text);
  size_t i = 0;
  while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
  ADD_FAILURE() << file << ": first difference at line " << i + 1 << " of " << want.size() << " expected, "
                << got.size() << " shown\n  expected: " << (i < want.size() ? want[i] : "(end)")
                << "\n  shown:    " << (i < got.size() ? got[i] : "(end)");
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string TestNameOf(const std::string& text) {
  std::string name = text;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

std::vector<std::string> SharedCaptureNames() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(TESSARO_SHARED_STREAMS, ec))
    if (entry.path().extension() == ".ts") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> ExpectationNames(const std::string& suffix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("expected"), ec)) {
    const std::string file = entry.path().filename().string();
    if (file.size() > suffix.size() && file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0)
      names.push_back(file.substr(0, file.size() - suffix.size()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ValidatorModulePath() {
#ifdef TESSARO_VALIDATOR_MODULE
  return TESSARO_VALIDATOR_MODULE;
#else
  return {};
#endif
}

std::string TestModulePath(const std::string& name) { return std::string(TESSARO_TEST_MODULES) + "/" + name + ".pvm"; }

std::string IsolateValidatorSettings() {
  // Removed when the test program ends.
  static const struct TFolder {
    std::string path = std::filesystem::temp_directory_path() / ("tessaro-config-" + std::to_string(::getpid()));
    ~TFolder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  } config;
  const std::string& folder = config.path;
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  std::filesystem::create_directories(folder + "/Quindel", ec);
  ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  return folder + "/Quindel/Pelvanor.conf";
}

CliResult RunCli(const std::string& arguments) {
  return RunCommand(std::string("'") + TESSARO_CLI_PATH + "' " + arguments);
}

CliResult RunCommand(const std::string& shellCommand) {
  CliResult result;
  TempFile errors({}, ".err");
  const std::string command = shellCommand + " 2>'" + errors.Path() + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) result.out.append(chunk, n);
  const int status = ::pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const Bytes err = ReadFileBytes(errors.Path());
  result.err.assign(err.begin(), err.end());
  return result;
}

}  // namespace tessaro::test
