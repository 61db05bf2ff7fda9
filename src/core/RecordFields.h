// Fixed fields written as data into a record's own named members. A run of
// fixed fields (a section header, the fixed part of a loop entry) is one list
// of field descriptions, each naming the record member that keeps its value;
// one walker reads the run through the bit reader into those members,
// recording where each field lies, and the same list makes the fields' tree
// nodes. The members stay where the code that needs the values looks for
// them, so parse and display share one description without a second record.
//
// Lists are constexpr arrays of TRecordField<R>, written one field per line
// as the syntax tables read:
//
//   constexpr TRecordField<TProgram> kStream[] = {
//       Named<&TProgram::stream_type>("stream_type", 8, GetStreamTypeName),
//       NoValue<&TProgram::reserved1>("reserved", 3),
//       Hex<&TProgram::elementary_PID>("elementary_PID", 13),
//   };
//
// A member may be a std::array; the walk's entry index then picks the element.
//
// A walk may be given a limit inside the reader's data (where a section ends
// by its section_length, say). A field that runs past the limit is read all
// the same from the bytes the reader holds, and its node carries a note; a
// field that runs past the reader's data is not read: its member becomes 0
// and it gets no node, nor does any field after it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <type_traits>
#include <utility>

#include "core/BitStream.h"
#include "core/FieldDesc.h"
#include "core/FieldPositions.h"
#include "core/TreeNode.h"

namespace tessaro {

// The record member that keeps one field's value (32-bit signed or unsigned,
// or 64-bit for fields wider than 32 bits).
class TFieldRef {
 public:
  explicit TFieldRef(const int32_t& field) : at_(&field), type_(TType::Int32) {}
  explicit TFieldRef(const uint32_t& field) : at_(&field), type_(TType::UInt32) {}
  explicit TFieldRef(const int64_t& field) : at_(&field), type_(TType::Int64) {}

  // The key of the field's recorded position.
  const void* Address() const { return at_; }
  uint64_t Load() const;
  // Only the walk that reads a record stores, and it holds the record writable.
  void Store(uint64_t value) const;

 private:
  enum class TType : uint8_t { Int32, UInt32, Int64 };
  const void* at_;
  TType type_;
};

template <class R>
struct TRecordField {
  using Record = R;
  TFieldDesc form;  // label, bits, display form, suffix
  TFieldRef (*slot)(const R& record, int32_t entry);
};

template <class R, auto Member>
TFieldRef MemberSlot(const R& record, int32_t entry) {
  const auto& field = record.*Member;
  if constexpr (requires { field.at(0); }) {
    return TFieldRef(field.at(static_cast<size_t>(entry)));
  } else {
    return TFieldRef(field);
  }
}

// A field description naming its member; it becomes the TRecordField of any
// record class that has the member (the class itself or one derived from it).
template <auto Member>
struct TMemberField {
  TFieldDesc form;
  // The field with a meaning shown beside its raw value (TFieldMeaning).
  constexpr TMemberField Means(TFieldMeaning meaning) const { return {form.Means(meaning)}; }
  template <class R>
  constexpr operator TRecordField<R>() const {
    return {form, &MemberSlot<R, Member>};
  }
};

// The record class of a list (a C array or std::array of TRecordField).
template <class List>
using ListRecord = typename std::remove_cvref_t<decltype(*std::begin(std::declval<const List&>()))>::Record;

namespace fields {

template <auto Member>
constexpr TMemberField<Member> Dec(const char* label, int bits, const char* suffix = nullptr) {
  return {Bits(label, bits, suffix)};
}
template <auto Member>
constexpr TMemberField<Member> Hex(const char* label, int bits, const char* suffix = nullptr) {
  return {HexBits(label, bits, suffix)};
}
template <auto Member>
constexpr TMemberField<Member> NoValue(const char* label, int bits, const char* suffix = nullptr) {
  return {NoValueBits(label, bits, suffix)};
}
template <auto Member>
constexpr TMemberField<Member> Named(const char* label, int bits, std::string (*nameOf)(int32_t),
                                     const char* suffix = nullptr) {
  return {NamedBits(label, bits, nameOf, suffix)};
}

}  // namespace fields

inline constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();

// Where a walk's fields lay: those before index inLimit wholly before the
// limit, those from inLimit on past it, those from inData on past the data.
// The default is a walk that stayed inside.
struct TFieldExtent {
  int32_t inLimit = std::numeric_limits<int32_t>::max();
  int32_t inData = std::numeric_limits<int32_t>::max();
};

enum class TFieldPlace : uint8_t { Inside, PastLimit, PastData };

// Reads one field at the reader's position into its member; limitBit counts
// from the start of the reader's data.
TFieldPlace ReadRecordField(TBitStream4& reader, const TFieldDesc& form, TFieldRef field, int64_t limitBit);
// The node of a field, with the spans recorded for its member and, unless
// null, the note at the end of its text.
TNodeText RecordFieldNode(const TFieldDesc& form, TFieldRef field, const char* note = nullptr);

// Reads the list's fields in order into record (entry: the element of array members).
template <class List>
TFieldExtent ReadRecordFields(TBitStream4& reader, const List& list, ListRecord<List>& record,
                              int64_t limitBit = kNoLimit, int32_t entry = 0) {
  TFieldExtent extent;
  int32_t index = 0;
  for (const auto& field : list) {
    switch (ReadRecordField(reader, field.form, field.slot(record, entry), limitBit)) {
      case TFieldPlace::PastData:
        extent.inData = std::min(extent.inData, index);
        [[fallthrough]];
      case TFieldPlace::PastLimit:
        extent.inLimit = std::min(extent.inLimit, index);
        break;
      case TFieldPlace::Inside:
        break;
    }
    ++index;
  }
  return extent;
}

// Adds the nodes of the fields the walk that gave extent found in the data,
// in order; those past its limit end in pastLimit.
template <class List>
void AddRecordFields(TTreeNode& parent, const List& list, const ListRecord<List>& record,
                     const TFieldExtent& extent = {}, const char* pastLimit = nullptr, int32_t entry = 0) {
  int32_t index = 0;
  for (const auto& field : list) {
    if (index >= extent.inData) break;
    parent.Add(RecordFieldNode(field.form, field.slot(record, entry), index >= extent.inLimit ? pastLimit : nullptr));
    ++index;
  }
}

// The bytes of a list's fields.
template <class List>
constexpr int32_t ListBytes(const List& list) {
  int32_t bits = 0;
  for (const auto& field : list) bits += field.form.bits;
  return (bits + 7) / 8;
}

}  // namespace tessaro
