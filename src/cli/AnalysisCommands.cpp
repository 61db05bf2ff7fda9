// The analysis command of tessaro-cli: analyze FILE [--json], one pass over
// the file giving the stream's figures, its services, one row per PID, per
// PCR PID and per stream with timestamps, and the timeline, as aligned text
// or as one JSON object. Ctrl+C (and the other ending
// signals) stops the pass and prints what it measured so far.
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "analysis/AnalysisJSON.h"
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

  for (const TServiceFigures& s : a.services) {
    text += '\n' + Format("Service %d", s.programNumber);
    if (!s.name.empty() || !s.provider.empty()) text += " \"" + s.name + "\" (" + s.provider + ")";
    text += Format(", type %s, PMT %s, PCR %s\n", s.serviceType ? Format("0x%02X", *s.serviceType).c_str() : "-",
                   s.pmtPID ? Format("0x%04X", *s.pmtPID).c_str() : "-",
                   s.pcrPID ? Format("0x%04X", *s.pcrPID).c_str() : "-");
    for (const TStreamFigures& es : s.streams)
      text += Format("  0x%04X  0x%02X %-3s  %-24s %s\n", es.pid, es.streamType, es.language.c_str(), es.what.c_str(),
                     es.streamTypeName.c_str());
  }

  text += '\n' + Format("%-6s %9s %8s %13s %13s %13s %10s %10s %8s %11s  %s\n", "PID", "Packets", "Share", "Bitrate",
                        "Bitrate min", "Bitrate max", "CC errors", "Scrambled", "PCRs", "PES starts", "Description");
  for (const TPIDFigures& f : a.pids)
    text += Format("0x%04X %9" PRId64 " %6.2f %%", f.pid, f.packets, 100 * f.share) + " " + Rate(f.bitrate, 13) + " " +
            Rate(f.bitrateMin, 13) + " " + Rate(f.bitrateMax, 13) +
            Format(" %10" PRId64 " %10" PRId64 " %8" PRId64 " %11" PRId64 "  %s\n", f.ccErrors, f.scrambled, f.pcrs,
                   f.pesStarts, f.description.c_str());

  if (!a.pcr.empty()) {
    text += '\n' + Format("%-7s %8s %12s %12s %12s %14s %14s %15s\n", "PCR PID", "PCRs", "Min ms", "Avg ms", "Max ms",
                          "Accuracy ns", "RMS ns", "Discontinuities");
    for (const TPCRFigures& f : a.pcr)
      text += Format("0x%04X  %8" PRId64 " ", f.pid, f.count) + Time(f.intervalMin, 1e3, 12, 3) + " " +
              Time(f.intervalAvg, 1e3, 12, 3) + " " + Time(f.intervalMax, 1e3, 12, 3) + " " +
              Time(f.accuracyMax, 1e9, 14, 1) + " " + Time(f.accuracyRMS, 1e9, 14, 1) +
              Format(" %15" PRId64 "\n", f.discontinuities);
  }

  if (!a.timestamps.empty()) {
    text += '\n' + Format("%-7s %14s %14s %14s %14s %14s %14s\n", "PTS PID", "PTS-PCR min s", "PTS-PCR max s",
                          "DTS-PCR min s", "DTS-PCR max s", "PTS first s", "PTS last s");
    for (const TTimestampFigures& f : a.timestamps)
      text += Format("0x%04X  ", f.pid) + Time(f.ptsPCRMin, 1, 14, 6) + " " + Time(f.ptsPCRMax, 1, 14, 6) + " " +
              Time(f.dtsPCRMin, 1, 14, 6) + " " + Time(f.dtsPCRMax, 1, 14, 6) + " " + Time(f.ptsFirst, 1, 14, 6) + " " +
              Time(f.ptsLast, 1, 14, 6) + "\n";
  }
  text += '\n' + Format("Timeline:      %zu rows of ", a.timeline.rows.size()) +
          (a.timeline.bucket ? Format("%.6f s", *a.timeline.bucket)
                             : Format("%" PRId64 " bytes (no PCR)", a.timeline.bucketBytes)) +
          "\n";
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
  const std::string text = o.json ? AnalysisJSONText(o.file, analysis) : ToText(o.file, analysis);
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
