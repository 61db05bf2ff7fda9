// Memory of the analysis: the peak resident set of tessaro-cli analyze on
// files from 2 MiB to 2 GiB stays under a fixed bound, and the timeline of
// the 2 GiB file keeps within its 4,096 buckets.
#include <algorithm>
#include <string>
#include <vector>

#include "BenchKit.h"
#include "analysis/StreamAnalysis.h"
#include "core/FileStream.h"

namespace tessaro::bench {
namespace {

constexpr int64_t kRssLimitKiB = 32 * 1024;
constexpr size_t kTimelineLimit = 4096;

void BenchAnalyzeMemory(TBenchContext& context) {
  const std::string target = "peak RSS of tessaro-cli analyze --json, 2 MiB to 2 GiB";
  std::vector<std::string> notes;
  int64_t largestKiB = 0;
  std::string largest;
  for (const int64_t bytes : {2 * kMiB, 256 * kMiB, 2 * kGiB}) {
    std::string whyNot;
    const std::string file = context.StreamFile(bytes, whyNot);
    if (file.empty()) {
      context.Skip(target, whyNot);
      return;
    }
    const TProcessResult r = RunMeasured({context.CliPath(), "analyze", "--json", file});
    if (!r.ExitedWith(0)) {
      context.Fail(target, "tessaro-cli analyze on " + Bytes(bytes) + ": " + r.Describe());
      return;
    }
    notes.push_back(Bytes(bytes) + " " + Fixed(static_cast<double>(r.maxRssKiB) / 1024, 2) + " MiB in " +
                    Secs(r.seconds));
    largestKiB = std::max(largestKiB, r.maxRssKiB);
    largest = file;
  }
  std::string numbers;
  for (const std::string& n : notes) numbers += (numbers.empty() ? "" : ", ") + n;
  context.Check(largestKiB < kRssLimitKiB, target, numbers + " (limit 32 MiB)");

  const std::string timeline = "timeline of a 2 GiB file within 4,096 rows";
  const auto stream = TFileStream::Open(largest, TFileStream::Mode::Read);
  if (!stream) {
    context.Skip(timeline, "cannot open " + largest);
    return;
  }
  const TStreamAnalysis a = AnalyzeStream(*stream);
  context.Check(a.timeline.rows.size() <= kTimelineLimit && !a.partial, timeline,
                std::to_string(a.timeline.rows.size()) + " rows of " +
                    (a.timeline.bucket ? Fixed(*a.timeline.bucket, 3) + " s" : "-") + " for " +
                    (a.duration ? Secs(*a.duration) : std::string("-")) + " of stream time");
}

[[maybe_unused]] const bool registered = RegisterBenchmark("analyze-memory", BenchAnalyzeMemory);

}  // namespace
}  // namespace tessaro::bench
