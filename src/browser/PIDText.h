// The checks of a PID ("0x" and four hex digits) and of a program number
// typed by the user, shared by the window's input boxes and the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessaro {

// nullopt with pid set when text is a valid PID; otherwise the message to show:
// "PID must be in 0xXXXX format.", text + " is invalid PID." or
// text + " is out of range.".
std::optional<std::string> CheckPIDText(const std::string& text, uint16_t& pid);

// nullopt with number set when text is a decimal number from 1 to 65535;
// otherwise text + " is invalid program number." or text + " is out of range.".
std::optional<std::string> CheckProgramNumberText(const std::string& text, int32_t& number);

}  // namespace tessaro
