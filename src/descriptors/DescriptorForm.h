// What every descriptor shares: the start of its record (descriptor_tag and
// descriptor_length), the display form (the descriptor node, unsigned field
// nodes, the ISO 639 field, byte-run groups, loop entries), and the reads of
// byte runs and loop entries through the bit reader.
//
// While positions are active, the reads here record where each field and run
// lies, keyed by the address of the record member that holds it, and the
// display helpers attach those spans to the nodes; fields are therefore
// passed by reference, never as copies.
#pragma once

#include <algorithm>
#include <array>
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/BitStream.h"
#include "core/FieldDesc.h"
#include "core/FieldPositions.h"
#include "core/TextHelpers.h"
#include "core/TreeNode.h"
#include "descriptors/DescriptorRecord.h"

namespace tessaro {

// Loops never hold more entries than this; with descriptor_length at most 255
// no loop of a descriptor that stays within its length comes near it.
inline constexpr int32_t kMaxLoopEntries = 256;

// Reads descriptor_tag and descriptor_length at the reader's position.
void ReadDescriptorHeader(TBitStream4& reader, TDescriptorRecord& record);

// Resets the record, then reads descriptor_tag and descriptor_length.
template <class R>
void StartRecord(TBitStream4& reader, R& record) {
  record = R{};
  ReadDescriptorHeader(reader, record);
}

// The acceptance rules of the systems descriptors. Resets the record; refuses
// (false) when bytes is null or fewer than needs (and at least 2) bytes are
// available, else sets the reader over them and reads descriptor_tag and
// descriptor_length; with lengthMustFit also refuses when descriptor_length + 2
// exceeds the available bytes.
template <class R>
bool StartSystemsRecord(TBitStream4& reader, const uint8_t* bytes, int32_t available, int32_t needs, bool lengthMustFit,
                        R& record) {
  record = R{};
  if (bytes == nullptr || available < std::max(needs, 2)) return false;
  reader.SetData(bytes, available);
  ReadDescriptorHeader(reader, record);
  return !lengthMustFit || static_cast<int64_t>(record.descriptor_length) + 2 <= available;
}

// Adds the node named name under parent, with descriptor_tag (two hex digits)
// and descriptor_length below it, and returns it.
TTreeNode& AddDescriptorNode(TTreeNode& parent, std::string_view name, const TDescriptorRecord& record);

// Adds the node of a field of the given width (" (1 bit)", " (N bits)").
template <std::integral T>
void AddBitsField(TTreeNode& node, std::string_view label, const T& field, int bits) {
  node.Add(DecField(label, field, BitsSuffix(bits)));
}

inline TNodeText ISO639Field(const uint32_t& code) { return {ISO639FieldText(code), SpansOf(&code)}; }

// A group labelled label under parent holding the bytes as dump lines (none
// for an empty run), with spans, where the bytes lie; returns the group.
TTreeNode& AddByteRunGroup(TTreeNode& parent, std::string_view label, const uint8_t* bytes, int32_t count,
                           const TSpans& spans = {});
// With decoded values shown, adds under group the node of the DVB text the
// bytes hold, "[" text "]", with the spans of the whole run; a text in a
// character table that cannot be decoded names the table and leaves the
// bytes to the dump lines. Nothing for an empty run.
void AddDecodedText(TTreeNode& group, const uint8_t* bytes, int32_t count, const TSpans& spans);
// Appends " [" meaning "]" to the node's text unless meaning is empty; the
// text then holds UTF-8.
void AppendMeaning(TTreeNode& node, const std::string& meaning);

// The group of a run a record keeps in a vector, or in an array of which
// count bytes are used.
void AddRun(TTreeNode& parent, std::string_view label, const std::vector<uint8_t>& run);
// The same for a run that holds DVB text: with decoded values shown, the
// group ends in the decoded text's node.
void AddTextRun(TTreeNode& parent, std::string_view label, const std::vector<uint8_t>& run);
// Adds a field's node with, when decoded values are shown, its meaning.
template <std::integral T, class Meaning>
void AddBitsField(TTreeNode& node, std::string_view label, const T& field, int bits, Meaning meaning) {
  TTreeNode& added = node.Add(DecField(label, field, BitsSuffix(bits)));
  if (DecodedValuesShown()) AppendMeaning(added, meaning(field));
}
template <size_t N>
void AddRun(TTreeNode& parent, std::string_view label, const std::array<uint8_t, N>& run, int32_t count) {
  AddByteRunGroup(parent, label, run.data(), std::clamp<int32_t>(count, 0, static_cast<int32_t>(N)), SpansOf(&run));
}

// Reads a run of count bytes at the reader's position and copies the first
// capacity of them into out. The run is cut at the end of the reader's data:
// the result is the number of bytes that lie inside it (at most capacity),
// and the reader then stands after the run or at the end of its data.
int32_t ReadByteRun(TBitStream4& reader, int64_t count, uint8_t* out, int32_t capacity);
// The same into a record's container, noting where the copied bytes lie.
void ReadRun(TBitStream4& reader, int64_t count, std::vector<uint8_t>& run);
int32_t ReadNotedRun(TBitStream4& reader, int64_t count, uint8_t* out, int32_t capacity, const void* field);
template <size_t N>
int32_t ReadRun(TBitStream4& reader, int64_t count, std::array<uint8_t, N>& run) {
  return ReadNotedRun(reader, count, run.data(), static_cast<int32_t>(N), &run);
}

// Where bits [bit, bit + bits) counted from the start of the reader's data
// lie, for the part inside that data; none while no positions are active.
TSpans SpansInReader(const TBitStream4& reader, int64_t bit, int64_t bits);

// A loop may start one more entry: its counter is above 0, it holds fewer
// than kMaxLoopEntries entries, and some of the reader's data is left.
bool NextEntry(int64_t counter, size_t entries, const TBitStream4& reader);

// Entries are read in place, and their fields are keyed by address while
// positions are recorded, so a loop reserves room for every entry its counter
// allows (entries of at least leastBytes each): appending never moves them.
template <class T>
void ReserveEntries(std::vector<T>& entries, int64_t counter, int64_t leastBytes) {
  const int64_t step = std::max<int64_t>(leastBytes, 1);
  const int64_t most = (std::max<int64_t>(counter, 0) + step - 1) / step;
  entries.reserve(static_cast<size_t>(std::min<int64_t>(most, kMaxLoopEntries)));
}

// The node of a loop entry: prefix followed by the index.
std::string EntryText(std::string_view prefix, size_t index);

}  // namespace tessaro
