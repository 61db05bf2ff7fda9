// The shared descriptor form: record start, display helpers and bounded
// reads of runs and loop entries.
#include "descriptors/DescriptorForm.h"

#include "core/DVBText.h"
#include "core/DVBValues.h"

namespace tessaro {

void ReadDescriptorHeader(TBitStream4& reader, TDescriptorRecord& record) {
  reader.Read(record.descriptor_tag, 8);
  reader.Read(record.descriptor_length, 8);
}

TTreeNode& AddDescriptorNode(TTreeNode& parent, std::string_view name, const TDescriptorRecord& record) {
  TTreeNode& node = parent.Add(std::string(name));
  node.Add(TextField("descriptor_tag", "0x" + HexDigits(record.descriptor_tag & 0xFF, 2), " (8 bits)")
               .From(record.descriptor_tag));
  node.Add(DecField("descriptor_length", record.descriptor_length, " (8 bits)"));
  return node;
}

TTreeNode& AddByteRunGroup(TTreeNode& parent, std::string_view label, const uint8_t* bytes, int32_t count,
                           const TSpans& spans) {
  TTreeNode& group = parent.Add(std::string(label));
  if (bytes != nullptr && count > 0) {
    group.spans = spans;
    MemToStrLinesShort(bytes, count, group, spans);
  }
  return group;
}

void AddDecodedText(TTreeNode& group, const uint8_t* bytes, int32_t count, const TSpans& spans) {
  if (!DecodedValuesShown() || bytes == nullptr || count <= 0) return;
  const TDVBText text = DecodeDVBText(bytes, static_cast<size_t>(count), TTextMarks::Shown);
  std::string node;
  if (!text.decoded) {
    node = "[" + text.table + ": not decoded]";
  } else {
    node = "[" + text.text + "]";
    // A table chosen by the text's first byte is named after it.
    if (bytes[0] < 0x20) node += " [" + text.table + "]";
  }
  group.Add(std::move(node), spans).utf8 = true;
}

void AppendMeaning(TTreeNode& node, const std::string& meaning) {
  AppendMeaning(node.text, meaning);
  if (!meaning.empty()) node.utf8 = true;
}

void AddRun(TTreeNode& parent, std::string_view label, const std::vector<uint8_t>& run) {
  AddByteRunGroup(parent, label, run.data(), static_cast<int32_t>(run.size()), SpansOf(&run));
}

void AddTextRun(TTreeNode& parent, std::string_view label, const std::vector<uint8_t>& run) {
  const TSpans spans = SpansOf(&run);
  TTreeNode& group = AddByteRunGroup(parent, label, run.data(), static_cast<int32_t>(run.size()), spans);
  AddDecodedText(group, run.data(), static_cast<int32_t>(run.size()), spans);
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

int32_t ReadNotedRun(TBitStream4& reader, int64_t count, uint8_t* out, int32_t capacity, const void* field) {
  const int64_t start = reader.BitOffset();
  const int32_t copied = ReadByteRun(reader, count, out, capacity);
  NoteField(field, reader.Data, start, int64_t{copied} * 8);
  return copied;
}

void ReadRun(TBitStream4& reader, int64_t count, std::vector<uint8_t>& run) {
  run.resize(static_cast<size_t>(std::clamp<int64_t>(count, 0, reader.BytesRemaining())));
  run.resize(static_cast<size_t>(ReadNotedRun(reader, count, run.data(), static_cast<int32_t>(run.size()), &run)));
}

TSpans SpansInReader(const TBitStream4& reader, int64_t bit, int64_t bits) {
  const TFieldPositions* positions = ActivePositions();
  if (positions == nullptr) return {};
  const int64_t inside = std::max<int64_t>(int64_t{reader.Size} * 8 - bit, 0);
  return positions->Resolve(reader.Data, bit, std::min(bits, inside));
}

bool NextEntry(int64_t counter, size_t entries, const TBitStream4& reader) {
  return counter > 0 && entries < static_cast<size_t>(kMaxLoopEntries) && reader.BitsLeft > 0;
}

std::string EntryText(std::string_view prefix, size_t index) { return std::string(prefix) + std::to_string(index); }

}  // namespace tessaro
