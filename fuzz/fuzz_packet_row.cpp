// One packet slot parsed into a list row (PAT decode, table kinds, PES header)
// and every column text computed. The input follows three sync bytes a slot
// apart, so that the file opens, and is then the packet and the rest of the file.
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
  std::vector<uint8_t> file(3 * 188, 0xFF);
  for (size_t slot = 0; slot < 3; ++slot) file[slot * 188] = 0x47;
  file.insert(file.end(), data, data + size);
  FuzzFile stream(file.data(), file.size());
  if (!stream.Ok()) return 0;
  // One browser for all inputs: only the two rows parsed here are looked at.
  static tessaro::TStreamBrowser browser;
  if (!browser.LoadFile(stream.Path())) return 0;
  for (int row = 0; row < 2; ++row) {
    browser.ParseTSPacket(row, packet.data(), 188, 3 * 188);
    const tessaro::TPacketRow& r = browser.Row(row);
    for (int c = 0; c < tessaro::kColumnCount; ++c) (void)tessaro::ColumnText(r, static_cast<tessaro::TColumn>(c));
  }
  return 0;
}
