// The validate command of tessaro-cli: runs the validation module the window
// runs (Pelvanor.pvm beside the program, else in the installed module folder,
// or the one given) over a stream, prints one line per finding (#, module,
// type and message joined by TAB) and writes the same XML report as Save
// Report when asked. Exit status 1 tells a stream with an Error finding from
// a clean one (0); 2 is a run that failed, also one that could not read the
// whole file.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "cli/CliSupport.h"
#include "core/ModuleFiles.h"
#include "core/SafeReplace.h"
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
  validate->callback([&run, o] { run = [o] { return RunValidate(*o); }; });
}

}  // namespace tessaro
