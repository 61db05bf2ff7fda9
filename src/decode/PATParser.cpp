// The PAT decoder: its fixed fields as lists, read and shown by one walker, and
// the look-ups of the current PAT.
#include "decode/PATParser.h"

#include <algorithm>
#include <string>

#include "core/TextHelpers.h"
#include "decode/DVBSectionReader.h"

namespace tessaro {
namespace {

using namespace fields;
using PAT = TMPEGTSPATPacketParserEx;

// program_association_section (ISO/IEC 13818-1, Table 2-30); the PAT shows
// its zero and reserved bits without value.
// clang-format off
constexpr TRecordField<PAT> kStart[] = {
    Dec<&PAT::table_id>("table_id", 8),
    Dec<&PAT::section_syntax_indicator>("section_syntax_indicator", 1),
};
constexpr TRecordField<PAT> kHeader[] = {
    NoValue<&PAT::zero_bit>("zero_bit", 1),
    NoValue<&PAT::reserved1>("reserved", 2),
    Dec<&PAT::section_length>("section_length", 12),
    Dec<&PAT::transport_stream_id>("transport_stream_id", 16),
    NoValue<&PAT::reserved2>("reserved", 2),
    Dec<&PAT::version_number>("version_number", 5),
    Dec<&PAT::current_next_indicator>("current_next_indicator", 1),
    Dec<&PAT::section_number>("section_number", 8),
    Dec<&PAT::last_section_number>("last_section_number", 8),
};
// One entry of the program loop: program_number, then network_PID or program_map_PID.
constexpr TRecordField<PAT> kProgram[] = {
    Dec<&PAT::program_number>("program_number", 16),
    NoValue<&PAT::reserved3>("reserved", 3),
    Hex<&PAT::PID>("PID", 13),
};
constexpr TRecordField<PAT> kCrc[] = {
    Hex<&PAT::CRC_32>("CRC32", 32),
};
// clang-format on

}  // namespace

void TMPEGTSPATPacketParserEx::DecodeSection(const TSectionBytes& bytes) {
  TBitStream4 bits;
  TSISectionReader r(bits, bytes);
  r.Fields(kStart, *this);
  headerOnly_ = section_syntax_indicator != 1;
  if (headerOnly_) return;
  extents_.header = r.Fields(kHeader, *this);
  program_count = std::min((section_length - 9) / 4, kMaxPrograms);
  for (int32_t i = 0; i < EntryCount(); ++i) r.Fields(kProgram, *this, i);
  extents_.crc = r.Fields(kCrc, *this);
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
  AddSectionFields(pat, kStart, *this);
  if (headerOnly_) return;
  AddSectionFields(pat, kHeader, *this, extents_.header);
  pat.Add(TextField("program_count", std::to_string(program_count)).From(section_length));
  TTreeNode& programs = pat.Add("Programs");
  for (int32_t i = 0; i < EntryCount(); ++i)
    AddSectionFields(programs.Add("Program #" + std::to_string(program_number[i])), kProgram, *this, {}, i);
  AddSectionFields(pat, kCrc, *this, extents_.crc);
}

}  // namespace tessaro
