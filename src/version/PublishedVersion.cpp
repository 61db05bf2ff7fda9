#include "version/PublishedVersion.h"

#include <algorithm>
#include <array>

namespace tessaro {
namespace {

void Cut(std::string& text, std::string& part, std::string_view separator) {
  const size_t at = text.find(separator);
  if (at == std::string::npos) {
    part = std::move(text);
    text.clear();
    return;
  }
  part = text.substr(0, at);
  text.erase(0, at + separator.size());
}

// 1 to 5 decimal digits, at most 65535; nothing else, not even blanks or a sign.
std::optional<uint16_t> Component(const std::string& text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value > 0xFFFF) return std::nullopt;
  return static_cast<uint16_t>(value);
}

// A line from the network as a message may show it: at most 80 characters,
// anything but printable ASCII as "?".
std::string Printable(const std::string& line) {
  constexpr size_t kShown = 80;
  std::string shown = line.substr(0, kShown);
  for (char& c : shown)
    if (c < 0x20 || c > 0x7E) c = '?';
  return line.size() > kShown ? shown + "..." : shown;
}

}  // namespace

void CutLine(std::string& text, std::string& line) { Cut(text, line, "\r\n"); }
void CutField(std::string& text, std::string& field) { Cut(text, field, ";"); }
void CutDot(std::string& text, std::string& part) { Cut(text, part, "."); }

std::optional<TVersionNumber> FindPublishedVersion(std::string_view received, const std::string& key, bool cut) {
  return LookUpPublishedVersion(received, key, cut).version;
}

TPublishedLookup LookUpPublishedVersion(std::string_view received, const std::string& key, bool cut) {
  if (key.empty()) return {};
  received = received.substr(0, std::min(received.size(), kPublishedListLimit));
  const size_t zero = received.find('\0');
  if (zero != std::string_view::npos) {
    received = received.substr(0, zero);
  } else if (cut) {
    // Only whole lines: the last one may have lost its end to the limit.
    const size_t end = received.rfind("\r\n");
    received = received.substr(0, end == std::string_view::npos ? 0 : end + 2);
  }
  std::string text(received);
  std::string line;
  while (!text.empty()) {
    CutLine(text, line);
    if (line.empty()) return {};
    if (line.find(key) == std::string::npos) continue;
    const std::string whole = line;
    std::string field;
    CutField(line, field);  // the name
    std::string version;
    CutField(line, version);
    std::array<uint16_t, 4> components{};
    for (uint16_t& component : components) {
      std::string part;
      CutDot(version, part);
      const std::optional<uint16_t> value = Component(part);
      if (!value) return {std::nullopt, "the line for " + key + " has no valid version: " + Printable(whole)};
      component = *value;
    }
    return {TVersionNumber{components[0], components[1], components[2], components[3]}, {}};
  }
  return {};
}

bool IsNewerVersion(const TVersionNumber& own, const TVersionNumber& published) { return published > own; }

}  // namespace tessaro
