// Where a packet's payload lies, by the rule of TMPEGTSBasePacketParser
// (after the 4 header bytes and the adaptation field its control bits
// announce, to the end of the 188 bytes) without a full header parse, and the
// part an elementary-stream output keeps: a packet that starts a PES packet
// loses its first 9 + PES_header_data_length payload bytes.
#pragma once

#include <cstdint>

#include "core/PacketParser.h"

namespace tessaro {

struct TPayload {
  const uint8_t* data = nullptr;
  int32_t length = 0;  // 0: nothing to take
};

// packet: the 188 bytes from the sync byte.
inline TPayload PacketPayload(const uint8_t* packet) {
  if ((packet[3] & 0x10) == 0) return {};
  const int32_t start = (packet[3] & 0x20) != 0 ? 5 + packet[4] : 4;
  if (start >= kTSPacketSize) return {};
  return {packet + start, kTSPacketSize - start};
}

inline TPayload ElementaryPayload(const uint8_t* packet) {
  TPayload payload = PacketPayload(packet);
  if ((packet[1] & 0x40) == 0 || payload.length == 0) return payload;
  // PES_packet: start code, stream_id and PES_packet_length (6 bytes), two
  // flag bytes, then PES_header_data_length. The rest must lie in the packet.
  if (payload.length < 9) return {};
  const int32_t skip = 9 + payload.data[8];
  if (skip >= payload.length) return {};
  return {payload.data + skip, payload.length - skip};
}

}  // namespace tessaro
