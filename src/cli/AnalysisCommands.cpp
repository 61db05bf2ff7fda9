// The analysis command of tessaro-cli: analyze FILE [--json], one pass over
// the file giving the stream's figures, one row per PID and one per PCR PID,
// as aligned text or as one JSON object. Ctrl+C (and the other ending
// signals) stops the pass and prints what it measured so far.
#include <nlohmann/json.hpp>

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "analysis/StreamAnalysis.h"
#include "cli/CliProgress.h"
#include "cli/CliSupport.h"
#include "core/FileStream.h"

namespace tessaro {
namespace {

std::atomic<bool> gCancel{false};

struct Options {
  std::string file;
  bool json = false;
};

nlohmann::json Value(const std::optional<double>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json ToJSON(const std::string& file, const TStreamAnalysis& a) {
  nlohmann::json pids = nlohmann::json::array();
  for (const TPIDFigures& f : a.pids)
    pids.push_back({{"pid", f.pid},
                    {"packets", f.packets},
                    {"share", f.share},
                    {"bitrate", Value(f.bitrate)},
                    {"bitrate_min", Value(f.bitrateMin)},
                    {"bitrate_max", Value(f.bitrateMax)},
                    {"cc_errors", f.ccErrors},
                    {"scrambled", f.scrambled},
                    {"pcrs", f.pcrs},
                    {"pes_starts", f.pesStarts},
                    {"first_offset", f.firstOffset},
                    {"last_offset", f.lastOffset}});
  nlohmann::json pcr = nlohmann::json::array();
  for (const TPCRFigures& f : a.pcr)
    pcr.push_back({{"pid", f.pid},
                   {"count", f.count},
                   {"interval_min", Value(f.intervalMin)},
                   {"interval_avg", Value(f.intervalAvg)},
                   {"interval_max", Value(f.intervalMax)},
                   {"accuracy_max", Value(f.accuracyMax)},
                   {"accuracy_rms", Value(f.accuracyRMS)},
                   {"discontinuities", f.discontinuities}});
  return {{"file", file},
          {"size", a.fileSize},
          {"packet_size", a.packetSize},
          {"start_offset", a.startOffset},
          {"packets", a.packets},
          {"duration", Value(a.duration)},
          {"bitrate", Value(a.bitrate)},
          {"pcr_pid", a.pcrPID ? nlohmann::json(*a.pcrPID) : nlohmann::json(nullptr)},
          {"partial", a.partial},
          {"reached", a.reached},
          {"pids", pids},
          {"pcr", pcr}};
}

std::string Format(const char* format, auto... values) {
  const int length = std::snprintf(nullptr, 0, format, values...);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, values...);
  text.pop_back();
  return text;
}

// A rate in bit/s, or "-" where there is none, right-aligned in width.
std::string Rate(const std::optional<double>& value, int width) {
  return value ? Format("%*.0f", width, *value) : Format("%*s", width, "-");
}

// A time in the given unit (seconds times scale), or "-".
std::string Time(const std::optional<double>& seconds, double scale, int width, int decimals) {
  return seconds ? Format("%*.*f", width, decimals, *seconds * scale) : Format("%*s", width, "-");
}

std::string ToText(const std::string& file, const TStreamAnalysis& a) {
  std::string text;
  text += "File:          " + file + "\n";
  text += Format("Size:          %" PRId64 " bytes\n", a.fileSize);
  text += Format("Packet size:   %d, first packet at %" PRId64 "\n", a.packetSize, a.startOffset);
  text += Format("Packets:       %" PRId64 " (%" PRId64 " bytes outside packets)\n", a.packets, a.garbageBytes);
  text += "Duration:      " + (a.duration ? Format("%.6f s", *a.duration) : std::string("- (no PCR)")) + "\n";
  text += "Bitrate:       " + (a.bitrate ? Format("%.0f bit/s", *a.bitrate) : std::string("- (no PCR)")) + "\n";
  text += "PCR PID:       " + (a.pcrPID ? Format("0x%04X", *a.pcrPID) : std::string("-")) + "\n";
  if (a.partial) text += Format("Partial:       stopped at offset %" PRId64 "\n", a.reached);

  text += '\n' + Format("%-6s %9s %8s %13s %13s %13s %10s %10s %8s %11s\n", "PID", "Packets", "Share", "Bitrate",
                        "Bitrate min", "Bitrate max", "CC errors", "Scrambled", "PCRs", "PES starts");
  for (const TPIDFigures& f : a.pids)
    text += Format("0x%04X %9" PRId64 " %6.2f %%", f.pid, f.packets, 100 * f.share) + " " + Rate(f.bitrate, 13) + " " +
            Rate(f.bitrateMin, 13) + " " + Rate(f.bitrateMax, 13) +
            Format(" %10" PRId64 " %10" PRId64 " %8" PRId64 " %11" PRId64 "\n", f.ccErrors, f.scrambled, f.pcrs,
                   f.pesStarts);

  if (!a.pcr.empty()) {
    text += '\n' + Format("%-7s %8s %12s %12s %12s %14s %14s %15s\n", "PCR PID", "PCRs", "Min ms", "Avg ms", "Max ms",
                          "Accuracy ns", "RMS ns", "Discontinuities");
    for (const TPCRFigures& f : a.pcr)
      text += Format("0x%04X  %8" PRId64 " ", f.pid, f.count) + Time(f.intervalMin, 1e3, 12, 3) + " " +
              Time(f.intervalAvg, 1e3, 12, 3) + " " + Time(f.intervalMax, 1e3, 12, 3) + " " +
              Time(f.accuracyMax, 1e9, 14, 1) + " " + Time(f.accuracyRMS, 1e9, 14, 1) +
              Format(" %15" PRId64 "\n", f.discontinuities);
  }
  return text;
}

int RunAnalyze(const Options& o) {
  if (!IsStreamFile(o.file)) return kExitFailure;
  const std::unique_ptr<TFileStream> stream = TFileStream::Open(o.file, TFileStream::Mode::Read);
  if (!stream) return Fail("Cannot open " + o.file);
  TStreamAnalysis analysis;
  {
    TCancelOnSignal cancel(gCancel);
    TProgressBar progress;
    TAnalysisOptions options;
    options.progress = progress.Callback();
    options.cancel = &gCancel;
    analysis = AnalyzeStream(*stream, options);
  }
  if (!analysis.isStream) return Fail(analysis.readFailed ? "Cannot read " + o.file : "Not valid transport stream");
  // A file name that is not UTF-8 keeps its other bytes in JSON and is
  // printed as it is in the summary.
  const std::string text =
      o.json ? ToJSON(o.file, analysis).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n"
             : ToText(o.file, analysis);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (analysis.readFailed)
    return Fail(Format("Cannot read %s: only %" PRId64 " of %" PRId64 " bytes could be read", o.file.c_str(),
                       analysis.reached, analysis.fileSize));
  if (analysis.partial) {
    std::cerr << Format("Stopped at offset %" PRId64 ": partial result", analysis.reached) << '\n';
    return kExitNoResult;
  }
  return kExitOk;
}

}  // namespace

void AddAnalysisCommands(CLI::App& app, TCommandRun& run) {
  auto o = std::make_shared<Options>();
  CLI::App* analyze = app.add_subcommand(
      "analyze", "One pass over FILE: packets and bitrates per PID, PCR timing; exit 1 when stopped early");
  analyze->add_option("FILE", o->file, "Transport stream file")->required();
  analyze->add_flag("--json", o->json, "Print one JSON object instead of the summary");
  analyze->callback([&run, o] { run = [o] { return RunAnalyze(*o); }; });
}

}  // namespace tessaro
