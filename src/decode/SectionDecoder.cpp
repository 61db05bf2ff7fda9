#include "decode/SectionDecoder.h"

#include "core/Diagnostics.h"
#include "core/TextHelpers.h"

namespace tessaro {

uint32_t TSectionDecoder::ParseData(const uint8_t* packet, int32_t packetSize, int64_t offset,
                                    const TFileStream* stream) {
  const std::string routine = className_ + ".ParseData";
  return Guarded(routine.c_str(), S_OK, [&]() -> uint32_t {
    const uint32_t parsed = parser_.ParseData(packet, kTSPacketSize);
    if (parsed != S_OK) return parsed;
    Header = parser_.Header;
    const TGatheredSection gathered = GatherSection(
        parser_, stream, packetSize, offset, [this](int32_t pid) { return AcceptsPID(pid); }, sectionBuffer_);
    if (gathered.pointerFieldRead) pointer_field = gathered.pointer_field;
    if (gathered.data != nullptr) DecodeSection(TByteView(gathered.data, gathered.available));
    return S_OK;
  });
}

uint32_t TSectionDecoder::UpdateTreeViewNode(TTreeNode& parent) {
  const std::string routine = className_ + ".UpdateTreeViewNode";
  return Guarded(routine.c_str(), E_FAIL, [&]() -> uint32_t {
    TTreeNode& psi = parent.Add("PSI");
    psi.Add(DecField("pointer_field", pointer_field, " (8 bits)"));
    AddTableNodes(psi);
    return S_OK;
  });
}

}  // namespace tessaro
