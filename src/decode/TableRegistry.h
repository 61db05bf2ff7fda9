// The table registry: everything the program knows about each PSI/SI table,
// declared once: the PIDs it travels on, its table_ids with their PSI-column
// labels, how a packet's table is told, how its decoder is chosen, and the
// word its Find Next command goes by. The PSI column, the decoder
// choice of the decode tree, the section decoders' PID gates, the Find Next
// commands and the command line's KIND words all read it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace tessaro {

class TFileStream;
class TBigPSIParser;
class TMPEGTSPATPacketParserEx;
class TSectionDecoder;
struct TSectionDecoders;

enum class TTableId : uint8_t { PAT, CAT, PMT, TSDT, NIT, BAT, SDT, EIT, TDT, TOT, RST, ST, DIT, SIT };

// PSIKind values besides table_ids.
inline constexpr int32_t kPSIKindNone = -1;
inline constexpr int32_t kPSIKindPMT = 2;

// How the table of a packet on one of the table's PIDs is told (its PSIKind).
enum class TKindRule : uint8_t {
  PID,      // the PID alone: the table's first table_id
  TableId,  // the table_id of the section the packet belongs to, when it is one of the table's
  PAT,      // the current PAT lists the PID as a program's PMT
};

// How the decode tree chooses the table's decoder for a payload-start packet.
enum TDecoderChoice : uint8_t {
  kChooseNever = 0,
  kChooseByPID = 1,         // the packet's PID is the table's
  kChooseByProgramPID = 2,  // the current PAT lists the PID as a program's PMT
  kChooseByNetworkPID = 4,  // the current PAT lists the PID as the network PID
  kChooseByKind = 8,        // the packet's PSIKind is one of the table's table_ids
};

struct TTableIdRange {
  uint8_t first = 0;
  uint8_t last = 0;
  const char* label = "";  // the PSI column text
};

struct TTableEntry {
  TTableId id;
  const char* name;  // the decoder is "TMPEGTS" + name + "PacketParserEx"
  uint16_t firstPID;
  uint16_t lastPID;  // the PIDs the table travels on: its decoder's PID gate
  TKindRule kindRule;
  uint8_t choice;  // TDecoderChoice bits; kChooseNever: no decoder
  std::array<TTableIdRange, 4> tableIds;
  uint8_t tableIdCount;
  // The table's decoder among the window's decoders (null: none decodes it).
  TSectionDecoder* (*decoder)(TSectionDecoders&) = nullptr;
  const char* findWord = nullptr;  // the command line's KIND word; null: no Find Next command

  bool OnPID(int32_t pid) const { return pid >= firstPID && pid <= lastPID; }
  bool HasTableId(int32_t tableId) const;
  // The label of a table_id of the table ("" for others).
  const char* Label(int32_t tableId) const;
  std::string DecoderClassName() const { return std::string("TMPEGTS") + name + "PacketParserEx"; }
};

// Every table, in the order the decode tree tries their decoders.
std::span<const TTableEntry> Tables();
const TTableEntry& Table(TTableId id);

// The PSIKind of the packet at offset with the given PID: a table_id, 2 for
// a PMT PID, or -1. table_ids are read with bigPSI from the stream.
int32_t PSIKindOf(int32_t pid, int64_t offset, const TFileStream* stream, int32_t packetSize,
                  const TMPEGTSPATPacketParserEx& currentPAT, TBigPSIParser& bigPSI);

// The PSI column text of a PSIKind (empty for kinds without a name).
std::string PSIKindName(int32_t kind);

// The table whose decoder the decode tree uses for a payload-start packet of
// this PID and PSIKind, or null for none.
const TTableEntry* ChooseDecoderTable(int32_t pid, int32_t kind, const TMPEGTSPATPacketParserEx& currentPAT);

}  // namespace tessaro
