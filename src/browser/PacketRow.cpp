#include "browser/PacketRow.h"

#include "core/TextHelpers.h"

namespace tessaro {

std::string OffsetText(int64_t offset) { return "0x" + HexDigits(static_cast<uint64_t>(offset), 16); }

namespace {

bool StartsPES(const TPacketRow& row) { return row.PSIKind < 0 && row.Header.payload_unit_start_indicator == 1; }

}  // namespace

std::string ColumnText(const TPacketRow& row, TColumn column) {
  const TTSHeader& h = row.Header;
  double seconds = 0;
  switch (column) {
    case TColumn::Offset:
      return OffsetText(row.Offset);
    case TColumn::PID:
      return "0x" + HexDigits(static_cast<uint32_t>(h.PID), 4);
    case TColumn::ES:
      return StartsPES(row) && row.PES.Reached(TPESField::stream_id) ? "0x" + HexDigits(row.PES.stream_id & 0xFF, 2)
                                                                     : std::string();
    case TColumn::PCR:
      return h.HasPCR() ? SecondsToTimeStr(static_cast<double>(h.program_clock_reference_base) / 90000.0)
                        : std::string();
    case TColumn::PTS:
      return StartsPES(row) && GetPTSSeconds(row.PES, seconds) ? SecondsToTimeStr(seconds) : std::string();
    case TColumn::DTS:
      return StartsPES(row) && GetDTSSeconds(row.PES, seconds) ? SecondsToTimeStr(seconds) : std::string();
    case TColumn::PLD:
      return std::to_string(h.payload_unit_start_indicator);
    case TColumn::AF:
      return std::to_string(h.adaptation_field_control);
    case TColumn::CC:
      return std::to_string(h.continuity_counter);
    case TColumn::PSI:
      return PSIKindName(row.PSIKind);
    case TColumn::INFO:
      if (h.PID == 0x1FFF) return "NULL";
      switch (h.adaptation_field_control) {
        case 1:
          return "PLD";
        case 2:
          return "AF";
        case 3:
          return "AF+PLD";
        default:
          return {};
      }
  }
  return {};
}

}  // namespace tessaro
