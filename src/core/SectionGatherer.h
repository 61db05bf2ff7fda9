// Gathering of a PSI/SI section that starts in one packet and may continue in
// later packets of the same PID (ISO/IEC 13818-1 section syntax: table_id,
// section_length in the low 12 bits of bytes 1-2).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/FileStream.h"
#include "core/PacketParser.h"

namespace tessaro {

inline constexpr int kSectionBufferSize = 5120;
using TSectionBuffer = std::array<uint8_t, kSectionBufferSize>;

// Where a run of section bytes came from: section bytes [at, at + length)
// are the file bytes from fileOffset on.
struct TSectionPart {
  int32_t at = 0;
  int32_t length = 0;
  int64_t fileOffset = 0;
};

struct TGatheredSection {
  bool pointerFieldRead = false;  // a section starts in the packet
  uint8_t pointer_field = 0;
  const uint8_t* data = nullptr;  // the whole section, or null when not complete
  int32_t available = 0;          // 3 + section_length bytes at data
  // The map from section bytes to file offsets, one part per packet.
  std::vector<TSectionPart> parts;
};

// parser holds the packet at offset, just parsed. Follows the packet's
// continuity chain through stream when the section does not fit; buffer
// receives a gathered section. pidGate decides which PIDs are decoded.
TGatheredSection GatherSection(TMPEGTSBasePacketParser& parser, const TFileStream* stream, int32_t packetSize,
                               int64_t offset, const std::function<bool(int32_t)>& pidGate, TSectionBuffer& buffer);

}  // namespace tessaro
