// The extraction commands of tessaro-cli: extract-pids, extract-pes,
// extract-es, extract-program, demux-pes and demux-es, running the window's
// Operations commands. A one-line progress bar goes to standard error when it
// is a terminal; Ctrl+C cancels, and the unfinished output is removed.
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "browser/ExtractionCommands.h"
#include "browser/PIDText.h"
#include "browser/StreamBrowser.h"
#include "cli/CliProgress.h"
#include "cli/CliSupport.h"
#include "core/SafeReplace.h"
#include "extract/Demultiplexer.h"

namespace tessaro {
namespace {

std::atomic<bool> gCancel{false};

struct Options {
  std::string file;
  std::vector<std::string> pids;
  std::string program;
  std::string output;
  bool force = false;
};

using TBody = std::function<TExtractionOutcome(TExtractionCommands&)>;

int ExitStatus(const TExtractionOutcome& outcome) {
  if (!outcome.message.empty()) std::cerr << outcome.message << '\n';
  switch (outcome.status) {
    case TExtractionOutcome::TStatus::Done:
      return kExitOk;
    case TExtractionOutcome::TStatus::NotFound:
      return kExitNoResult;
    default:
      return kExitFailure;
  }
}

// The first per-PID file of a demultiplex that would replace one already there.
std::optional<std::string> ExistingDemuxFile(const std::string& base) {
  const std::filesystem::path first(TMPEGTSDemultiplexer::OutputFileName(base, 0));
  const std::string prefix = first.filename().string().substr(0, first.filename().string().size() - 4);
  std::error_code ec;
  const std::filesystem::path folder = first.has_parent_path() ? first.parent_path() : ".";
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() != prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = name.substr(prefix.size());
    const bool hex = digits.find_first_not_of("0123456789ABCDEF") == std::string::npos;
    if (hex && std::stoi(digits, nullptr, 16) <= 0x1FFF) return entry.path().string();
  }
  return std::nullopt;
}

std::string Exists(const std::string& file) { return "The file " + file + " already exists; --force replaces it."; }

// Opens the stream as the window does, checks where the output goes (never
// over the input; an existing file only with --force, the command line's
// answer to the replace question) and runs body.
int Run(const Options& o, bool oneOutputFile, const TBody& body) {
  TStreamBrowser browser;
  if (!OpenStream(browser, o.file)) return kExitFailure;
  if (oneOutputFile) {
    if (IsOpenStream(browser, o.output)) return Fail(kOutputIsInput);
    if (OutputTargetOf(o.output) == TOutputTarget::Folder) return Fail(o.output + " is a folder");
    if (OutputExists(o.output) && !o.force) return Fail(Exists(o.output));
  } else if (!o.force) {
    if (const std::optional<std::string> taken = ExistingDemuxFile(o.output)) return Fail(Exists(*taken));
  }
  TExtractionOutcome outcome;
  {
    // Ctrl+C and the other ending signals cancel; the unfinished output is removed.
    TCancelOnSignal cancel(gCancel);
    browser.SetScanCancel(&gCancel);
    TProgressBar progress;
    browser.SetScanProgress(progress.Callback());
    TExtractionCommands commands(browser);
    commands.SetKeepEmptyOutput(false);
    outcome = body(commands);
    browser.SetScanProgress(nullptr);
  }
  return ExitStatus(outcome);
}

// The PIDs as typed (0x and 1 to 4 hex digits, or decimal), with the window's messages for a wrong one.
bool ReadPIDs(const std::vector<std::string>& texts, std::vector<uint16_t>& pids) {
  for (const std::string& text : texts) {
    uint16_t pid = 0;
    if (const std::optional<std::string> message = ReadPIDArgument(text, pid)) {
      Fail(*message);
      return false;
    }
    pids.push_back(pid);
  }
  return true;
}

int RunFromPIDs(const Options& o, bool es, bool payloads) {
  std::vector<uint16_t> pids;
  if (!ReadPIDs(o.pids, pids)) return kExitFailure;
  return Run(o, true, [&](TExtractionCommands& commands) {
    if (!payloads) return commands.ExtractPIDs(pids, o.output);
    return es ? commands.ExtractES(pids[0], o.output) : commands.ExtractPES(pids[0], o.output);
  });
}

int RunProgram(const Options& o) {
  int32_t number = 0;
  if (const std::optional<std::string> message = CheckProgramNumberText(o.program, number)) return Fail(*message);
  return Run(o, true, [&](TExtractionCommands& commands) { return commands.ExtractProgram(number, o.output); });
}

CLI::App* AddCommand(CLI::App& app, const char* name, const char* help, Options& o, const char* outputHelp) {
  CLI::App* command = app.add_subcommand(name, help);
  command->add_option("FILE", o.file, "Transport stream file")->required();
  command->add_option("-o,--output", o.output, outputHelp)->required();
  return command;
}

}  // namespace

void AddExtractionCommands(CLI::App& app, TCommandRun& run) {
  auto o = std::make_shared<Options>();
  constexpr const char* kOut = "Output file";
  constexpr const char* kForce = "Replace an existing output file";

  CLI::App* pids = AddCommand(app, "extract-pids", "Whole packets of the PIDs, in file order (Extract PIDs)", *o, kOut);
  pids->add_option("--pid", o->pids, "PID as 0xXXXX; repeat for more")->required();
  pids->add_flag("--force", o->force, kForce);
  pids->callback([&run, o] { run = [o] { return RunFromPIDs(*o, false, false); }; });

  CLI::App* pes = AddCommand(app, "extract-pes", "The payloads of one PID (Extract PES From PID)", *o, kOut);
  pes->add_option("--pid", o->pids, "PID as 0xXXXX")->required()->expected(1);
  pes->add_flag("--force", o->force, kForce);
  pes->callback([&run, o] { run = [o] { return RunFromPIDs(*o, false, true); }; });

  CLI::App* es =
      AddCommand(app, "extract-es", "The payloads of one PID without PES headers (Extract ES From PID)", *o, kOut);
  es->add_option("--pid", o->pids, "PID as 0xXXXX")->required()->expected(1);
  es->add_flag("--force", o->force, kForce);
  es->callback([&run, o] { run = [o] { return RunFromPIDs(*o, true, true); }; });

  CLI::App* program = AddCommand(app, "extract-program", "One program with a rebuilt PAT (Extract Program)", *o, kOut);
  program->add_option("--program", o->program, "Program number, 1 to 65535")->required();
  program->add_flag("--force", o->force, kForce);
  program->callback([&run, o] { run = [o] { return RunProgram(*o); }; });

  constexpr const char* kBase = "Base name: one file per PID, its extension replaced by .$ and the PID in hex";
  for (const bool toES : {false, true}) {
    CLI::App* demux = AddCommand(app, toES ? "demux-es" : "demux-pes",
                                 toES ? "Every PID into a file of its own, without PES headers (Demultiplex To ES)"
                                      : "Every PID's payloads into a file of its own (Demultiplex To PES)",
                                 *o, kBase);
    demux->add_flag("--force", o->force, "Replace existing per-PID files");
    demux->callback([&run, o, toES] {
      run = [o, toES] {
        return Run(*o, false, [&](TExtractionCommands& commands) { return commands.Demultiplex(o->output, toES); });
      };
    });
  }
}

}  // namespace tessaro
