#include "decode/PATParser.h"

#include <algorithm>
#include <string>

#include "core/TextHelpers.h"

namespace tessaro {

void TMPEGTSPATPacketParserEx::DecodeSection(const TByteView& s) {
  table_id = static_cast<int32_t>(s.U8(0));
  section_syntax_indicator = static_cast<int32_t>(s.U8(1) >> 7);
  if (section_syntax_indicator != 1) return;
  zero_bit = static_cast<int32_t>((s.U8(1) >> 6) & 1);
  reserved1 = static_cast<int32_t>((s.U8(1) >> 4) & 3);
  section_length = static_cast<int32_t>(s.U16(1) & 0x0FFF);
  transport_stream_id = static_cast<int32_t>(s.U16(3));
  reserved2 = static_cast<int32_t>(s.U8(5) >> 6);
  version_number = static_cast<int32_t>((s.U8(5) >> 1) & 0x1F);
  current_next_indicator = static_cast<int32_t>(s.U8(5) & 1);
  section_number = static_cast<int32_t>(s.U8(6));
  last_section_number = static_cast<int32_t>(s.U8(7));
  program_count = std::min((section_length - 9) / 4, kMaxPrograms);
  for (int32_t i = 0; i < EntryCount(); ++i) {
    program_number[i] = static_cast<int32_t>(s.U16(8 + 4 * i));
    PID[i] = static_cast<int32_t>(s.U16(10 + 4 * i) & 0x1FFF);
  }
  CRC_32 = s.U32(8 + 4 * EntryCount());
}

bool TMPEGTSPATPacketParserEx::IsPMT(int32_t pid) const {
  for (int32_t i = 0; i < EntryCount(); ++i)
    if (PID[i] == pid && program_number[i] != 0) return true;
  return false;
}

bool TMPEGTSPATPacketParserEx::IsNIT(int32_t pid) const {
  for (int32_t i = 0; i < EntryCount(); ++i)
    if (PID[i] == pid && program_number[i] == 0) return true;
  return false;
}

void TMPEGTSPATPacketParserEx::AddTableNodes(TTreeNode& psi) {
  TTreeNode& pat = psi.Add("PAT");
  pat.Add(DecField("table_id", table_id, " (8 bits)"));
  pat.Add(DecField("section_syntax_indicator", section_syntax_indicator, " (1 bit)"));
  pat.Add(EmptyField("zero_bit", " (1 bit)"));
  pat.Add(EmptyField("reserved", " (2 bits)"));
  pat.Add(DecField("section_length", section_length, " (12 bits)"));
  pat.Add(DecField("transport_stream_id", transport_stream_id, " (16 bits)"));
  pat.Add(EmptyField("reserved", " (2 bits)"));
  pat.Add(DecField("version_number", version_number, " (5 bits)"));
  pat.Add(DecField("current_next_indicator", current_next_indicator, " (1 bit)"));
  pat.Add(DecField("section_number", section_number, " (8 bits)"));
  pat.Add(DecField("last_section_number", last_section_number, " (8 bits)"));
  pat.Add(TextField("program_count", std::to_string(program_count)));
  TTreeNode& programs = pat.Add("Programs");
  for (int32_t i = 0; i < EntryCount(); ++i) {
    TTreeNode& program = programs.Add("Program #" + std::to_string(program_number[i]));
    program.Add(DecField("program_number", program_number[i], " (16 bits)"));
    program.Add(EmptyField("reserved", " (3 bits)"));
    program.Add(HexField("PID", static_cast<uint32_t>(PID[i]), 4, " (13 bits)"));
  }
  pat.Add(HexField("CRC32", CRC_32, 8, " (32 bits)"));
}

}  // namespace tessaro
