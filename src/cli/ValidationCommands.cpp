// The validate command of tessaro-cli: runs the validation module the window
// runs (Pelvanor.pvm beside the program, else in the installed module folder,
// or the one given) over a stream, prints one line per finding (#, module,
// type and message joined by TAB) and writes the same XML report as Save
// Report when asked; with --json, one JSON object of the findings instead of
// the lines, each with the indicator, PID, offset and time its message names.
// Exit status 1 tells a stream with an Error finding from a clean one (0); 2
// is a run that failed, also one that could not read the whole file.
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "cli/CliSupport.h"
#include "core/ModuleFiles.h"
#include "core/SafeReplace.h"
#include "validation/FindingPlace.h"
#include "validation/MediaValidation.h"
#include "validation/ReportNames.h"
#include "validation/ReportXML.h"
#include "validation/ValidatorModule.h"

namespace tessaro {
namespace {

// The command line polls more often than the window: it has nothing else to do.
constexpr auto kPollInterval = std::chrono::milliseconds(2);

struct Options {
  std::string file;
  std::string report;
  std::string module;
  bool force = false;
  bool json = false;
};

// A one-line progress bar on standard error when it is a terminal.
class TProgressLine {
 public:
  TProgressLine() : shown_(isatty(STDERR_FILENO) == 1) {}
  ~TProgressLine() {
    if (shown_ && drawn_) std::fputs("\r\033[K", stderr);
  }
  void Show(double percent) {
    if (!shown_) return;
    constexpr int kWidth = 40;
    const int filled = std::clamp(static_cast<int>(percent / 100.0 * kWidth), 0, kWidth);
    std::fprintf(stderr, "\r[%s%s] %6.2f%%", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(kWidth - filled), ' ').c_str(), percent);
    std::fflush(stderr);
    drawn_ = true;
  }

