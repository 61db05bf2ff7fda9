// The descriptor dispatch table: one row per descriptor_tag with the
// descriptor's name, the descriptor lists that accept it, and the routines
// that make, parse and show its record. Both descriptor lists and every
// display routine look descriptors up here; nothing else lists them.
#pragma once

#include <cstdint>
#include <memory>

#include "core/BitStream.h"
#include "core/TreeNode.h"
#include "descriptors/DescriptorRecord.h"

namespace tessaro {

// The descriptor lists, as bits of TDescriptorEntry::lists.
enum TDescriptorLists : uint8_t {
  kProgramLoops = 1,  // Tdescriptors: the program_info and ES_info loops of the PMT
  kSILoops = 2,       // TDVBdescriptors: the loops of the DVB SI tables
};

using TRecordFactory = std::unique_ptr<TDescriptorRecord> (*)();
// Systems descriptors: bytes at descriptor_tag, available bytes to the loop end.
using TSystemsParse = bool (*)(const uint8_t* bytes, int32_t available, TDescriptorRecord& record);
// DVB and user-defined descriptors: the bit reader stands at descriptor_tag.
using TDVBParse = bool (*)(TBitStream4& reader, TDescriptorRecord& record);
using TDisplay = bool (*)(TTreeNode& parent, const TDescriptorRecord& record);

struct TDescriptorEntry {
  uint8_t tag = 0;
  const char* name = nullptr;  // nullptr: no descriptor has this tag
  uint8_t lists = 0;           // TDescriptorLists accepting the tag
  TRecordFactory create = nullptr;
  TSystemsParse parseSystems = nullptr;
  TDVBParse parseDVB = nullptr;
  TDisplay display = nullptr;

  bool AcceptedBy(TDescriptorLists list) const { return (lists & list) != 0; }
  // A row whose routines are not plugged in yet knows its tag and name only.
  bool Decoded() const { return create != nullptr && (parseSystems != nullptr || parseDVB != nullptr); }
};

// The row of tag; a row with no name and no lists for tags no descriptor has.
// Tags 0x80 to 0xFE share the one "user_defined" row.
const TDescriptorEntry& FindDescriptor(uint8_t tag);

// The name shown on the descriptor node ("" for tags no descriptor has).
const char* DescriptorName(uint8_t tag);

}  // namespace tessaro
