// Descriptors written as data. A descriptor's syntax is a list of field
// descriptions (fields of n bits, byte runs, loops, conditional blocks); one
// walker goes through that list both to parse the descriptor into a
// TFieldRecord and to show the record, so parse and display cannot disagree.
//
// Reads go through the bit reader, so nothing outside the bytes it was given
// is ever touched: fields past the end read as 0 and byte runs are cut there.
//
// A module declares each of its table-driven descriptors once, as a row of
// its X-macro list: X(name, tag, field list) for DVB and user-defined
// descriptors, X(name, tag, field list, least bytes available, whether
// descriptor_length + 2 must fit in them) for systems descriptors. The macros
// at the end of this header turn the rows into the declarations and
// definitions of Parse_<name> and TreeView_Update_<name> and into the rows of
// the dispatch table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/BitStream.h"
#include "core/FieldDesc.h"
#include "core/FieldPositions.h"
#include "core/TreeNode.h"
#include "descriptors/DescriptorEntry.h"
#include "descriptors/DescriptorForm.h"
#include "descriptors/DescriptorRecord.h"

namespace tessaro {

// The record of a table-driven descriptor: every field value and the byte
// count of every run in walk order, and the bytes of the runs. Values sit in
// a vector that moves as it grows, so their positions are kept beside them
// rather than keyed by address: while positions are active, spans holds one
// entry per value (a field's bits, a run's bytes, none for the entry count of
// a loop); otherwise it stays empty.
struct TFieldRecord : TDescriptorRecord {
  std::vector<uint64_t> values;
  std::vector<uint8_t> bytes;
  std::vector<TSpans> spans;
};

// A descriptor's description. needs and lengthMustFit are the acceptance rules
// of the systems descriptors (least bytes available; descriptor_length + 2
// within them); the DVB routines accept everything and leave them 0.
struct TFieldTable {
  uint8_t tag = 0;  // the dispatch-table row of the descriptor, whose name ShowFields by tag shows
  int32_t needs = 0;
  bool lengthMustFit = false;
  const TFieldDesc* fields = nullptr;
  size_t count = 0;
  // Loops start no entry once the reader's data (the rest of the descriptor
  // loop) is used up, rather than reading entries of zeros past it. The record
  // then keeps each loop's entry count ahead of its entries.
  bool loopsEndWithData = false;
};

namespace fields {

template <size_t N>
constexpr TFieldTable Table(uint8_t tag, int32_t needs, bool lengthMustFit, const TFieldDesc (&list)[N]) {
  return {tag, needs, lengthMustFit, list, N};
}
template <size_t N>
constexpr TFieldTable Table(uint8_t tag, const TFieldDesc (&list)[N]) {
  return {tag, 0, false, list, N};
}
// A DVB descriptor whose loops end where the descriptor loop's bytes end.
template <size_t N>
constexpr TFieldTable TableEndingWithData(uint8_t tag, const TFieldDesc (&list)[N]) {
  return {tag, 0, false, list, N, true};
}

}  // namespace fields

// Systems descriptor: bytes points at descriptor_tag, available bytes of the
// loop follow. False when the table's acceptance rules refuse the descriptor.
// routine names the diagnostic of an unexpected failure.
bool ParseSystemsFields(const char* routine, const TFieldTable& table, const uint8_t* bytes, int32_t available,
                        TFieldRecord& record);
// DVB descriptor: the reader stands at descriptor_tag. True unless an
// unexpected failure occurs.
bool ParseDVBFields(const char* routine, const TFieldTable& table, TBitStream4& reader, TFieldRecord& record);
// Adds the descriptor node, named name, and its fields under parent.
bool ShowFields(const char* routine, const char* name, const TFieldTable& table, TTreeNode& parent,
                const TFieldRecord& record);

// The rows of table-driven descriptors (see the top of this header).
#define TESSARO_DECLARE_DVB_FIELDS(name, tag, list) TESSARO_DECLARE_DVB_ROUTINES(name, tag, TFieldRecord)
#define TESSARO_DECLARE_SYSTEMS_FIELDS(name, tag, list, needs, lengthMustFit) \
  TESSARO_DECLARE_SYSTEMS_ROUTINES(name, tag, TFieldRecord)
#define TESSARO_DEFINE_DVB_FIELDS(name, tag, list)                                              \
  bool Parse_##name(TBitStream4& reader, TFieldRecord& record) {                                \
    return ParseDVBFields(__func__, fields::TableEndingWithData(tag, list), reader, record);    \
  }                                                                                             \
  bool TreeView_Update_##name(TTreeNode& parent, const TFieldRecord& record) {                  \
    return ShowFields(__func__, #name, fields::TableEndingWithData(tag, list), parent, record); \
  }
#define TESSARO_DEFINE_SYSTEMS_FIELDS(name, tag, list, needs, lengthMustFit)                                       \
  bool Parse_##name(const uint8_t* bytes, int32_t available, TFieldRecord& record) {                               \
    return ParseSystemsFields(__func__, fields::Table(tag, needs, lengthMustFit, list), bytes, available, record); \
  }                                                                                                                \
  bool TreeView_Update_##name(TTreeNode& parent, const TFieldRecord& record) {                                     \
    return ShowFields(__func__, #name, fields::Table(tag, needs, lengthMustFit, list), parent, record);            \
  }
#define TESSARO_DVB_FIELDS_ENTRY(name, tag, list) TESSARO_DVB_ENTRY(name, tag, TFieldRecord)
#define TESSARO_SYSTEMS_FIELDS_ENTRY(name, tag, list, needs, lengthMustFit) \
  TESSARO_SYSTEMS_ENTRY(name, tag, TFieldRecord)

}  // namespace tessaro
