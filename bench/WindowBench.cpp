// Fluid paging in the real window, offscreen, over a 2 GiB stream: each key
// press is timed from the key event to the packet list repainted and the
// decode tree of the selected row rebuilt and repainted. 1,000 Page Down
// presses, then 1,000 Down presses on the last row (each loads the page one
// slot on). Targets: median at most 2 ms, worst at most 16 ms (a frame at
// 60 Hz); opening the file to its first page shown at most 100 ms.
#include <unistd.h>

#include <algorithm>
#include <QApplication>
#include <QTest>
#include <QTreeWidget>

#include <string>
#include <vector>

#include "BenchKit.h"
#include "ui/HexViewPanel.h"
#include "ui/MainWindow.h"

namespace tessaro::bench {
namespace {

constexpr int kPresses = 1000;
constexpr double kMedianLimit = 2e-3;
constexpr double kWorstLimit = 16e-3;
constexpr double kOpenLimit = 0.1;

// One application for the run, never destroyed: taking Qt down among the
// program's static objects at exit crashes.
QApplication& Application() {
  static int argc = 1;
  static char name[] = "tessaro-bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

void Repaint(TForm1& form) {
  form.PacketList()->viewport()->repaint();
  form.DecodeTree()->viewport()->repaint();
}

std::string Times(const std::vector<double>& times) {
  return "median " + Millis(Median(times)) + ", worst " + Millis(Worst(times)) + " over " +
         std::to_string(times.size()) + " presses";
}

void BenchWindowPaging(TBenchContext& context) {
  const std::string openTarget = "window: open 2 GiB to the first page shown";
  const std::string pageDownTarget = "window: Page Down, key to list and tree repainted";
  const std::string downTarget = "window: Down on the last row, key to list and tree repainted";
  std::string whyNot;
  const std::string file = context.StreamFile(2 * kGiB, whyNot);
  if (file.empty()) {
    for (const std::string& target : {openTarget, pageDownTarget, downTarget}) context.Skip(target, whyNot);
    return;
  }
  Application();
  TForm1 form;
  form.show();
  QApplication::processEvents();

  bool opened = false;
  const double open = TimeSeconds([&] {
    opened = form.LoadFile(file);
    Repaint(form);
  });
  if (!opened) {
    context.Fail(openTarget, "the window refused " + file);
    return;
  }
  context.Check(open <= kOpenLimit, openTarget, Millis(open) + " (limit 100 ms)");

  auto press = [&](Qt::Key key) {
    return TimeSeconds([&] {
      QTest::keyClick(form.PacketList(), key);
      Repaint(form);
    });
  };
  std::vector<double> pageDown;
  for (int i = 0; i < kPresses; ++i) pageDown.push_back(press(Qt::Key_PageDown));
  context.Check(Median(pageDown) <= kMedianLimit && Worst(pageDown) <= kWorstLimit, pageDownTarget,
                Times(pageDown) + " (limits 2 ms and 16 ms), " + std::to_string(form.PacketList()->VisibleRowCount()) +
                    " rows shown, last page at offset " + std::to_string(form.Browser().TopOffset()));

  const int rows = form.PacketList()->model()->rowCount();
  form.SelectRow(rows - 1);
  const int64_t before = form.Browser().TopOffset();
  std::vector<double> down;
  for (int i = 0; i < kPresses; ++i) down.push_back(press(Qt::Key_Down));
  const bool paged = form.Browser().TopOffset() == before + int64_t{kPresses} * 188;
  context.Check(paged && Median(down) <= kMedianLimit && Worst(down) <= kWorstLimit, downTarget,
                Times(down) + " (limits 2 ms and 16 ms)" + (paged ? "" : "; the page did not move one slot a press"));
  form.UnloadFile();
}

// A hex view refresh anywhere in a 2 GiB file: one screenful read, formatted,
// a field's bytes marked and the list repainted. Target: at most 1 ms.
void BenchHexView(TBenchContext& context) {
  const std::string target = "hex view refresh with a marked field, anywhere in 2 GiB";
  std::string whyNot;
  const std::string file = context.StreamFile(2 * kGiB, whyNot);
  if (file.empty()) {
    context.Skip(target, whyNot);
    return;
  }
  Application();
  THexViewPanel panel;
  panel.resize(740, 192);
  panel.show();
  QApplication::processEvents();
  if (!panel.OpenFile(file)) {
    context.Fail(target, "the hex view could not open " + file);
    return;
  }
  constexpr int kRefreshes = 1000;
  const int64_t size = panel.View().FileSize();
  // The file was just written: its pages go to the disk first, as a recording's
  // have when it is opened. A few untimed refreshes fill the font's glyph cache,
  // as the window's first paints do.
  ::sync();
  for (int i = 0; i < 3; ++i) {
    panel.RefreshFileData(size / 2 + i * kTSPacketSize);
    panel.SetHighlight({{size / 2 + 1, 3, 13}}, true);
    panel.List()->viewport()->repaint();
  }
  // Timed per refresh with the index of the slowest, so an outlier can be told from a pattern.
  std::vector<double> times;
  for (int i = 0; i < kRefreshes; ++i) {
    // Offsets spread over the whole file, each a field of 13 bits in a packet there.
    const int64_t offset = (size / kRefreshes) * i + (i * 7919) % 4096;
    times.push_back(TimeSeconds([&] {
      panel.RefreshFileData(offset);
      panel.SetHighlight({{offset + 1, 3, 13}}, true);
      panel.List()->viewport()->repaint();
    }));
  }
  const size_t slowest = static_cast<size_t>(std::max_element(times.begin(), times.end()) - times.begin());
  context.Check(Worst(times) <= 1e-3, target,
                "median " + Millis(Median(times)) + ", worst " + Millis(Worst(times)) + " (refresh " +
                    std::to_string(slowest) + ") over " +
                    std::to_string(kRefreshes) + " offsets, " + std::to_string(panel.View().Lines().size()) +
                    " lines (limit 1 ms)");
}

[[maybe_unused]] const bool registered = RegisterBenchmark("window-paging", BenchWindowPaging);
[[maybe_unused]] const bool registeredHex = RegisterBenchmark("window-hex-view", BenchHexView);

}  // namespace
}  // namespace tessaro::bench
