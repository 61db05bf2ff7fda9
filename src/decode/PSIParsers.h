// TMPEGTSCATPacketParserEx (CA_section) and TMPEGTSPMTPacketParserEx
// (TS_program_map_section), ISO/IEC 13818-1 Tables 2-32 and 2-33.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/StreamTypes.h"
#include "decode/ProgramMapTable.h"
#include "decode/SectionDecoder.h"
#include "descriptors/SystemsDescriptors.h"

namespace tessaro {

class TMPEGTSCATPacketParserEx : public TSectionDecoder {
 public:
  static constexpr int kMaxDescriptors = 256;

  TMPEGTSCATPacketParserEx() : TSectionDecoder(TTableId::CAT) {}

  int32_t table_id = 0;
  int32_t section_syntax_indicator = 0;
  int32_t zero_bit = 0;
  int32_t reserved1 = 0;
  int32_t section_length = 0;
  int32_t reserved2 = 0;
  int32_t version_number = 0;
  int32_t current_next_indicator = 0;
  int32_t section_number = 0;
  int32_t last_section_number = 0;
  int32_t descriptor_count = 0;
  std::array<TCA_descriptor_class, kMaxDescriptors> descriptors{};
  uint32_t CRC_32 = 0;

 protected:
  void DecodeSection(const TSectionBytes& bytes) override;
  void AddTableNodes(TTreeNode& psi) override;

 private:
  bool crcRead_ = false;  // the loop ended where the CRC_32 starts
};

class TMPEGTSPMTPacketParserEx : public TSectionDecoder {
 public:
  TMPEGTSPMTPacketParserEx() : TSectionDecoder(TTableId::PMT) {}

  TProgramMapTable Table;

 protected:
  void DecodeSection(const TSectionBytes& bytes) override;
  void AddTableNodes(TTreeNode& psi) override;
};

}  // namespace tessaro
