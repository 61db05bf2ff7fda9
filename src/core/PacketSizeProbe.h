// Recognising a transport stream: packet slot size and first sync byte.
#pragma once

#include <cstdint>
#include <string>

namespace tessaro {

inline constexpr int kIsTSProbeBytes = 3072;

// Searches buffer for a sync byte followed by two more at equal spacing of
// 188, 192, 196, 204 or 212 bytes (smallest first, earliest position wins).
bool GetTSStreamType(const uint8_t* buffer, int64_t length, int32_t& packetSize, int32_t& offset);

// Opens the file for reading and runs GetTSStreamType over its first 3072 bytes.
bool IsTS(const std::string& fileName, int32_t& packetSize, int32_t& offset);

}  // namespace tessaro
