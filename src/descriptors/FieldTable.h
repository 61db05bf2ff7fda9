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

enum class TFieldKind : uint8_t { Field, Marker, Run, Loop, When, Needs };
// Hex: " : 0x" and two upper-case hex digits per byte. NoValue: the padded
// label, " : " and the suffix (reserved bits the tree shows without value).
// Named: the decimal value, a blank and the text nameOf gives for it.
enum class TFieldShow : uint8_t { Decimal, Hex, ISO639, Hidden, NoValue, Named };

// What a field's raw value means, shown in brackets after it while decoded
// values are shown (see DecodedValuesShown); an empty text adds nothing.
// related is the value of the field the description names beside it (the
// polarity of an offset, the coding type of a frequency, the west_east_flag
// of an orbital position), or 0.
using TFieldMeaning = std::string (*)(uint64_t value, uint64_t related);

// A byte count: descriptor_length, or the value of a field met earlier (the
// innermost first), less a constant.
struct TLengthSource {
  const char* field = nullptr;
  int32_t minus = 0;
};

// One entry of a loop takes bytes plus the values of up to two of its own
// length fields.
struct TEntrySize {
  int32_t bytes = 1;
  const char* lengthFields[2] = {nullptr, nullptr};
};

struct TFieldDesc {
  TFieldKind kind = TFieldKind::Field;
  // Field, Marker: the label. Run, Loop: the group ("" puts the contents
  // directly under the parent). When: the field tested.
  const char* label = "";
  int bits = 0;
  TFieldShow show = TFieldShow::Decimal;
  const char* suffix = nullptr;              // nullptr: BitsSuffix(bits)
  std::string (*nameOf)(int32_t) = nullptr;  // Named: the text after the value
  TLengthSource length{};                    // Run: its byte count; Loop: its counter
  // Loop: entries are read while the counter is above 0, each lowering it
  // by its size; an entry node is the prefix followed by the index.
  const char* entryPrefix = "";
  TEntrySize entry{};
  bool wholeEntriesOnly = false;     // show only counter / entry bytes entries
  uint32_t value = 0;                // When: the enabling value; Needs: least bytes available
  const TFieldDesc* body = nullptr;  // Loop entry, When block
  size_t bodyCount = 0;
  // Field: its meaning, and the label of the related field: one read before
  // it in the same list, or else the field right after it.
  TFieldMeaning meaning = nullptr;
  const char* related = nullptr;
  bool text = false;  // Run: the bytes are a DVB text

  constexpr TFieldDesc Means(TFieldMeaning m, const char* relatedField = nullptr) const {
    TFieldDesc d = *this;
    d.meaning = m;
    d.related = relatedField;
    return d;
  }
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

// Builders for the description lists.
namespace fields {

constexpr TFieldDesc Bits(const char* label, int bits, const char* suffix = nullptr) {
  TFieldDesc d;
  d.label = label;
  d.bits = bits;
  d.suffix = suffix;
  return d;
}
constexpr TFieldDesc HexBits(const char* label, int bits, const char* suffix = nullptr) {
  TFieldDesc d = Bits(label, bits, suffix);
  d.show = TFieldShow::Hex;
  return d;
}
constexpr TFieldDesc NoValueBits(const char* label, int bits, const char* suffix = nullptr) {
  TFieldDesc d = Bits(label, bits, suffix);
  d.show = TFieldShow::NoValue;
  return d;
}
constexpr TFieldDesc NamedBits(const char* label, int bits, std::string (*nameOf)(int32_t),
                               const char* suffix = nullptr) {
  TFieldDesc d = Bits(label, bits, suffix);
  d.show = TFieldShow::Named;
  d.nameOf = nameOf;
  return d;
}
// Read and kept but not shown.
constexpr TFieldDesc Hidden(int bits) {
  TFieldDesc d = Bits("", bits);
  d.show = TFieldShow::Hidden;
  return d;
}
constexpr TFieldDesc ISO639() {
  TFieldDesc d = Bits("ISO_639_language_code", 24);
  d.show = TFieldShow::ISO639;
  return d;
}
// A node made of the padded label and " : " only.
constexpr TFieldDesc Marker(const char* label) {
  TFieldDesc d;
  d.kind = TFieldKind::Marker;
  d.label = label;
  return d;
}
constexpr TLengthSource DescriptorLength(int32_t minus = 0) { return {nullptr, minus}; }
constexpr TLengthSource LengthField(const char* field, int32_t minus = 0) { return {field, minus}; }
constexpr TFieldDesc Run(const char* group, TLengthSource length) {
  TFieldDesc d;
  d.kind = TFieldKind::Run;
  d.label = group;
  d.length = length;
  return d;
}
// A byte run that holds DVB text (EN 300 468 Annex A).
constexpr TFieldDesc TextRun(const char* group, TLengthSource length) {
  TFieldDesc d = Run(group, length);
  d.text = true;
  return d;
}
// Rejects the descriptor (systems parse) when fewer than bytes are available.
constexpr TFieldDesc Needs(uint32_t bytes) {
  TFieldDesc d;
  d.kind = TFieldKind::Needs;
  d.value = bytes;
  return d;
}
template <size_t N>
constexpr TFieldDesc When(const char* field, uint32_t equals, const TFieldDesc (&block)[N]) {
  TFieldDesc d;
  d.kind = TFieldKind::When;
  d.label = field;
  d.value = equals;
  d.body = block;
  d.bodyCount = N;
  return d;
}
enum class TLoopShow : uint8_t { EveryEntry, WholeEntries };
template <size_t N>
constexpr TFieldDesc Loop(const char* group, const char* entryPrefix, TLengthSource counter, TEntrySize entry,
                          const TFieldDesc (&body)[N], TLoopShow show = TLoopShow::EveryEntry) {
  TFieldDesc d;
  d.kind = TFieldKind::Loop;
  d.label = group;
  d.entryPrefix = entryPrefix;
  d.length = counter;
  d.entry = entry;
  d.wholeEntriesOnly = show == TLoopShow::WholeEntries;
  d.body = body;
  d.bodyCount = N;
  return d;
}
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

// The node text of a field (Field entries) holding value; with decoded values
// shown, its meaning follows in brackets.
std::string FieldText(const TFieldDesc& d, uint64_t value, uint64_t related = 0);
// Whether FieldText adds a meaning to the field's text (which is then UTF-8).
bool ShowsMeaning(const TFieldDesc& d);

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
