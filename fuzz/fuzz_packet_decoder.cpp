// Arbitrary bytes as a stream file, decoded by the packet decoder alone (no
// page, no rows) at every sync byte, with 188- and 204-byte slots: every span
// of every node lies inside the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzFile.h"
#include "core/Diagnostics.h"
#include "decode/PacketDecoder.h"

namespace {

void CheckInside(const tessaro::TTreeNode& node, int64_t size) {
  for (const tessaro::TSpan& span : node.spans) {
    const int64_t first = span.offset * 8 + span.bit;
    if (span.offset < 0 || span.bit < 0 || span.bit > 7 || span.bits <= 0 || first + span.bits > size * 8) abort();
  }
  for (const auto& child : node.children) CheckInside(*child, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietDiagnostics();
  const FuzzFile file(data, size);
  const auto stream = file.Open();
  if (!stream) return 0;
  tessaro::TSectionDecoders decoders;
  tessaro::TPacketDecoder decoder(decoders);
  tessaro::TTreeNode tree;
  const auto fileSize = static_cast<int64_t>(size);
  for (const int32_t slot : {188, 204}) {
    for (int64_t at = 0; at < fileSize; ++at) {
      if (data[at] != 0x47) continue;
      if (decoder.Decode(*stream, slot, at, tree) == tessaro::TPacketDecode::Decoded) CheckInside(tree, fileSize);
    }
  }
  return 0;
}
