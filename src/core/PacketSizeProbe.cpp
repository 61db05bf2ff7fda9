#include "core/PacketSizeProbe.h"

#include <array>

#include "core/Diagnostics.h"
#include "core/FileStream.h"

namespace tessaro {

bool GetTSStreamType(const uint8_t* buffer, int64_t length, int32_t& packetSize, int32_t& offset) {
  static constexpr std::array<int32_t, 5> kSizes{188, 192, 196, 204, 212};
  if (buffer == nullptr) return false;
  for (int64_t p = 0;; ++p) {
    const int64_t remaining = length - p;
    if (remaining <= 376) return false;
    if (buffer[p] != 0x47) continue;
    for (int32_t size : kSizes) {
      // Every size but the first needs more than two strides of data left.
      if (size != 188 && remaining <= 2 * size) return false;
      if (buffer[p + size] == 0x47 && buffer[p + 2 * size] == 0x47) {
        packetSize = size;
        offset = static_cast<int32_t>(p);
        return true;
      }
    }
  }
}

bool IsTS(const std::string& fileName, int32_t& packetSize, int32_t& offset) {
  return Guarded("IsTS", false, [&] {
    auto stream = TFileStream::Open(fileName, TFileStream::Mode::Read);
    if (!stream) {
      DebugOutput("zrk: Error in IsTS call - cannot open file.");
      return false;
    }
    std::array<uint8_t, kIsTSProbeBytes> probe{};
    const int64_t n = stream->ReadAt(0, probe.data(), kIsTSProbeBytes);
    if (n <= 0) {
      DebugOutput("zrk: Error in IsTS call - cannot read file.");
      return false;
    }
    return GetTSStreamType(probe.data(), n, packetSize, offset);
  });
}

}  // namespace tessaro
