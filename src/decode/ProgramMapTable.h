// The PMT model: TProgramMapTable with its program descriptors and its
// elementary-stream entries (TProgram), filled by the PMT decoder.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "descriptors/Descriptors.h"

namespace tessaro {

// One elementary-stream entry of a TS_program_map_section.
class TProgram {
 public:
  int32_t stream_type = 0;
  int32_t reserved1 = 0;
  int32_t elementary_PID = 0;
  int32_t reserved2 = 0;
  int32_t ES_info_length = 0;
  Tdescriptors Descriptors;  // the ES_info descriptors
};

class TProgramMapTable {
 public:
  int32_t table_id = 0;
  int32_t section_syntax_indicator = 0;
  int32_t zero_bit = 0;
  int32_t reserved1 = 0;
  int32_t section_length = 0;
  int32_t program_number = 0;
  int32_t reserved2 = 0;
  int32_t version_number = 0;
  int32_t current_next_indicator = 0;
  int32_t section_number = 0;
  int32_t last_section_number = 0;
  int32_t reserved3 = 0;
  int32_t PCR_PID = 0;
  int32_t reserved4 = 0;
  int32_t program_info_length = 0;
  Tdescriptors Descriptors;  // the program_info descriptors
  std::vector<std::unique_ptr<TProgram>> Streams;
  uint32_t CRC_32 = 0;

  // Frees every TProgram entry; S_OK.
  uint32_t ClearProgramList();
};

}  // namespace tessaro
