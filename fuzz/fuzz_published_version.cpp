// The published version list over arbitrary bytes: the first byte picks the
// key's length and whether the read was cut at the limit, the key follows,
// the rest is the list.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "version/PublishedVersion.h"

using namespace tessaro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t keyLength = std::min<size_t>(data[0] & 0x1F, size - 1);
  const bool cut = (data[0] & 0x80) != 0;
  const std::string key(reinterpret_cast<const char*>(data + 1), keyLength);
  const std::string_view list(reinterpret_cast<const char*>(data + 1 + keyLength), size - 1 - keyLength);
  static_cast<void>(FindPublishedVersion(list, key, cut));
  std::string text(list);
  std::string part;
  while (!text.empty()) {
    CutLine(text, part);
    while (!part.empty()) {
      std::string field;
      CutField(part, field);
      while (!field.empty()) {
        std::string dot;
        CutDot(field, dot);
      }
    }
  }
  return 0;
}
