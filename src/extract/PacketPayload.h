// The part of a packet's payload each output keeps: all of it (PES), or,
// for an elementary-stream output, without the PES header at a payload start
// (its first 9 + PES_header_data_length payload bytes).
#pragma once

#include <cstdint>

#include "core/PacketHeaderView.h"

namespace tessaro {

// packet: the 188 bytes from the sync byte.
inline TPayload PacketPayload(const uint8_t* packet) { return TPacketHeaderView(packet).Payload(); }

inline TPayload ElementaryPayload(const uint8_t* packet) {
  const TPacketHeaderView header(packet);
  TPayload payload = header.Payload();
  if (!header.PayloadUnitStart() || payload.length == 0) return payload;
  // PES_packet: start code, stream_id and PES_packet_length (6 bytes), two
  // flag bytes, then PES_header_data_length. The rest must lie in the packet.
  if (payload.length < 9) return {};
  const int32_t skip = 9 + payload.data[8];
  if (skip >= payload.length) return {};
  return {payload.data + skip, payload.length - skip};
}

}  // namespace tessaro
