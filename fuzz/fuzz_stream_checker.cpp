// Arbitrary bytes through the validation checks: every TR 101 290 check over
// the file at each packet slot size, with low finding limits so that the
// limit paths run too, read or mapped.
#include <cstddef>
#include <cstdint>

#include "FuzzFile.h"
#include "core/PacketScanner.h"
#include "validation/StreamChecker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietDiagnostics();
  const FuzzFile file(data, size);
  const auto stream = file.Open();
  if (!stream) return 0;
  for (const int32_t packetSize : {188, 192, 204}) {
    tessaro::TCheckSettings settings;
    settings.findingsPerPID = 3;
    settings.findingsPerRun = 50;
    settings.pcrRepetitionLimit = 0.001;
    settings.pidPeriod = 0.01;
    size_t reported = 0;
    tessaro::TStreamChecker checker(settings, [&](int32_t, const std::string& message) { reported += message.size(); });
    tessaro::TPacketScanner scanner(4096);
    // Mapped in windows of two pages for half the inputs.
    if (size % 2 == 1) scanner.SetReadWay(tessaro::TPacketScanner::TReadWay::Map, 8192);
    checker.Check(*stream, packetSize, static_cast<int64_t>(size % 7), scanner);
  }
  return 0;
}
