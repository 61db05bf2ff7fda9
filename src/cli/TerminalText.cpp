#include "cli/TerminalText.h"

namespace tessaro {

std::string TerminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 0x14 && b <= 0x1F) || (b >= 0x7F && b <= 0x9F)) {
      out += '.';
    } else if (b >= 0xA0) {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace tessaro
