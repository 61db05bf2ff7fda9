// Where the fields of a decode lie in the file. A span is a run of bits: the
// file offset of its first byte, the first bit in that byte (0 = the most
// significant) and the bit count. A field is one span, or one span per part
// when it crosses from one packet of a section into the next.
//
// While a decode tree is built, a TFieldPositions is active: the memory that
// holds file bytes (a packet, the parts of a gathered section) is mapped to
// its file offsets, the readers record the spans of every field they read,
// keyed by the field's address, and the node text helpers look them up.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessaro {

struct TSpan {
  int64_t offset = 0;
  int32_t bit = 0;
  int32_t bits = 0;
  bool operator==(const TSpan&) const = default;
};
using TSpans = std::vector<TSpan>;

// "0x", 16 upper-case hex digits, ".", the first bit, "+", the bit count.
std::string SpanText(const TSpan& span);
// The spans' texts joined by ",".
std::string SpansText(const TSpans& spans);
int64_t SpanBits(const TSpans& spans);
// The spans in file order, overlapping and touching ones joined.
TSpans MergeSpans(TSpans spans);
// Bits [from, from + count) of the bit string the spans make, in their order.
TSpans SliceSpans(const TSpans& spans, int64_t from, int64_t count);

class TFieldPositions {
 public:
  // The length bytes at data came from the file at fileOffset. A mapping
  // replaces every earlier one that overlaps it.
  void MapBytes(const uint8_t* data, int64_t length, int64_t fileOffset);
  // The file spans of bits [bit, bit + bits) counted from the first bit of
  // base; parts that lie in memory no mapping covers are left out.
  TSpans Resolve(const uint8_t* base, int64_t bit, int64_t bits) const;
  // The field's spans become those of the bits (Record) or gain them (Append).
  void Record(const void* field, const uint8_t* base, int64_t bit, int64_t bits);
  void Append(const void* field, const uint8_t* base, int64_t bit, int64_t bits);
  void Assign(const void* field, TSpans spans);
  // The recorded spans of a field, or null.
  const TSpans* Find(const void* field) const;
  void Clear();

 private:
  struct TRegion {
    uintptr_t begin;
    uintptr_t end;
    int64_t fileOffset;
  };
  std::vector<TRegion> regions_;
  std::unordered_map<const void*, TSpans> fields_;
};

// The positions the readers record into, or null when no decode tree is being built.
TFieldPositions* ActivePositions();

// Makes positions the active ones for its lifetime (null: none); scopes nest.
class TPositionScope {
 public:
  explicit TPositionScope(TFieldPositions* positions);
  ~TPositionScope();
  TPositionScope(const TPositionScope&) = delete;
  TPositionScope& operator=(const TPositionScope&) = delete;

 private:
  TFieldPositions* previous_;
};

// The recorded spans of a field in the active positions (none when inactive).
TSpans SpansOf(const void* field);

// Records, when positions are active, where a field read from bits
// [bit, bit + bits) of base lies.
inline void NoteField(const void* field, const uint8_t* base, int64_t bit, int64_t bits) {
  if (TFieldPositions* positions = ActivePositions()) positions->Record(field, base, bit, bits);
}
inline void NoteFieldPart(const void* field, const uint8_t* base, int64_t bit, int64_t bits) {
  if (TFieldPositions* positions = ActivePositions()) positions->Append(field, base, bit, bits);
}

}  // namespace tessaro
