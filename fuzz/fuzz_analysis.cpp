// Arbitrary bytes through the analysis pass, whole and cancelled part way,
// with small steps so that packets straddle the block edges, read or mapped.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "FuzzFile.h"
#include "analysis/StreamAnalysis.h"
#include "core/PacketScanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietDiagnostics();
  const FuzzFile file(data, size);
  const auto stream = file.Open();
  if (!stream) return 0;
  // Read, or mapped in windows of a page, as the input's length picks.
  tessaro::TPacketScanner::SetDefaultReadWay(
      size % 2 == 1 ? tessaro::TPacketScanner::TReadWay::Map : tessaro::TPacketScanner::TReadWay::Read, 4096);
  tessaro::TAnalysisOptions options;
  options.blockSize = 1000;
  tessaro::AnalyzeStream(*stream, options);
  std::atomic<bool> cancel{false};
  options.cancel = &cancel;
  options.progress = [&](int64_t done, int64_t) {
    if (done > static_cast<int64_t>(size / 2)) cancel = true;
  };
  tessaro::AnalyzeStream(*stream, options);
  return 0;
}
