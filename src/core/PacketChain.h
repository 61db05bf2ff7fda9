// Walks along the packets of one PID in the open file, following the
// continuity_counter chain forwards (to gather a section) or backwards (to find
// the packet that started it), and reads the table_id of a packet's section.
// Walks step by the stream's packet slot size and read the file in blocks.
#pragma once

#include <array>
#include <cstdint>

#include "core/Buffer.h"
#include "core/FileStream.h"
#include "core/PacketParser.h"

namespace tessaro {

// Offset of the first packet after offset whose PID matches and whose
// continuity_counter is continuityCounter + 1 (mod 16); -1 when the file ends
// first. Packets of the PID with another counter are passed over; only packets
// whose 188 bytes lie wholly inside the file are examined.
int64_t FindNextPIDOffset188WithNextContinuityCounter(const TFileStream& stream, uint16_t pid,
                                                      int32_t continuityCounter, int64_t offset,
                                                      int32_t packetSize = kTSPacketSize);

// Offset of the packet that started the section the packet at offset belongs
// to, following the continuity chain backwards; -1 when the file start comes
// first.
int64_t FindPreviousPIDOffset188WithPayloadStartFlag(const TFileStream& stream, uint16_t pid, int32_t continuityCounter,
                                                     int64_t offset, int32_t packetSize = kTSPacketSize);

// The table_id of the section starting in a payload-start packet (188 bytes).
// False when the packet has no payload or the table_id lies outside it.
bool GetTableIDFromPacket(const uint8_t* packet, int32_t& tableId);

// table_id look-ups for the packet list and the section searches.
class TBigPSIParser {
 public:
  TBigPSIParser() : Buffer(5120, 0) {}
  bool GetTableID(const TFileStream& stream, int32_t& tableId, int64_t offset, int32_t packetSize = kTSPacketSize);

  TMPEGTSBasePacketParser Parser;
  TBuffer Buffer;
};

}  // namespace tessaro
