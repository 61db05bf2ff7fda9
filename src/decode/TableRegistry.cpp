#include "decode/TableRegistry.h"

#include "core/PacketChain.h"
#include "decode/DecoderSet.h"

namespace tessaro {
namespace {

constexpr uint8_t kPIDAndKind = kChooseByNetworkPID | kChooseByKind;

template <auto Member>
TSectionDecoder* DecoderOf(TSectionDecoders& decoders) {
  return &(decoders.*Member);
}

// ISO/IEC 13818-1 (PAT, CAT, PMT, TSDT) and ETSI EN 300 468 (the SI tables);
// table_ids and PIDs as those standards assign them.
constexpr TTableEntry kTables[] = {
    {TTableId::PAT,
     "PAT",
     0x0000,
     0x0000,
     TKindRule::PID,
     kChooseByPID,  //
     {{{0x00, 0x00, "PAT"}}},
     1,
     &DecoderOf<&TSectionDecoders::PAT>,
     "pat"},
    {TTableId::CAT,
     "CAT",
     0x0001,
     0x0001,
     TKindRule::PID,
     kChooseByPID,  //
     {{{0x01, 0x01, "CAT"}}},
     1,
     &DecoderOf<&TSectionDecoders::CAT>,
     "cat"},
    {TTableId::PMT,
     "PMT",
     0x0010,
     0x1FFE,
     TKindRule::PAT,
     kChooseByProgramPID,  //
     {{{0x02, 0x02, "PMT"}}},
     1,
     &DecoderOf<&TSectionDecoders::PMT>,
     "pmt"},
    {TTableId::NIT,
     "NIT",
     0x0010,
     0x0010,
     TKindRule::TableId,
     kPIDAndKind,  //
     {{{0x40, 0x40, "NIT-AN"}, {0x41, 0x41, "NIT-ON"}}},
     2,
     &DecoderOf<&TSectionDecoders::NIT>,
     "nit"},
    {TTableId::BAT,
     "BAT",
     0x0011,
     0x0011,
     TKindRule::TableId,
     kChooseByKind,  //
     {{{0x4A, 0x4A, "BAT"}}},
     1,
     &DecoderOf<&TSectionDecoders::BAT>,
     "bat"},
    {TTableId::SDT,
     "SDT",
     0x0011,
     0x0011,
     TKindRule::TableId,
     kChooseByKind,  //
     {{{0x42, 0x42, "SDT-ATS"}, {0x46, 0x46, "SDT-OTS"}}},
     2,
     &DecoderOf<&TSectionDecoders::SDT>,
     "sdt"},
    {TTableId::EIT,
     "EIT",
     0x0012,
     0x0012,
     TKindRule::TableId,
     kChooseByKind,  //
     {{{0x4E, 0x4E, "EIT-ATSPF"}, {0x4F, 0x4F, "EIT-OTSPF"}, {0x50, 0x5F, "EIT-ATSS"}, {0x60, 0x6F, "EIT-OTSS"}}},
     4,
     &DecoderOf<&TSectionDecoders::EIT>,
     "eit"},
    {TTableId::TDT,
     "TDT",
     0x0014,
     0x0014,
     TKindRule::TableId,
     kChooseByKind,  //
     {{{0x70, 0x70, "TDT"}}},
     1,
     &DecoderOf<&TSectionDecoders::TDT>,
     "tdt"},
    {TTableId::TOT,
     "TOT",
     0x0014,
     0x0014,
     TKindRule::TableId,
     kChooseByKind,  //
     {{{0x73, 0x73, "TOT"}}},
     1,
     &DecoderOf<&TSectionDecoders::TOT>,
     "tot"},
    {TTableId::RST,
     "RST",
     0x0013,
     0x0013,
     TKindRule::TableId,
     kChooseByKind,  //
     {{{0x71, 0x71, "RST"}}},
     1,
     &DecoderOf<&TSectionDecoders::RST>,
     "rst"},
    // The stuffing table may stand on any of the SI PIDs.
    {TTableId::ST,
     "ST",
     0x0010,
     0x0014,
     TKindRule::TableId,
     kChooseByKind,  //
     {{{0x72, 0x72, "ST"}}},
     1,
     &DecoderOf<&TSectionDecoders::ST>},
    {TTableId::DIT,
     "DIT",
     0x001E,
     0x001E,
     TKindRule::PID,
     kChooseByKind,  //
     {{{0x7E, 0x7E, "DIT"}}},
     1,
     &DecoderOf<&TSectionDecoders::DIT>},
    {TTableId::SIT,
     "SIT",
     0x001F,
     0x001F,
     TKindRule::PID,
     kChooseByKind,  //
     {{{0x7F, 0x7F, "SIT"}}},
     1,
     &DecoderOf<&TSectionDecoders::SIT>},
    // Known to the PSI column only; nothing decodes it.
    {TTableId::TSDT,
     "TSDT",
     0x0002,
     0x0002,
     TKindRule::PID,
     kChooseNever,  //
     {{{0x03, 0x03, "TSDT"}}},
     1},
};

}  // namespace

bool TTableEntry::HasTableId(int32_t tableId) const {
  for (uint8_t i = 0; i < tableIdCount; ++i)
    if (tableId >= tableIds[i].first && tableId <= tableIds[i].last) return true;
  return false;
}

const char* TTableEntry::Label(int32_t tableId) const {
  for (uint8_t i = 0; i < tableIdCount; ++i)
    if (tableId >= tableIds[i].first && tableId <= tableIds[i].last) return tableIds[i].label;
  return "";
}

std::span<const TTableEntry> Tables() { return kTables; }

const TTableEntry& Table(TTableId id) {
  for (const TTableEntry& entry : kTables)
    if (entry.id == id) return entry;
  return kTables[0];
}

int32_t PSIKindOf(int32_t pid, int64_t offset, const TFileStream* stream, int32_t packetSize,
                  const TMPEGTSPATPacketParserEx& currentPAT, TBigPSIParser& bigPSI) {
  bool readTableId = false;
  for (const TTableEntry& t : kTables) {
    if (!t.OnPID(pid)) continue;
    if (t.kindRule == TKindRule::PID) return t.tableIds[0].first;
    if (t.kindRule == TKindRule::TableId) readTableId = true;
  }
  if (readTableId) {
    int32_t tableId = 0;
    if (stream == nullptr || !bigPSI.GetTableID(*stream, tableId, offset, packetSize)) return kPSIKindNone;
    for (const TTableEntry& t : kTables)
      if (t.kindRule == TKindRule::TableId && t.OnPID(pid) && t.HasTableId(tableId)) return tableId;
    return kPSIKindNone;
  }
  return currentPAT.IsPMT(pid) ? kPSIKindPMT : kPSIKindNone;
}

std::string PSIKindName(int32_t kind) {
  for (const TTableEntry& t : kTables)
    if (t.HasTableId(kind)) return t.Label(kind);
  return {};
}

const TTableEntry* ChooseDecoderTable(int32_t pid, int32_t kind, const TMPEGTSPATPacketParserEx& currentPAT) {
  // The PID rules first, then the PSIKind rules, each in table order.
  for (const TTableEntry& t : kTables) {
    if (((t.choice & kChooseByPID) != 0 && t.OnPID(pid)) ||
        ((t.choice & kChooseByProgramPID) != 0 && currentPAT.IsPMT(pid)) ||
        ((t.choice & kChooseByNetworkPID) != 0 && currentPAT.IsNIT(pid)))
      return &t;
  }
  for (const TTableEntry& t : kTables)
    if ((t.choice & kChooseByKind) != 0 && t.HasTableId(kind)) return &t;
  return nullptr;
}

}  // namespace tessaro
