// The Operations menu of TForm1: the six commands that write new files from
// the open stream. The window asks (input boxes, the PID picker, the save
// dialog and the replace question); the browser's extraction commands do the
// work, with the busy cursor and a progress dialog that can cancel them.
#include <QMenuBar>

#include "browser/PIDText.h"
#include "core/Diagnostics.h"
#include "ui/LongWork.h"
#include "ui/MainWindow.h"

namespace tessaro {
namespace {

constexpr const char* kNoFile = "No file loaded.";
constexpr const char* kPIDPrompt = "Enter valid PID (0x0000-0x1FFF)";

}  // namespace

void TForm1::BuildOperationsMenu() {
  QMenu* operations = menuBar()->addMenu("Operations");
  FOperationsActions = {
      operations->addAction("Extract PIDs", this, [this] { ExtractPIDs1Click(); }),
      operations->addAction("Extract PES From PID", this, [this] { ExtractPES1Click(); }),
      operations->addAction("Extract ES From PID", this, [this] { ExtractESfromPID1Click(); }),
      operations->addAction("Extract Program", this, [this] { Extractprogram1Click(); }),
      operations->addAction("Demultiplex To ES", this, [this] { DemultiplextoES1Click(); }),
      operations->addAction("Demultiplex To PES", this, [this] { Demux1Click(); }),
  };
}

std::string TForm1::AskOutputFile(bool askReplace) {
  const std::string file = FPrompts->SaveFileName("");
  if (file.empty() || !askReplace) return file;
  if (IsOpenStream(FBrowser, file)) {
    FPrompts->ShowMessage(kOutputIsInput);
    return {};
  }
  if (!OutputExists(file)) return file;
  // The old file stays until the new one is complete, then the new one takes its place.
  return FPrompts->Confirm(ReplaceQuestion(file)) ? file : std::string();
}

void TForm1::RunOperation(const std::function<TExtractionOutcome(TExtractionCommands&)>& command) {
  TExtractionOutcome outcome;
  {
    TBusyCursor busy;
    TScanProgress progress(FBrowser, FCancelSearch, this, "Extracting...", FProgressDelayMs);
    TExtractionCommands commands(FBrowser);
    outcome = command(commands);
  }
  if (!outcome.message.empty()) FPrompts->ShowMessage(outcome.message);
}

void TForm1::ExtractPIDs1Click() {
  GuardedVoid("TForm1.ExtractPIDs1Click", [&] {
    if (!FBrowser.IsLoaded()) return FPrompts->ShowMessage(kNoFile);
    std::vector<uint16_t> pids;
    if (!FPrompts->ExecuteExtractPIDs(FBrowser.Seen().SeenPIDs(), pids)) return;
    if (pids.empty()) return FPrompts->ShowMessage("You must select at least one PID.");
    const std::string file = AskOutputFile(true);
    if (file.empty()) return;
    RunOperation([&](TExtractionCommands& commands) { return commands.ExtractPIDs(pids, file); });
  });
}

void TForm1::ExtractFromPID(bool es) {
  if (!FBrowser.IsLoaded()) return FPrompts->ShowMessage(kNoFile);
  // Both commands ask with this caption.
  const std::optional<std::string> text = FPrompts->InputQuery("Extract PES from PID", kPIDPrompt, "0x0000");
  if (!text) return;
  uint16_t pid = 0;
  if (const std::optional<std::string> message = CheckPIDText(*text, pid)) return FPrompts->ShowMessage(*message);
  const std::string file = AskOutputFile(true);
  if (file.empty()) return;
  RunOperation([&](TExtractionCommands& commands) {
    return es ? commands.ExtractES(pid, file) : commands.ExtractPES(pid, file);
  });
}

void TForm1::ExtractPES1Click() {
  GuardedVoid("TForm1.ExtractPES1Click", [&] { ExtractFromPID(false); });
}

void TForm1::ExtractESfromPID1Click() {
  GuardedVoid("TForm1.ExtractESfromPID1Click", [&] { ExtractFromPID(true); });
}

void TForm1::Extractprogram1Click() {
  GuardedVoid("TForm1.Extractprogram1Click", [&] {
    if (!FBrowser.IsLoaded()) return FPrompts->ShowMessage(kNoFile);
    const std::optional<std::string> text =
        FPrompts->InputQuery("Extract program", "Enter program number (1-65535)", "0");
    if (!text) return;
    int32_t number = 0;
    if (const std::optional<std::string> message = CheckProgramNumberText(*text, number))
      return FPrompts->ShowMessage(*message);
    const std::string file = AskOutputFile(true);
    if (file.empty()) return;
    RunOperation([&](TExtractionCommands& commands) { return commands.ExtractProgram(number, file); });
  });
}

void TForm1::Demultiplex(bool es) {
  if (!FBrowser.IsLoaded()) return;
  // The chosen name is only the base of the per-PID names: nothing is asked about it.
  const std::string base = AskOutputFile(false);
  if (base.empty()) return;
  RunOperation([&](TExtractionCommands& commands) { return commands.Demultiplex(base, es); });
}

void TForm1::DemultiplextoES1Click() {
  GuardedVoid("TForm1.DemultiplextoES1Click", [&] { Demultiplex(true); });
}

void TForm1::Demux1Click() {
  GuardedVoid("TForm1.Demux1Click", [&] { Demultiplex(false); });
}

}  // namespace tessaro
