// Arbitrary bytes through every rule of the packet scanner at a block size
// the input picks, read or mapped in windows the input picks: the packets
// visited must be those of one read of the whole file, or the walk depends
// on where the steps end or how the bytes came in.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FuzzFile.h"
#include "core/PacketScanner.h"

namespace {

std::vector<int64_t> Visits(tessaro::TPacketScanner& scanner, const tessaro::TFileStream& stream, int32_t ps,
                            int64_t start, const tessaro::TScanRule& rule) {
  std::vector<int64_t> visited;
  scanner.Scan(stream, ps, start, tessaro::TPacketScanner::kToEndOfFile, rule, [&](const uint8_t* p, int64_t at) {
    // Every byte of the slot's first 188 is readable for the visitor.
    volatile uint8_t last = p[tessaro::kTSPacketSize - 1];
    static_cast<void>(last);
    visited.push_back(at);
    return true;
  });
  return visited;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietDiagnostics();
  if (size < 2) return 0;
  const int64_t block = 1 + data[0] * 37 + data[1];
  const FuzzFile file(data + 2, size - 2);
  const auto stream = file.Open();
  if (!stream) return 0;
  const int64_t start = data[1] % 5;
  for (const int32_t ps : {188, 192, 204}) {
    for (const tessaro::TSyncRule rule :
         {tessaro::TSyncRule::ByteResync, tessaro::TSyncRule::WindowSync, tessaro::TSyncRule::SyncOnceStopAtLoss,
          tessaro::TSyncRule::Stride, tessaro::TSyncRule::Hysteresis}) {
      tessaro::TScanRule shape{rule, ps};
      shape.windowSlots = 3;  // windows end often
      tessaro::TPacketScanner whole(static_cast<int64_t>(size) + 1);
      whole.SetReadWay(tessaro::TPacketScanner::TReadWay::Read);
      tessaro::TPacketScanner blocks(block);
      if (data[0] % 2 == 1) blocks.SetReadWay(tessaro::TPacketScanner::TReadWay::Map, 4096 * (1 + data[1] % 3));
      if (Visits(blocks, *stream, ps, start, shape) != Visits(whole, *stream, ps, start, shape)) std::abort();
    }
  }
  return 0;
}
