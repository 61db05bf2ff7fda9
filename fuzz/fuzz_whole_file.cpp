// Arbitrary bytes as a stream file: open, page through it, run every search
// and the seen scans, as the window and the command line would.
#include <cstddef>
#include <cstdint>

#include "FuzzFile.h"
#include "browser/StreamBrowser.h"
#include "core/Diagnostics.h"
#include "core/PacketScanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietDiagnostics();
  FuzzFile file(data, size);
  if (!file.Ok()) return 0;
  // The scans read, or mapped in windows of a page, as the input's length picks.
  tessaro::TPacketScanner::SetDefaultReadWay(
      size % 2 == 1 ? tessaro::TPacketScanner::TReadWay::Map : tessaro::TPacketScanner::TReadWay::Read, 4096);
  tessaro::TStreamBrowser browser;
  if (!browser.LoadFile(file.Path())) return 0;
  const int64_t fileSize = browser.FileSize();
  // Every page, as list --all walks them.
  browser.WalkPages([&] {
    for (int row = 0; row < browser.RowCount(); ++row)
      for (int c = 0; c < tessaro::kColumnCount; ++c) (void)browser.RowText(row, static_cast<tessaro::TColumn>(c));
    return true;
  });
  for (const tessaro::TFindNextCommand& command : tessaro::FindNextCommands())
    browser.FindNext(command, browser.StartOffset());
  browser.FindPID(static_cast<uint16_t>(size % 0x2000), browser.StartOffset());
  browser.SearchAgain(fileSize / 2);
  browser.SearchLastPATAndPMT(fileSize);
  return 0;
}
