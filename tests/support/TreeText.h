// Expected decode-tree text, written as the tests read it: one line a node,
// two blanks of indent per depth, labels padded to 36.
#pragma once

#include <cstdint>
#include <string>

#include "core/TextHelpers.h"
#include "descriptors/Descriptors.h"
#include "support/TestSupport.h"

namespace tessaro::test {

inline std::string Line(int depth, const std::string& text) {
  return std::string(static_cast<size_t>(depth) * 2, ' ') + text + "\n";
}
inline std::string Field(int depth, const char* label, const std::string& value, const char* suffix) {
  return Line(depth, PadRightStr(label, kLabelWidth) + " : " + value + suffix);
}
// A decimal field with the width suffix of its bits.
inline std::string F(int depth, const char* label, uint64_t value, int bits) {
  const std::string suffix = bits == 1 ? " (1 bit)" : " (" + std::to_string(bits) + " bits)";
  return Field(depth, label, std::to_string(value), suffix.c_str());
}
// A descriptor node with its descriptor_tag and descriptor_length children.
inline std::string Header(const char* name, const char* tag, int length) {
  return Line(0, name) + Field(1, "descriptor_tag", tag, " (8 bits)") +
         Field(1, "descriptor_length", std::to_string(length), " (8 bits)");
}
inline bool Parse(TDescriptorList& list, const Bytes& loop) {
  return list.ParseDescriptors(loop.data(), static_cast<int32_t>(loop.size()));
}

}  // namespace tessaro::test
