// The program converter over arbitrary bytes in arbitrary chunks: bounded,
// and the same single-program stream whatever the chunks.
#include <cstddef>
#include <cstdint>

#include "FuzzChunks.h"
#include "FuzzFile.h"
#include "extract/MPTS2SPTS.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietDiagnostics();
  const FuzzInput in{data, size};
  RequireChunkInvariance(in, [&](auto&& feedAll, std::vector<uint8_t>& out) {
    tessaro::TMPTS2SPTS converter(in.Setting(0) % 7);
    converter.SetPMTPID(0x1000 + (in.Setting(1) & 0x0F));
    converter.SetProgramNum(in.Setting(1) + 1);
    converter.AddESPID(in.Setting(2) & 0x1F);
    converter.AddESPID(0x0100 + (in.Setting(2) >> 5));
    converter.Prepare();
    converter.SetOnSendData([&](const uint8_t* packet, int32_t length) {
      out.insert(out.end(), packet, packet + length);
      return 0;
    });
    feedAll([&](const uint8_t* d, int32_t n) { converter.AddData(d, n); });
    converter.Flush();
  });
  return 0;
}
