// The check of a PID typed by the user ("0x" and four hex digits), shared by
// the window's input boxes and the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessaro {

// nullopt with pid set when text is a valid PID; otherwise the message to show:
// "PID must be in 0xXXXX format.", text + " is invalid PID." or
// text + " is out of range.".
std::optional<std::string> CheckPIDText(const std::string& text, uint16_t& pid);

}  // namespace tessaro
