#include "cli/CliSupport.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "browser/StreamBrowser.h"
#include "cli/TerminalText.h"
#include "core/StreamType.h"

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

void Print(const std::string& text) {
  static const bool terminal = isatty(STDOUT_FILENO) == 1;
  std::fputs(terminal ? TerminalText(text).c_str() : text.c_str(), stdout);
}

int Fail(const std::string& message) {
  std::cerr << message << '\n';
  return kExitFailure;
}

namespace {

bool IsFile(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_regular_file(path, ec)) return true;
  std::cerr << "File not found: " << path << '\n';
  return false;
}

bool NotValid() {
  std::cerr << "Not valid transport stream\n";
  return false;
}

}  // namespace

bool OpenStream(TStreamBrowser& browser, const std::string& path) {
  if (!IsFile(path)) return false;
  return browser.LoadFile(path) || NotValid();
}

bool IsStreamFile(const std::string& path) {
  if (!IsFile(path)) return false;
  int32_t packetSize = 0;
  int32_t offset = 0;
  // LoadFile's own test; a stream it accepts always shows a first page.
  return IsTS(path, packetSize, offset) || NotValid();
}

}  // namespace tessaro
