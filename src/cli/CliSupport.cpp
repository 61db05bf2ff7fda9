#include "cli/CliSupport.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "browser/StreamBrowser.h"
#include "cli/TerminalText.h"

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

bool OpenStream(TStreamBrowser& browser, const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    std::cerr << "File not found: " << path << '\n';
    return false;
  }
  if (!browser.LoadFile(path)) {
    std::cerr << "Not valid transport stream\n";
    return false;
  }
  return true;
}

}  // namespace tessaro
