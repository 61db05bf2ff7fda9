// One row of the descriptor dispatch table: a descriptor_tag with the
// descriptor's name, the descriptor lists that accept it, and the routines
// that make, parse and show its record. Each descriptor module defines the
// rows of its own descriptors and exports them; the registry puts them in
// order of tag.
//
// A module lists its descriptors once, as rows of an X-macro
// X(name, tag, ...): the header expands the list to declare Parse_<name> and
// TreeView_Update_<name>, the .cpp to define them (table-driven descriptors)
// and to make the rows, whose name is the text of <name>.
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

namespace entry_detail {

template <class R>
std::unique_ptr<TDescriptorRecord> MakeRecord() {
  return std::make_unique<R>();
}

// Typed routines behind the row's untyped pointers. A record of another type
// (never made by the lists, which create each record from its own row) is refused.
template <class R, auto Parse>
bool ParseSystemsAs(const uint8_t* bytes, int32_t available, TDescriptorRecord& record) {
  auto* typed = dynamic_cast<R*>(&record);
  return typed != nullptr && Parse(bytes, available, *typed);
}
template <class R, auto Parse>
bool ParseDVBAs(TBitStream4& reader, TDescriptorRecord& record) {
  auto* typed = dynamic_cast<R*>(&record);
  return typed != nullptr && Parse(reader, *typed);
}
template <class R, auto Show>
bool ShowAs(TTreeNode& parent, const TDescriptorRecord& record) {
  const auto* typed = dynamic_cast<const R*>(&record);
  return typed != nullptr && Show(parent, *typed);
}

}  // namespace entry_detail

// A systems descriptor: accepted in PMT loops only.
template <class R, auto Parse, auto Show>
constexpr TDescriptorEntry SystemsEntry(uint8_t tag, const char* name) {
  return {tag,
          name,
          kProgramLoops,
          &entry_detail::MakeRecord<R>,
          &entry_detail::ParseSystemsAs<R, Parse>,
          nullptr,
          &entry_detail::ShowAs<R, Show>};
}

// A DVB or user-defined descriptor: accepted in every loop.
template <class R, auto Parse, auto Show>
constexpr TDescriptorEntry DVBEntry(uint8_t tag, const char* name) {
  return {tag,
          name,
          kProgramLoops | kSILoops,
          &entry_detail::MakeRecord<R>,
          nullptr,
          &entry_detail::ParseDVBAs<R, Parse>,
          &entry_detail::ShowAs<R, Show>};
}

// Hand-written descriptors: rows X(name, tag, record type). Record names a
// type in a declaration, where it cannot stand in parentheses.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define TESSARO_DECLARE_SYSTEMS_ROUTINES(name, tag, Record)                   \
  bool Parse_##name(const uint8_t* bytes, int32_t available, Record& record); \
  bool TreeView_Update_##name(TTreeNode& parent, const Record& record);
#define TESSARO_DECLARE_DVB_ROUTINES(name, tag, Record)   \
  bool Parse_##name(TBitStream4& reader, Record& record); \
  bool TreeView_Update_##name(TTreeNode& parent, const Record& record);
// NOLINTEND(bugprone-macro-parentheses)
#define TESSARO_SYSTEMS_ENTRY(name, tag, Record) SystemsEntry<Record, Parse_##name, TreeView_Update_##name>(tag, #name),
#define TESSARO_DVB_ENTRY(name, tag, Record) DVBEntry<Record, Parse_##name, TreeView_Update_##name>(tag, #name),
// NameOf(record): the name a hand-written display routine gives its descriptor
// node, one overload per record type (each such record serves one descriptor).
#define TESSARO_NAME_OF(name, tag, Record) \
  [[maybe_unused]] constexpr const char* NameOf(const Record&) { return #name; }

}  // namespace tessaro
