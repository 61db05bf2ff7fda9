// Text routines shared by every decoder: padding, hex digits, clock times,
// byte dump lines, and the label/value/suffix shapes of decode tree nodes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/TreeNode.h"

namespace tessaro {

inline constexpr int kLabelWidth = 36;     // every decoder but the PES header
inline constexpr int kPESLabelWidth = 34;  // the PES header decoder

std::string PadRightStr(std::string_view text, int width);
std::string ByteToHexStr(uint8_t value);
// "%.2d:%.2d:%.2d.%.2d" of hours, minutes, seconds, centiseconds.
std::string SecondsToTimeStr(double seconds);
// Upper-case hex, zero-padded to digits.
std::string HexDigits(uint64_t value, int digits);
// Each byte as two upper-case hex digits followed by one blank.
std::string HexBytesText(const uint8_t* data, int length);
// Bytes 0x00..0x13 show as '.', every other byte as itself.
char DumpChar(uint8_t value);

// 16 bytes per child line of parent: hex part padded to 60, then the characters.
bool MemToStrLinesShort(const uint8_t* data, int length, TTreeNode& parent);

// Node texts. Callers pass the value already at the width they print it with
// (32-bit signed for most fields, 64-bit for 33-bit clocks, unsigned in descriptors).
std::string DecField(std::string_view label, int64_t value, std::string_view suffix,
                     int width = kLabelWidth);
std::string HexField(std::string_view label, uint64_t value, int digits, std::string_view suffix,
                     int width = kLabelWidth);
std::string EmptyField(std::string_view label, std::string_view suffix, int width = kLabelWidth);
std::string TextField(std::string_view label, std::string_view value, std::string_view suffix = {},
                      int width = kLabelWidth);

}  // namespace tessaro
