#include "descriptors/DescriptorForm.h"

#include <algorithm>

#include "core/TextHelpers.h"

namespace tessaro {

std::string BitsSuffix(int bits) {
  return bits == 1 ? std::string(" (1 bit)") : " (" + std::to_string(bits) + " bits)";
}

TTreeNode& AddDescriptorNode(TTreeNode& parent, std::string_view name, const TDescriptorRecord& record) {
  TTreeNode& node = parent.Add(std::string(name));
  node.Add(HexField("descriptor_tag", record.descriptor_tag & 0xFF, 2, " (8 bits)"));
  node.Add(DescriptorFieldText("descriptor_length", record.descriptor_length, " (8 bits)"));
  return node;
}

std::string DescriptorFieldText(std::string_view label, uint64_t value, std::string_view suffix) {
  return TextField(label, std::to_string(value), suffix).text;
}

std::string ISO639FieldText(uint32_t code) {
  const std::string letters{DumpChar(static_cast<uint8_t>(code >> 16)), DumpChar(static_cast<uint8_t>(code >> 8)),
                            DumpChar(static_cast<uint8_t>(code))};
  return TextField("ISO_639_language_code", std::to_string(code & 0xFFFFFF) + " [" + letters + "]", " (24 bits)").text;
}

TTreeNode& AddByteRunGroup(TTreeNode& parent, std::string_view label, const uint8_t* bytes, int32_t count) {
  TTreeNode& group = parent.Add(std::string(label));
  if (bytes != nullptr && count > 0) MemToStrLinesShort(bytes, count, group);
  return group;
}

int32_t ReadByteRun(TBitStream4& reader, int64_t count, uint8_t* out, int32_t capacity) {
  int32_t copied = 0;
  for (int64_t i = 0; i < count; ++i) {
    if (reader.BitsLeft < 8) {
      // The rest of the run lies past the end of the data; consume the last
      // partial byte so that later reads see only what lies beyond.
      if (reader.BitsLeft > 0) reader.GetBits(static_cast<int>(reader.BitsLeft));
      break;
    }
    const auto byte = static_cast<uint8_t>(reader.GetBits8());
    if (out != nullptr && copied < capacity) out[copied++] = byte;
  }
  return copied;
}

void AddBitsField(TTreeNode& node, std::string_view label, uint64_t value, int bits) {
  node.Add(DescriptorFieldText(label, value, BitsSuffix(bits)));
}

}  // namespace tessaro
