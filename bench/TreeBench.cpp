// Decode tree: RefreshTSPacket for every packet of every real capture, as
// selecting each row in turn would (the header and adaptation field, the
// section gathered across later packets of its PID, descriptor loops, the PES
// header), with the file positions of every node recorded. Pages are loaded as
// the list loads them, untimed; each packet's time is the median of its timed
// decodes. Target: median packet at most 0.5 ms, worst packet at most 5 ms;
// the same with decoded values (View > Decoded Values: dates, durations,
// frequencies, DVB texts through iconv) beside the raw ones.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchKit.h"
#include "browser/StreamBrowser.h"
#include "core/Diagnostics.h"

namespace tessaro::bench {
namespace {

constexpr double kMedianLimit = 0.5e-3;
constexpr double kWorstLimit = 5e-3;
constexpr int kTimedPasses = 3;

struct TPacketTime {
  std::string capture;
  int64_t offset = 0;
  double seconds = 0;
};

// Times every packet of one capture; false when it cannot be opened.
int64_t CountSpans(const TTreeNode& node) {
  int64_t count = static_cast<int64_t>(node.spans.size());
  for (const auto& child : node.children) count += CountSpans(*child);
  return count;
}

bool MeasureCapture(const std::string& path, bool decoded, std::vector<TPacketTime>& times, int64_t& nodes,
                    int64_t& spans) {
  TStreamBrowser browser;
  browser.SetDecodedValues(decoded);
  browser.SetVisibleRows(TStreamBrowser::kPageSlots);
  if (!browser.LoadFile(path)) return false;
  const std::string name = BaseName(path);
  browser.WalkPages([&] {
    const int rows = browser.RowCount();
    std::vector<int64_t> offsets;
    for (int row = 0; row < rows; ++row) offsets.push_back(browser.Row(row).Offset);
    // One untimed pass brings the page's bytes and the code into the caches.
    for (int64_t offset : offsets) browser.RefreshTSPacket(offset);
    std::vector<std::vector<double>> samples(offsets.size());
    for (int pass = 0; pass < kTimedPasses; ++pass)
      for (size_t k = 0; k < offsets.size(); ++k)
        samples[k].push_back(TimeSeconds([&] { browser.RefreshTSPacket(offsets[k]); }));
    for (size_t k = 0; k < offsets.size(); ++k) {
      times.push_back({name, offsets[k], Median(samples[k])});
      browser.RefreshTSPacket(offsets[k]);
      nodes += static_cast<int64_t>(browser.Tree().CountDescendants());
      spans += CountSpans(browser.Tree());
    }
    return true;
  });
  return true;
}

void MeasureTrees(TBenchContext& context, bool decoded) {
  const std::string target = std::string("decode tree with positions") + (decoded ? " and decoded values" : "") +
                             ", every packet of every capture";
  if (context.StreamsDir().empty()) {
    context.Skip(target, "folder of real captures (../shared/streams) is absent");
    return;
  }
  std::vector<std::string> captures;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(context.StreamsDir(), ec))
    if (entry.path().extension() == ".ts") captures.push_back(entry.path().string());
  std::sort(captures.begin(), captures.end());
  if (captures.empty()) {
    context.Skip(target, "no .ts files in " + context.StreamsDir());
    return;
  }

  // Undecodable bytes write diagnostics; they are not part of the work measured.
  const DebugSink previous = SetDebugSink([](const std::string&) {});
  std::vector<TPacketTime> times;
  int64_t nodes = 0;
  int64_t spans = 0;
  std::vector<std::string> refused;
  for (const std::string& path : captures)
    if (!MeasureCapture(path, decoded, times, nodes, spans)) refused.push_back(BaseName(path));
  SetDebugSink(previous);
  if (times.empty()) {
    context.Skip(target, "no capture could be opened");
    return;
  }

  std::vector<double> seconds;
  for (const TPacketTime& t : times) seconds.push_back(t.seconds);
  const auto worst = std::max_element(times.begin(), times.end(),
                                      [](const TPacketTime& a, const TPacketTime& b) { return a.seconds < b.seconds; });
  const double median = Median(seconds);
  context.Check(median <= kMedianLimit && worst->seconds <= kWorstLimit, target,
                "median " + Millis(median) + " (limit 0.5 ms), worst " + Millis(worst->seconds) + " at " +
                    worst->capture + " offset " + std::to_string(worst->offset) + " (limit 5 ms), " +
                    std::to_string(times.size()) + " packets of " + std::to_string(captures.size() - refused.size()) +
                    " captures, " + std::to_string(nodes) + " nodes, " + std::to_string(spans) + " spans");
  for (const std::string& name : refused) context.Note(name + " could not be opened as a transport stream");
}

void BenchDecodeTree(TBenchContext& context) { MeasureTrees(context, false); }
void BenchDecodedValuesTree(TBenchContext& context) { MeasureTrees(context, true); }

[[maybe_unused]] const bool registered = RegisterBenchmark("decode-tree", BenchDecodeTree);
[[maybe_unused]] const bool registeredDecoded = RegisterBenchmark("decode-tree-decoded-values", BenchDecodedValuesTree);

}  // namespace
}  // namespace tessaro::bench
