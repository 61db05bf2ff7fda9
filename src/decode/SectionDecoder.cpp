// The section decoder pattern: gather the section a packet starts, decode it, show it.
#include "decode/SectionDecoder.h"

#include <algorithm>

#include "core/Diagnostics.h"
#include "core/TextHelpers.h"

namespace tessaro {
namespace {

// Every byte read from the section's first on: the rest of its packet, or all
// the payload bytes gathered into the section buffer.
TByteView GatheredBytes(const TGatheredSection& gathered, const uint8_t* packet, const TSectionBuffer& buffer) {
  if (gathered.data != buffer.data())
    return {gathered.data, static_cast<int32_t>(packet + kTSPacketSize - gathered.data)};
  int32_t read = gathered.available;
  if (!gathered.parts.empty()) read = std::max(read, gathered.parts.back().at + gathered.parts.back().length);
  return {gathered.data, read};
}

}  // namespace

TSectionDecoder::TSectionDecoder(TTableId table) : table_(Table(table)), className_(table_.DecoderClassName()) {}

uint32_t TSectionDecoder::ParseData(const uint8_t* packet, int32_t packetSize, int64_t offset,
                                    const TFileStream* stream) {
  const std::string routine = className_ + ".ParseData";
  decoded_ = false;
  pointerFieldRead_ = false;
  return Guarded(routine.c_str(), S_OK, [&]() -> uint32_t {
    TFieldPositions* positions = ActivePositions();
    if (positions != nullptr) positions->MapBytes(packet, kTSPacketSize, offset);
    const uint32_t parsed = parser_.ParseData(packet, kTSPacketSize);
    if (parsed != S_OK) return parsed;
    Header = parser_.Header;
    // pointer_field is the first payload byte of this packet (the gathering
    // below parses the packets that follow with the same parser).
    if (parser_.Payload != nullptr) NoteField(&pointer_field, parser_.Payload, 0, 8);
    const TGatheredSection gathered = GatherSection(
        parser_, stream, packetSize, offset, [this](int32_t pid) { return table_.OnPID(pid); }, sectionBuffer_);
    if (gathered.pointerFieldRead) {
      pointer_field = gathered.pointer_field;
      pointerFieldRead_ = true;
    }
    if (gathered.data == nullptr) return S_OK;
    if (positions != nullptr && gathered.data == sectionBuffer_.data()) {
      for (const TSectionPart& part : gathered.parts)
        positions->MapBytes(sectionBuffer_.data() + part.at, part.length, part.fileOffset);
    }
    extents_ = {};
    DecodeSection({TByteView(gathered.data, gathered.available), GatheredBytes(gathered, packet, sectionBuffer_)});
    decoded_ = true;
    return S_OK;
  });
}

uint32_t TSectionDecoder::UpdateTreeViewNode(TTreeNode& parent) {
  const std::string routine = className_ + ".UpdateTreeViewNode";
  return Guarded(routine.c_str(), E_FAIL, [&]() -> uint32_t {
    TTreeNode& psi = parent.Add("PSI");
    if (pointerFieldRead_) psi.Add(DecField("pointer_field", pointer_field, " (8 bits)"));
    if (decoded_) AddTableNodes(psi);
    return S_OK;
  });
}

}  // namespace tessaro