 private:
  bool shown_;
  bool drawn_ = false;
};

template <class T>
nlohmann::json OrNull(const std::optional<T>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

// The counts of the run's summary ("Summary: name count, name off, ...;
// ..."), null for a check that was off; without one, the findings listed.
nlohmann::json SummaryCounts(const std::vector<TCustomReport>& reports) {
  nlohmann::json counts = nlohmann::json::object();
  for (const TCustomReport& r : reports) {
    const size_t colon = r.Message.find(": ");
    if (r.ReportType != kReportInfo || r.Message.rfind("Summary", 0) != 0 || colon == std::string::npos) continue;
    const std::string list = r.Message.substr(colon + 2, r.Message.find(';') - colon - 2);
    for (size_t at = 0; at < list.size();) {
      const size_t end = std::min(list.find(", ", at), list.size());
      const std::string item = list.substr(at, end - at);
      const size_t space = item.rfind(' ');
      const std::string value = space == std::string::npos ? std::string() : item.substr(space + 1);
      if (value == "off") counts[item.substr(0, space)] = nullptr;
      if (!value.empty() && value.size() < 19 && value.find_first_not_of("0123456789") == std::string::npos)
        counts[item.substr(0, space)] = std::stoll(value);
      at = end + 2;
    }
    return counts;
  }
  std::map<std::string, int64_t> listed;
  for (const TCustomReport& r : reports)
    if (const TFindingPlace place = ReadFindingPlace(r.Message); place.indicator)
      ++listed[IndicatorName(*place.indicator)];
  for (const auto& [name, count] : listed) counts[name] = count;
  return counts;
}

std::string FindingsJSON(const std::string& file, const std::string& module,
                         const std::vector<TCustomReport>& reports) {
  nlohmann::json findings = nlohmann::json::array();
  int64_t index = 0;
  for (const TCustomReport& r : reports) {
    const TFindingPlace place = ReadFindingPlace(r.Message);
    findings.push_back(
        {{"index", ++index},
         {"type", ReportTypeName(r.ReportType)},
         {"indicator", place.indicator ? nlohmann::json(IndicatorName(*place.indicator)) : nlohmann::json(nullptr)},
         {"pid", OrNull(place.pid)},
         {"offset", OrNull(place.offset)},
         {"time", place.milliseconds ? nlohmann::json(static_cast<double>(*place.milliseconds) / 1000.0)
                                     : nlohmann::json(nullptr)},
         {"message", r.Message}});
  }
  const nlohmann::json document{
      {"file", file}, {"module", module}, {"findings", findings}, {"summary", SummaryCounts(reports)}};
  return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

// Refuses a report target the run must not write to; kExitOk when it may.
int CheckReportTarget(const Options& o) {
  switch (OutputTargetOf(o.report)) {
    case TOutputTarget::Missing:
      return kExitOk;
    case TOutputTarget::Folder:
      return Fail(o.report + " is a folder");
    case TOutputTarget::File:
    case TOutputTarget::Special:
      break;
  }
  const std::optional<TFileIdentity> target = FileIdentityOf(o.report);
  if (target && target == FileIdentityOf(o.file)) return Fail(kOutputIsInput);
  if (!o.force) return Fail("The file " + o.report + " already exists. Use --force to replace it.");
  return kExitOk;
}

int RunValidate(const Options& o) {
  if (!IsStreamFile(o.file)) return kExitFailure;
  if (!o.report.empty() && CheckReportTarget(o) != kExitOk) return kExitFailure;

  // A module named without a folder is a file of the working folder, not a
  // library for the loader to search its path for.
  std::error_code ec;
  const std::string modulePath =
      o.module.empty() ? FindValidatorModule(ExecutableFolder()) : std::filesystem::absolute(o.module, ec).string();
  TMediaValidation validation;
  if (!validation.LoadPlugin(modulePath)) return Fail("Cannot load the validation module: " + validation.LoadError());
  if (!validation.StartValidation(std::filesystem::absolute(o.file, ec).string())) return Fail("Cannot validate file.");
  {
    TProgressLine progress;
    for (;;) {
      const std::optional<double> answer = validation.Progress();
      if (!answer) {
        validation.StopValidation();
        return Fail("The validation module does not tell its progress.");
      }
      const double percent = *answer;
      progress.Show(percent);
      if (TMediaValidation::IsFinished(percent)) break;
      std::this_thread::sleep_for(kPollInterval);
    }
  }
  const std::optional<std::string> shortfall = validation.ReadShortfall();
  if (!validation.StopValidation()) return Fail("Cannot stop the validation.");

  size_t number = 0;
  bool errorFound = false;
  std::string line;
  if (o.json) {
    const std::vector<TCustomReport> reports = validation.Reports().Items();
    for (const TCustomReport& r : reports) errorFound = errorFound || r.ReportType == kReportError;
    number = reports.size();
    Print(FindingsJSON(o.file, validation.ModuleName(), reports));
  }
  if (!o.json)
    validation.Reports().ForEach([&](const TCustomReport& r) {
      errorFound = errorFound || r.ReportType == kReportError;
      line = std::to_string(++number);
      line += '\t';
      line += ModuleName(r.ModuleId);
      line += '\t';
      line += ReportTypeName(r.ReportType);
      line += '\t';
      line += r.Message;
      line += '\n';
      Print(line);
    });
  // The findings of a run that did not see the whole file are shown, but they
  // are no report of the file.
  if (shortfall) return Fail("Cannot read " + o.file + ": " + *shortfall);
  if (!o.report.empty()) {
    if (number == 0) return Fail(kReportListEmpty);
    if (const std::optional<std::string> failure = validation.SaveReportXML(o.report)) return Fail(*failure);
  }
  return errorFound ? kExitErrorFound : kExitOk;
}

}  // namespace

void AddValidationCommands(CLI::App& app, TCommandRun& run) {
  auto o = std::make_shared<Options>();
  CLI::App* validate = app.add_subcommand(
      "validate", "Run the validation module over FILE and list its findings (ETSI TR 101 290); exit 1 on an Error");
  validate->add_option("FILE", o->file, "Transport stream file")->required();
  validate->add_option("-o", o->report, "Write the findings as an XML report to this file");
  validate->add_option("--module", o->module,
                       "The validation module (default: Pelvanor.pvm beside tessaro-cli, then ../lib/tessaro/)");
  validate->add_flag("--force", o->force, "Replace an existing report file");
  validate->add_flag("--json", o->json,
                     "Print one JSON object (file, module, findings with indicator, pid, offset and time in seconds, "
                     "summary counts) instead of the lines");
  validate->callback([&run, o] { run = [o] { return RunValidate(*o); }; });
}

}  // namespace tessaro
