#include "cli/CliSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "browser/StreamBrowser.h"
#include "cli/TerminalText.h"
#include "core/PacketSizeProbe.h"

namespace tessaro {

std::optional<int64_t> ParseOffset(const std::string& text) {
  try {
    size_t used = 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const long long value = std::stoll(hex ? text.substr(2) : text, &used, hex ? 16 : 10);
    if (used != (hex ? text.size() - 2 : text.size()) || value < 0) return std::nullopt;
    return value;
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<std::string> ReadPIDArgument(const std::string& text, uint16_t& pid) {
  const bool hex = text.size() >= 2 && text[0] == '0' && text[1] == 'x';
  const std::string digits = hex ? text.substr(2) : text;
  const uint32_t base = hex ? 16 : 10;
  const auto digitValue = [](char c) {
    return static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10);
  };
  const bool number = !digits.empty() && std::all_of(digits.begin(), digits.end(), [&](char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) && digitValue(c) < base;
  });
  if (!number && !hex) return std::string("PID must be in 0xXXXX format.");
  if (!number || (hex && digits.size() > 4)) return text + " is invalid PID.";
  uint32_t value = 0;
  // Held just above the limit, so that no number of digits overflows it.
  for (const char c : digits) value = std::min<uint32_t>(value * base + digitValue(c), 0x2000);
  if (value > 0x1FFF) return text + " is out of range.";
  pid = static_cast<uint16_t>(value);
  return std::nullopt;
}

namespace {
bool StandardOutputIsATerminal() {
  static const bool terminal = isatty(STDOUT_FILENO) == 1;
  return terminal;
}

std::string TerminalNodeText(const TTreeNode& node) { return node.utf8 ? node.text : TerminalText(node.text); }
}  // namespace

void Print(const std::string& text) {
  std::fputs(StandardOutputIsATerminal() ? TerminalText(text).c_str() : text.c_str(), stdout);
}

void PrintTree(const TTreeNode& node, bool positions) {
  const bool terminal = StandardOutputIsATerminal();
  std::fputs(TreeToText(node, 0, positions, terminal ? TerminalNodeText : nullptr).c_str(), stdout);
}

int Fail(const std::string& message) {
  std::cerr << message << '\n';
  return kExitFailure;
}

namespace {

// Prints the message; false for the caller to return.
bool Refused(const std::string& message) {
  Fail(message);
  return false;
}

bool NotValid() { return Refused("Not valid transport stream"); }

}  // namespace

bool IsReadableFile(const std::string& path) {
  const auto cannotOpen = [&path](int error) { return Refused("Cannot open " + path + ": " + std::strerror(error)); };
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    const int error = errno;
    return error == ENOENT || error == ENOTDIR ? Refused("File not found: " + path) : cannotOpen(error);
  }
  if (!S_ISREG(info.st_mode)) return Refused("Not a regular file: " + path);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return cannotOpen(errno);
  ::close(fd);
  return true;
}

bool OpenStream(TStreamBrowser& browser, const std::string& path) {
  if (!IsReadableFile(path)) return false;
  return browser.LoadFile(path) || NotValid();
}

bool IsStreamFile(const std::string& path) {
  if (!IsReadableFile(path)) return false;
  int32_t packetSize = 0;
  int32_t offset = 0;
  // LoadFile's own test; a stream it accepts always shows a first page.
  return IsTS(path, packetSize, offset) || NotValid();
}

}  // namespace tessaro
