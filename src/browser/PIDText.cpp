#include "browser/PIDText.h"

#include <algorithm>
#include <cctype>

namespace tessaro {

std::optional<std::string> CheckPIDText(const std::string& text, uint16_t& pid) {
  if (text.size() != 6 || text[0] != '0' || text[1] != 'x') return std::string("PID must be in 0xXXXX format.");
  uint32_t value = 0;
  for (size_t i = 2; i < 6; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!std::isxdigit(c)) return text + " is invalid PID.";
    value = value * 16 + static_cast<uint32_t>(std::isdigit(c) ? c - '0' : std::toupper(c) - 'A' + 10);
  }
  if (value > 0x1FFF) return text + " is out of range.";
  pid = static_cast<uint16_t>(value);
  return std::nullopt;
}

std::optional<std::string> CheckProgramNumberText(const std::string& text, int32_t& number) {
  const size_t sign = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (text.size() == sign) return text + " is invalid program number.";
  int64_t value = 0;
  for (size_t i = sign; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return text + " is invalid program number.";
    value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{1} << 40);  // still out of range
  }
  if (sign == 1 && text[0] == '-') value = -value;
  if (value < 1 || value > 65535) return text + " is out of range.";
  number = static_cast<int32_t>(value);
  return std::nullopt;
}

}  // namespace tessaro
