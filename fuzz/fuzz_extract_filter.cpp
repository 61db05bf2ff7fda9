// The PID filter over arbitrary bytes in arbitrary chunks: it never reads
// outside its data, and what it passes on does not depend on the chunks.
#include <cstddef>
#include <cstdint>

#include "FuzzChunks.h"
#include "FuzzFile.h"
#include "extract/TransportStreamFilter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietDiagnostics();
  const FuzzInput in{data, size};
  RequireChunkInvariance(in, [&](auto&& feedAll, std::vector<uint8_t>& out) {
    tessaro::TIncExcTransportStreamFilter filter;
    filter.SetPacketType(in.Setting(0) % 6);  // 0: the size found from the data
    filter.SetTSFilterType(in.Setting(1) % 3);
    filter.SetIncludeCount(1);
    filter.SetIncludeArray(0, in.Setting(2) & 0x1F);
    filter.SetExcludeCount(1);
    filter.SetExcludeArray(0, in.Setting(2) & 0x1F);
    filter.SetOnSendData([&](const uint8_t* packet, int32_t length) {
      out.insert(out.end(), packet, packet + length);
      return 0;
    });
    feedAll([&](const uint8_t* d, int32_t n) { filter.AddData(d, n); });
    filter.Flush();
  });
  return 0;
}
