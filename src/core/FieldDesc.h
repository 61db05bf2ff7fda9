// One fixed field of a syntax table written as data: its label, width,
// display form and suffix, and the entries (byte runs, loops, conditional
// blocks) that descriptor tables add around such fields. Record field lists
// (core/RecordFields.h) and descriptor tables (descriptors/FieldTable.h) both
// describe their fields with it, and FieldText gives every such field's node
// text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaro {

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
}  // namespace fields

// " (1 bit)" for one bit, " (N bits)" for wider fields.
std::string BitsSuffix(int bits);

// Padded label, " : ", the unsigned value in decimal, suffix.
std::string DescriptorFieldText(std::string_view label, uint64_t value, std::string_view suffix);

// "ISO_639_language_code : <decimal> [<three characters>] (24 bits)".
std::string ISO639FieldText(uint32_t code);

// Appends " [" meaning "]" to text unless meaning is empty.
void AppendMeaning(std::string& text, const std::string& meaning);

// The node text of a field (Field entries) holding value, with its meaning
// while decoded values are shown (related: see TFieldMeaning).
std::string FieldText(const TFieldDesc& d, uint64_t value, uint64_t related = 0);
// Whether FieldText adds a meaning to the field's text (which is then UTF-8).
bool ShowsMeaning(const TFieldDesc& d);

}  // namespace tessaro
