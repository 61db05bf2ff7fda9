// The value part of a decode tree node text (see NodeText.h).
#include "browser/NodeText.h"

#include <regex>

namespace tessaro {

size_t NodeValueStart(const std::string& text) {
  const size_t separator = text.find(" : ");
  return separator == std::string::npos ? 0 : separator + 3;
}

std::string NodeValue(const std::string& text) {
  std::string value = text.substr(NodeValueStart(text));
  const size_t first = value.find_first_not_of(' ');
  value = first == std::string::npos ? std::string() : value.substr(first, value.find_last_not_of(' ') - first + 1);
  static const std::regex kBitCount(R"( \(\d+ bits?\)$)");
  std::string bare = std::regex_replace(value, kBitCount, "");
  return bare.empty() ? value : bare;
}

}  // namespace tessaro
