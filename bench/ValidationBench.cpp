// Validation speed and memory: tessaro-cli validate (the module the window
// runs, every check on) over a 1 GiB page-cached stream against dd reading it,
// the checks alone in this process, and the peak memory of a run on files of
// 2 MiB and 1 GiB.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchKit.h"
#include "core/FileStream.h"
#include "core/PacketScanner.h"
#include "validation/StreamChecker.h"

namespace tessaro::bench {
namespace {

constexpr int64_t kValidated = 1 * kGiB;
constexpr int64_t kSmallFile = 2 * kMiB;
constexpr double kRatioLimit = 2.0;
// The 1 GiB file is mapped, the 2 MiB one read: the mapped window (a fixed
// number of the file's cached pages) is resident in the larger run only.
constexpr int64_t kMemoryGrowthLimitKiB = 4096 + TPacketScanner::kMapWindow / 1024;

// The stream repeats one fixture, so its joins are continuity errors: a run
// to the end exits 1 (Error findings), as it may exit 0 on a clean stream.
bool RanToTheEnd(const TProcessResult& r) { return r.ExitedWith(0) || r.ExitedWith(1); }

// The module's settings from an empty folder: its defaults, every check on.
void DefaultValidatorSettings() {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tessaro-bench-config";
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  std::filesystem::create_directories(folder, ec);
  ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
}

void BenchValidate(TBenchContext& context) {
  const std::string target = "validate 1 GiB page-cached, every check on, vs dd bs=1M";
  std::string whyNot;
  const std::string file = context.StreamFile(kValidated, whyNot);
  if (file.empty()) {
    context.Skip(target, whyNot);
    return;
  }
  DefaultValidatorSettings();
  const std::vector<std::string> dd{"dd", "if=" + file, "of=/dev/null", "bs=1M"};
  const std::vector<std::string> validate{context.CliPath(), "validate", file};
  const TProcessResult warm = RunMeasured(dd);
  if (!warm.ExitedWith(0)) {
    context.Skip(target, "dd: " + warm.Describe());
    return;
  }
  const auto stream = TFileStream::Open(file, TFileStream::Mode::Read);
  // Best of three for each, interleaved so that they see the same machine.
  std::vector<double> ddTimes;
  std::vector<double> cliTimes;
  std::vector<double> checkTimes;
  int64_t packets = 0;
  for (int round = 0; round < 3; ++round) {
    const TProcessResult d = RunMeasured(dd);
    const TProcessResult v = RunMeasured(validate);
    if (!d.ExitedWith(0) || !RanToTheEnd(v)) {
      context.Fail(target, "dd: " + d.Describe() + ", tessaro-cli validate: " + v.Describe());
      return;
    }
    ddTimes.push_back(d.seconds);
    cliTimes.push_back(v.seconds);
    checkTimes.push_back(TimeSeconds([&] {
      TStreamChecker checker(TCheckSettings{}, [](int32_t, const std::string&) {});
      TPacketScanner scanner(512 * 1024);  // as the module reads
      checker.Check(*stream, 188, 0, scanner);
      packets = checker.Packets();
    }));
  }
  const double ddBest = Best(ddTimes);
  const double ratio = Best(cliTimes) / ddBest;
  const double mib = static_cast<double>(stream->Size()) / kMiB;
  context.Check(ratio <= kRatioLimit, target,
                "tessaro-cli validate / dd = " + Fixed(ratio, 2) + " (limit " + Fixed(kRatioLimit, 1) +
                    "); the checks in-process / dd = " + Fixed(Best(checkTimes) / ddBest, 2));
  context.Note("best of 3: dd " + Secs(ddBest) + " (" + Fixed(mib / ddBest, 0) + " MiB/s), tessaro-cli validate " +
               Secs(Best(cliTimes)) + ", checks alone " + Secs(Best(checkTimes)) + " (" +
               Fixed(mib / Best(checkTimes), 0) + " MiB/s, " + std::to_string(packets) + " packets)");
}

void BenchValidateMemory(TBenchContext& context) {
  const std::string target = "peak RSS of tessaro-cli validate, 2 MiB vs 1 GiB";
  std::string whyNot;
  const std::string small = context.StreamFile(kSmallFile, whyNot);
  const std::string large = small.empty() ? "" : context.StreamFile(kValidated, whyNot);
  if (small.empty() || large.empty()) {
    context.Skip(target, whyNot);
    return;
  }
  DefaultValidatorSettings();
  const TProcessResult a = RunMeasured({context.CliPath(), "validate", small});
  const TProcessResult b = RunMeasured({context.CliPath(), "validate", large});
  if (!RanToTheEnd(a) || !RanToTheEnd(b)) {
    context.Fail(target, "tessaro-cli validate: " + a.Describe() + ", " + b.Describe());
    return;
  }
  const int64_t growth = b.maxRssKiB - a.maxRssKiB;
  context.Check(growth <= kMemoryGrowthLimitKiB, target,
                "2 MiB file " + Fixed(static_cast<double>(a.maxRssKiB) / 1024, 2) + " MiB, 1 GiB file " +
                    Fixed(static_cast<double>(b.maxRssKiB) / 1024, 2) + " MiB; growth " + std::to_string(growth) +
                    " KiB (limit " + std::to_string(kMemoryGrowthLimitKiB) + " KiB, of which " +
                    std::to_string(TPacketScanner::kMapWindow / 1024) +
                    " KiB for the mapped window; the findings of the larger file are kept)");
}

[[maybe_unused]] const bool registeredValidate = RegisterBenchmark("validate", BenchValidate);
[[maybe_unused]] const bool registeredMemory = RegisterBenchmark("validate-memory", BenchValidateMemory);

}  // namespace
}  // namespace tessaro::bench
