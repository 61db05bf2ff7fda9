#include "decode/PATParser.h"

#include <algorithm>
#include <string>

#include "core/TextHelpers.h"
#include "decode/DVBSectionReader.h"

namespace tessaro {

// program_association_section (ISO/IEC 13818-1, Table 2-30).
void TMPEGTSPATPacketParserEx::DecodeSection(const TByteView& s) {
  TBitStream4 bits;
  TSISectionReader r(bits, s);
  r.Read(table_id, 8);
  r.Read(section_syntax_indicator, 1);
  headerOnly_ = section_syntax_indicator != 1;
  if (headerOnly_) return;
  r.Read(zero_bit, 1);
  r.Read(reserved1, 2);
  r.Read(section_length, 12);
  r.Read(transport_stream_id, 16);
  r.Read(reserved2, 2);
  r.Read(version_number, 5);
  r.Read(current_next_indicator, 1);
  r.Read(section_number, 8);
  r.Read(last_section_number, 8);
  program_count = std::min((section_length - 9) / 4, kMaxPrograms);
  for (int32_t i = 0; i < EntryCount(); ++i) {
    r.Read(program_number[i], 16);
    r.Read(reserved3[i], 3);
    r.Read(PID[i], 13);
  }
  r.Read(CRC_32, 32);
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
  if (headerOnly_) return;
  pat.Add(EmptyField("zero_bit", zero_bit, " (1 bit)"));
  pat.Add(EmptyField("reserved", reserved1, " (2 bits)"));
  pat.Add(DecField("section_length", section_length, " (12 bits)"));
  pat.Add(DecField("transport_stream_id", transport_stream_id, " (16 bits)"));
  pat.Add(EmptyField("reserved", reserved2, " (2 bits)"));
  pat.Add(DecField("version_number", version_number, " (5 bits)"));
  pat.Add(DecField("current_next_indicator", current_next_indicator, " (1 bit)"));
  pat.Add(DecField("section_number", section_number, " (8 bits)"));
  pat.Add(DecField("last_section_number", last_section_number, " (8 bits)"));
  pat.Add(TextField("program_count", std::to_string(program_count)).From(section_length));
  TTreeNode& programs = pat.Add("Programs");
  for (int32_t i = 0; i < EntryCount(); ++i) {
    TTreeNode& program = programs.Add("Program #" + std::to_string(program_number[i]));
    program.Add(DecField("program_number", program_number[i], " (16 bits)"));
    program.Add(EmptyField("reserved", reserved3[i], " (3 bits)"));
    program.Add(HexField("PID", PID[i], 4, " (13 bits)"));
  }
  pat.Add(HexField("CRC32", CRC_32, 8, " (32 bits)"));
}

}  // namespace tessaro
