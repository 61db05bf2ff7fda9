// PES header decoder over arbitrary payloads: parse into a fresh record and
// into one that keeps older values, show both, read both time stamps.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/TreeNode.h"
#include "decode/PES.h"

using namespace tessaro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so any read past the payload is caught.
  const std::vector<uint8_t> payload(data, data + size);
  const int length = static_cast<int>(size);

  static TPESPacketHeader reused;
  TPESPacketHeader fresh;
  double seconds = 0;
  for (TPESPacketHeader* record : {&fresh, &reused}) {
    ParsePES(payload.data(), length, *record);
    TTreeNode pes("PES");
    UpdatePESTreeView(pes, *record);
    GetPTSSeconds(*record, seconds);
    GetDTSSeconds(*record, seconds);
  }

  TPackHeader pack;
  ParsePackHeader(payload.data(), length, pack);
  return 0;
}
