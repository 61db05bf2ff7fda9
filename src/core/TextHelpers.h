// Text routines shared by every decoder: padding, hex digits, clock times,
// byte dump lines, and the label/value/suffix shapes of decode tree nodes.
#pragma once

#include <concepts>
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
// spans, when given, are where the bytes lie; each line gets the spans of its bytes.
bool MemToStrLinesShort(const uint8_t* data, int length, TTreeNode& parent, const TSpans& spans = {});

// Node texts, with the spans the active positions hold for the field shown
// (none for a value that is not a field read from the stream). Decimal values
// print as the field's own type prints (32-bit signed for most fields, 64-bit
// for 33-bit clocks, unsigned in descriptors).
std::string FieldLabel(std::string_view label, int width);

template <std::integral T>
TNodeText DecField(std::string_view label, const T& value, std::string_view suffix, int width = kLabelWidth) {
  return {FieldLabel(label, width) + std::to_string(value) + std::string(suffix), SpansOf(&value)};
}
template <std::integral T>
TNodeText HexField(std::string_view label, const T& value, int digits, std::string_view suffix,
                   int width = kLabelWidth) {
  return {FieldLabel(label, width) + "0x" + HexDigits(static_cast<uint64_t>(value), digits) + std::string(suffix),
          SpansOf(&value)};
}
// A field shown without its value: the padded label, " : " and the suffix.
template <std::integral T>
TNodeText EmptyField(std::string_view label, const T& field, std::string_view suffix, int width = kLabelWidth) {
  return {FieldLabel(label, width) + std::string(suffix), SpansOf(&field)};
}
// The same shape for a node that stands for no bits of the stream.
std::string EmptyField(std::string_view label, std::string_view suffix, int width = kLabelWidth);
// A computed or composed value; From() adds the spans of its sources.
TNodeText TextField(std::string_view label, std::string_view value, std::string_view suffix = {},
                    int width = kLabelWidth);

}  // namespace tessaro
