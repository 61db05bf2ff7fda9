#include "core/SectionGatherer.h"

#include <algorithm>
#include <cstring>

#include "core/PacketChain.h"

namespace tessaro {

TGatheredSection GatherSection(TMPEGTSBasePacketParser& parser, const TFileStream* stream, int32_t packetSize,
                               int64_t offset, const std::function<bool(int32_t)>& pidGate, TSectionBuffer& buffer) {
  TGatheredSection result;
  const TTSHeader first = parser.Header;
  if (!first.HasPayloadFlag() || first.payload_unit_start_indicator != 1 || parser.PayloadLength < 1) return result;
  result.pointerFieldRead = true;
  result.pointer_field = parser.Payload[0];
  if (pidGate && !pidGate(first.PID)) return result;

  // The section starts after the pointer_field, inside this packet; its
  // 3-byte header may continue in the next packet of the PID.
  const int32_t start = static_cast<int32_t>(parser.Payload - parser.Packet) + 1 + result.pointer_field;
  const int32_t inPacket = kTSPacketSize - start;
  if (inPacket < 1) return result;
  const uint8_t* section = parser.Packet + start;
  auto sectionTotal = [](const uint8_t* header) { return 3 + (((header[1] & 0x0F) << 8) | header[2]); };
  if (inPacket >= 3 && sectionTotal(section) <= inPacket) {
    result.data = section;
    result.available = sectionTotal(section);
    result.parts.push_back({0, result.available, offset + start});
    return result;
  }
  if (stream == nullptr) return result;

  std::memcpy(buffer.data(), section, static_cast<size_t>(inPacket));
  int32_t filled = inPacket;
  std::vector<TSectionPart> parts{{0, inPacket, offset + start}};
  auto total = [&] { return filled >= 3 ? sectionTotal(buffer.data()) : kSectionBufferSize; };
  int64_t lastOffset = offset;
  int32_t lastCounter = first.continuity_counter;
  std::array<uint8_t, kTSPacketSize> packet{};
  while (filled < total()) {
    const int64_t next = FindNextPIDOffset188WithNextContinuityCounter(*stream, static_cast<uint16_t>(first.PID),
                                                                       lastCounter, lastOffset, packetSize);
    if (next < 0) return result;
    if (stream->ReadAt(next, packet.data(), kTSPacketSize) < kTSPacketSize) return result;
    if (parser.ParseData(packet.data(), kTSPacketSize) != 0) return result;
    const uint8_t* payload = parser.Payload;
    int32_t count = parser.PayloadLength;
    if (payload != nullptr && parser.Header.payload_unit_start_indicator == 1) {
      ++payload;
      --count;
    }
    count = std::min(count, kSectionBufferSize - filled);
    if (payload != nullptr && count > 0) {
      std::memcpy(buffer.data() + filled, payload, static_cast<size_t>(count));
      parts.push_back({filled, count, next + (payload - packet.data())});
      filled += count;
    }
    lastOffset = next;
    lastCounter = parser.Header.continuity_counter;
  }
  result.data = buffer.data();
  result.available = std::min(filled, total());
  result.parts = std::move(parts);
  return result;
}

}  // namespace tessaro
