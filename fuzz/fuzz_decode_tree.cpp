// Arbitrary bytes as a stream file: open it, then load it page by page as the
// packet list does and build the decode tree of every row, as selecting each
// row in turn would (section gathering across later packets included).
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzFile.h"
#include "browser/StreamBrowser.h"
#include "core/Diagnostics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QuietDiagnostics();
  FuzzFile file(data, size);
  if (!file.Ok()) return 0;
  tessaro::TStreamBrowser browser;
  if (!browser.LoadFile(file.Path())) return 0;
  const int64_t fileSize = browser.FileSize();
  browser.WalkPages([&] {
    const int rows = browser.RowCount();
    // The rows are copied first: decoding a PAT changes which PIDs later
    // rows of the page count as PMTs, but never the rows themselves.
    int64_t offsets[tessaro::TStreamBrowser::kMaxRows];
    for (int row = 0; row < rows; ++row) offsets[row] = browser.Row(row).Offset;
    for (int row = 0; row < rows; ++row) {
      browser.RefreshTSPacket(offsets[row]);
      (void)browser.Tree().CountDescendants();
    }
    return true;
  });
  // A selection off the packet grid and past the end of the file.
  browser.RefreshTSPacket(browser.StartOffset() + 1);
  browser.RefreshTSPacket(fileSize);
  return 0;
}
