// Expected decode-tree text, written as the tests read it: one line a node,
// two blanks of indent per depth, labels padded to 36.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

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

inline constexpr size_t kEveryDescriptor = SIZE_MAX;
// The tree text of a loop parsed into list, which must parse to its end: of
// the descriptor at index, or of every descriptor.
inline std::string Shown(TDescriptorList& list, const Bytes& loop, size_t index = kEveryDescriptor) {
  EXPECT_TRUE(Parse(list, loop));
  TTreeNode root;
  list.TreeViewUpdateDescriptors(root);
  std::string text;
  for (size_t i = 0; i < root.children.size(); ++i)
    if (index == kEveryDescriptor || i == index) text += TreeToText(*root.children[i]);
  return text;
}

// A text cut at each separator (an empty text is one empty part), and parts joined again.
inline std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  for (size_t start = 0;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}
inline std::string Join(const std::vector<std::string>& parts, char separator) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? "" : std::string(1, separator)) + parts[i];
  return text;
}

}  // namespace tessaro::test
