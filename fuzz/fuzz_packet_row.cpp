// One packet slot parsed into a list row (PAT decode, table kinds, PES header)
// and every column text computed, over an in-memory file of the input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzFile.h"
#include "browser/StreamBrowser.h"
#include "core/Diagnostics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietDiagnostics();
  if (size < 188) return 0;
  std::vector<uint8_t> packet(data, data + 188);
  packet[0] = 0x47;
  FuzzFile file(data, size);
  if (!file.Ok()) return 0;
  // One browser for all inputs: only the two rows parsed here are looked at.
  static tessaro::TStreamBrowser browser;
  browser.FFileStream = tessaro::TFileStream::Open(file.Path(), tessaro::TFileStream::Mode::Read);
  browser.FFileName = file.Path();
  browser.FPacketSize = 188;
  for (int row = 0; row < 2; ++row) {
    browser.ParseTSPacket(row, packet.data(), 188, 0);
    const tessaro::TPacketRow& r = browser.Row(row);
    for (int c = 0; c < tessaro::kColumnCount; ++c) (void)tessaro::ColumnText(r, static_cast<tessaro::TColumn>(c));
  }
  return 0;
}
