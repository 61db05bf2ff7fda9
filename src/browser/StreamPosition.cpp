// Slot arithmetic, Go To Offset input and status texts (see StreamPosition.h).
#include "browser/StreamPosition.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "core/PacketParser.h"
#include "core/TextHelpers.h"

namespace tessaro {
namespace {

constexpr const char* kBeyondEnd = "Offset is beyond the end of the file.";

// Digits of base 10 or 16 as a non-negative 64-bit value; false for an empty
// text, another character or a value that does not fit.
bool ReadDigits(const std::string& digits, int base, int64_t& value) {
  if (digits.empty()) return false;
  value = 0;
  for (const char c : digits) {
    int digit = 0;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c))) {
      digit = std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
    } else {
      return false;
    }
    if (value > (std::numeric_limits<int64_t>::max() - digit) / base) return false;
    value = value * base + digit;
  }
  return true;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

int64_t PacketCount(const TSlotLayout& layout) {
  const int64_t bytes = layout.fileSize - layout.startOffset;
  if (layout.packetSize <= 0 || bytes < kTSPacketSize) return 0;
  return (bytes - kTSPacketSize) / layout.packetSize + 1;
}

int64_t PacketNumber(const TSlotLayout& layout, int64_t offset) {
  if (layout.packetSize <= 0 || offset < layout.startOffset) return 1;
  return (offset - layout.startOffset) / layout.packetSize + 1;
}

int64_t PacketSlotOf(const TSlotLayout& layout, int64_t offset) {
  return layout.startOffset + (PacketNumber(layout, offset) - 1) * std::max(layout.packetSize, 0);
}

TGoToTarget ReadGoToText(const std::string& text, const TSlotLayout& layout) {
  const std::string typed = Trimmed(text);
  int64_t value = 0;
  if (typed.empty()) return {-1, "Offset must be in 0x hex, decimal or #N format."};
  if (typed[0] == '#') {
    if (!ReadDigits(typed.substr(1), 10, value) || value < 1) return {-1, typed + " is invalid packet number."};
    if (value > PacketCount(layout)) return {-1, kBeyondEnd};
    return {layout.startOffset + (value - 1) * layout.packetSize, {}};
  }
  const bool hex = typed.size() > 2 && typed[0] == '0' && (typed[1] == 'x' || typed[1] == 'X');
  if (!ReadDigits(hex ? typed.substr(2) : typed, hex ? 16 : 10, value)) return {-1, typed + " is invalid offset."};
  if (value >= layout.fileSize) return {-1, kBeyondEnd};
  // The last whole packet holds the bytes after it that make no packet.
  const int64_t count = PacketCount(layout);
  if (count == 0) return {-1, kBeyondEnd};
  return {PacketSlotOf(layout, std::min(value, layout.startOffset + (count - 1) * int64_t{layout.packetSize})), {}};
}

std::string GroupDigits(int64_t value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  for (auto at = static_cast<int64_t>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
  return value < 0 ? "-" + digits : digits;
}

std::string SlotSizeText(int32_t packetSize) { return std::to_string(packetSize) + "-byte packets"; }

std::string PacketPositionText(const TSlotLayout& layout, int64_t offset) {
  return "packet " + GroupDigits(PacketNumber(layout, offset)) + " of " + GroupDigits(PacketCount(layout));
}

std::string FileSizeText(int64_t fileSize) { return GroupDigits(fileSize) + " bytes"; }

std::string KeptPageText(int64_t offset) {
  return "No packets at 0x" + HexDigits(static_cast<uint64_t>(std::max<int64_t>(offset, 0)), 16) +
         ": the list still shows the previous page";
}

}  // namespace tessaro
