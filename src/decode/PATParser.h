// TMPEGTSPATPacketParserEx: program_association_section (ISO/IEC 13818-1,
// Table 2-30). Its program table is the current PAT that decides which PIDs
// carry PMTs and which one the NIT.
#pragma once

#include <array>
#include <cstdint>

#include "decode/SectionDecoder.h"

namespace tessaro {

class TMPEGTSPATPacketParserEx : public TSectionDecoder {
 public:
  static constexpr int kMaxPrograms = 256;

  TMPEGTSPATPacketParserEx() : TSectionDecoder(TTableId::PAT) {}

  int32_t table_id = 0;
  int32_t section_syntax_indicator = 0;
  int32_t zero_bit = 0;
  int32_t reserved1 = 0;
  int32_t section_length = 0;
  int32_t transport_stream_id = 0;
  int32_t reserved2 = 0;
  int32_t version_number = 0;
  int32_t current_next_indicator = 0;
  int32_t section_number = 0;
  int32_t last_section_number = 0;
  // (section_length - 9) / 4, at most 256; negative for a too short section.
  int32_t program_count = 0;
  std::array<int32_t, 512> program_number{};
  std::array<int32_t, kMaxPrograms> reserved3{};  // the 3 bits before each PID
  std::array<int32_t, kMaxPrograms> PID{};
  uint32_t CRC_32 = 0;

  // Entries of the program loop that were read (0 when program_count < 0).
  int32_t EntryCount() const { return program_count > 0 ? program_count : 0; }
  bool IsPMT(int32_t pid) const;
  bool IsNIT(int32_t pid) const;

 protected:
  void DecodeSection(const TSectionBytes& bytes) override;
  void AddTableNodes(TTreeNode& psi) override;

 private:
  // A section with section_syntax_indicator 0 ends after that bit: the
  // program table stays as it was, and the tree shows the two fields only.
  bool headerOnly_ = false;
};

}  // namespace tessaro
