// The demultiplexer behind the filter, over arbitrary bytes in arbitrary
// chunks, writing real files into a scratch folder (removed each run): no
// read or write outside a buffer, whatever the PIDs and lengths.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzChunks.h"
#include "FuzzFile.h"
#include "extract/Demultiplexer.h"
#include "extract/TransportStreamFilter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietDiagnostics();
  static const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("tessaro-fuzz-demux-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const FuzzInput in{data, size};
  {
    tessaro::TMPEGTSDemultiplexer demux;
    demux.SetOpenFileLimit(1 + in.Setting(1) % 8);
    demux.SetSettings((folder / "out.ts").string(), in.Setting(2) % 2 == 0 ? 0 : -1);
    tessaro::TIncExcTransportStreamFilter filter;
    filter.SetPacketType(in.Setting(0) % 6);
    filter.SetTSFilterType(2);
    filter.SetOnSendData([&](const uint8_t* packet, int32_t length) {
      demux.AddPacket(packet, length);
      return 0;
    });
    FeedInChunks(in.Stream(), in.StreamSize(), in.Setting(3),
                 [&](const uint8_t* d, int32_t n) { filter.AddData(d, n); });
    filter.Flush();
    demux.Finish();
    demux.RemoveOutputs();
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return 0;
}
