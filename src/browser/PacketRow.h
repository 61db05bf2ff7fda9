// TPacketRow: the record behind one packet-list row, and the texts of its
// eleven columns.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/PacketParser.h"
#include "decode/PES.h"
#include "decode/TableRegistry.h"

namespace tessaro {

struct TPacketRow {
  int64_t Offset = 0;
  TTSHeader Header;
  TPESPacketHeader PES;
  int32_t PSIKind = kPSIKindNone;
};

enum class TColumn { Offset, PID, ES, PCR, PTS, DTS, PLD, AF, CC, PSI, INFO };
inline constexpr int kColumnCount = 11;
inline constexpr std::array<const char*, kColumnCount> kColumnNames{"Offset", "PID", "ES", "PCR", "PTS", "DTS",
                                                                    "PLD",    "AF",  "CC", "PSI", "INFO"};

std::string ColumnText(const TPacketRow& row, TColumn column);
// "0x" and 16 upper-case hex digits: how a packet's offset is shown and read back.
std::string OffsetText(int64_t offset);

}  // namespace tessaro
