// Decoded texts on a terminal: the bytes of service and event names go to
// the user's screen, so control bytes must not reach it as commands.
#pragma once

#include <string>
#include <string_view>

namespace tessaro {

// 0x14-0x1F, 0x7F and 0x80-0x9F become "."; 0xA0-0xFF become their Latin-1
// characters in UTF-8; every other byte stays as it is.
std::string TerminalText(std::string_view text);

}  // namespace tessaro
