// Reading a finding's place back from its message.

#include "validation/FindingPlace.h"

#include <cctype>
#include <cstdint>

namespace tessaro {
namespace {

// The value of count hex digits at text[at], if they are there.
std::optional<int64_t> Hex(const std::string& text, size_t at, size_t count) {
  if (at + count > text.size()) return std::nullopt;
  uint64_t value = 0;
  for (size_t i = at; i < at + count; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (std::isxdigit(c) == 0) return std::nullopt;
    value = value * 16 + static_cast<uint64_t>(std::isdigit(c) != 0 ? c - '0' : std::toupper(c) - 'A' + 10);
  }
  if (value > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
  return static_cast<int64_t>(value);
}

// Two or more digits, then the given character: the number, and at moved past the character.
std::optional<int64_t> Digits(const std::string& text, size_t& at, size_t least, char after) {
  int64_t value = 0;
  size_t count = 0;
  for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) != 0 && count < 12; ++at, ++count)
    value = value * 10 + (text[at] - '0');
  if (count < least) return std::nullopt;
  if (after != '\0') {
    if (at >= text.size() || text[at] != after) return std::nullopt;
    ++at;
  }
  return value;
}

// " at HH:MM:SS.mmm" closing the text.
std::optional<int64_t> ClosingTime(const std::string& text) {
  const size_t at = text.rfind(" at ");
  if (at == std::string::npos) return std::nullopt;
  size_t i = at + 4;
  const auto hours = Digits(text, i, 2, ':');
  const auto minutes = hours ? Digits(text, i, 2, ':') : std::nullopt;
  const auto seconds = minutes ? Digits(text, i, 2, '.') : std::nullopt;
  const size_t msStart = i;
  const auto ms = seconds ? Digits(text, i, 3, '\0') : std::nullopt;
  if (!ms || i != text.size() || i - msStart != 3 || *minutes > 59 || *seconds > 59) return std::nullopt;
  return ((*hours * 60 + *minutes) * 60 + *seconds) * 1000 + *ms;
}

}  // namespace

TFindingPlace ReadFindingPlace(const std::string& message) {
  TFindingPlace place;
  size_t rest = 0;
  for (int i = 0; i < kIndicatorCount; ++i) {
    const std::string head = std::string(IndicatorName(static_cast<TIndicator>(i))) + ": ";
    if (message.compare(0, head.size(), head) != 0) continue;
    place.indicator = static_cast<TIndicator>(i);
    rest = head.size();
    break;
  }
  if (place.indicator && message.compare(rest, 6, "PID 0x") == 0 && message.compare(rest + 10, 2, ", ") == 0)
    if (const auto pid = Hex(message, rest + 6, 4)) place.pid = static_cast<int32_t>(*pid);
  const std::string offsetText = "offset 0x";
  const size_t offset = message.find(offsetText);
  if (offset != std::string::npos) {
    const auto value = Hex(message, offset + offsetText.size(), 16);
    if (value) place.offset = value;
  }
  place.milliseconds = ClosingTime(message);
  return place;
}

}  // namespace tessaro
