// The display form every descriptor shares: the descriptor node with its
// descriptor_tag and descriptor_length, unsigned field nodes, the ISO 639
// field and byte-run groups; and the byte-run read through the bit reader.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/BitStream.h"
#include "core/TreeNode.h"
#include "descriptors/DescriptorRecord.h"

namespace tessaro {

// " (1 bit)" for one bit, " (N bits)" for wider fields.
std::string BitsSuffix(int bits);

// Adds the node named name under parent, with descriptor_tag (two hex digits)
// and descriptor_length below it, and returns it.
TTreeNode& AddDescriptorNode(TTreeNode& parent, std::string_view name, const TDescriptorRecord& record);

// Padded label, " : ", the unsigned value in decimal, suffix.
std::string DescriptorFieldText(std::string_view label, uint64_t value, std::string_view suffix);
// Adds the field node of a field of the given width (" (1 bit)", " (N bits)").
void AddBitsField(TTreeNode& node, std::string_view label, uint64_t value, int bits);

// "ISO_639_language_code : <decimal> [<three characters>] (24 bits)".
std::string ISO639FieldText(uint32_t code);

// A group labelled label under parent holding the bytes as dump lines (none
// for an empty run); returns the group.
TTreeNode& AddByteRunGroup(TTreeNode& parent, std::string_view label, const uint8_t* bytes, int32_t count);

// Reads a run of count bytes at the reader's position and copies the first
// capacity of them into out. The run is cut at the end of the reader's data:
// the result is the number of bytes that lie inside it (at most capacity),
// and the reader then stands after the run or at the end of its data.
int32_t ReadByteRun(TBitStream4& reader, int64_t count, uint8_t* out, int32_t capacity);

}  // namespace tessaro
