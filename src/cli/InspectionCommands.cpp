// The inspection commands of tessaro-cli: probe, list, find, pids and tree,
// each printing what the window would show.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "browser/StreamBrowser.h"
#include "cli/CliSupport.h"
#include "hex/HexView.h"

namespace tessaro {
namespace {

void PrintRows(const TStreamBrowser& browser) {
  std::string line;
  for (int row = 0; row < browser.RowCount(); ++row) {
    line.clear();
    for (int column = 0; column < kColumnCount; ++column) {
      if (column > 0) line += '\t';
      line += browser.RowText(row, static_cast<TColumn>(column));
    }
    line += '\n';
    Print(line);
  }
}

struct Options {
  std::string file;
  std::string offset;
  std::string from;
  std::string pid;
  std::string next;
  int rows = TStreamBrowser::kPageSlots;
  bool all = false;
  bool positions = false;
  bool decoded = false;
  int lines = 12;
};

int RunProbe(const Options& o) {
  TStreamBrowser browser;
  if (!OpenStream(browser, o.file)) return kExitFailure;
  std::printf("packet_size=%d start_offset=%d slots=%lld\n", browser.PacketSize(), browser.StartOffset(),
              static_cast<long long>(browser.SlotCount()));
  return kExitOk;
}

int RunList(const Options& o) {
  if (o.rows < 1 || o.rows > TStreamBrowser::kPageSlots) return Fail("--rows must be from 1 to 100.");
  std::optional<int64_t> offset;
  if (!o.offset.empty() && !(offset = ParseOffset(o.offset))) return Fail("Invalid offset: " + o.offset);
  TStreamBrowser browser;
  browser.SetVisibleRows(o.all ? TStreamBrowser::kPageSlots : o.rows);
  if (!OpenStream(browser, o.file)) return kExitFailure;
  int64_t position = offset.value_or(browser.StartOffset());
  if (!o.all) {
    if (offset && !browser.RefreshPosition(*offset)) {
      std::cerr << "No packets at offset " << o.offset << '\n';
      return kExitNoResult;
    }
    PrintRows(browser);
    return kExitOk;
  }
  browser.WalkPages(
      [&] {
        PrintRows(browser);
        return true;
      },
      position);
  return kExitOk;
}

int RunFind(const Options& o) {
  std::optional<int64_t> from;
  if (!o.from.empty() && !(from = ParseOffset(o.from))) return Fail("Invalid offset: " + o.from);
  uint16_t pid = 0;
  if (!o.pid.empty()) {
    if (auto message = ReadPIDArgument(o.pid, pid)) return Fail(*message);
  }
  std::string word = o.next;
  std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::tolower(c); });
  const TFindNextCommand* command = nullptr;
  if (!o.next.empty() && (command = FindNextCommand(word)) == nullptr) return Fail("Unknown search kind: " + o.next);
  TStreamBrowser browser;
  if (!OpenStream(browser, o.file)) return kExitFailure;
  int64_t selected = browser.SelectedOffset(0);
  if (from) {
    // The row at the offset is selected: its page is the one on screen.
    browser.RefreshPosition(*from);
    selected = *from;
  }
  const TSearchOutcome outcome =
      command != nullptr ? browser.FindNext(*command, selected) : browser.FindPID(pid, selected);
  if (!outcome.found) {
    std::puts(outcome.message.c_str());
    return kExitNoResult;
  }
  std::printf("0x%016llX\n", static_cast<unsigned long long>(outcome.offset));
  return kExitOk;
}

int RunPids(const Options& o) {
  TStreamBrowser browser;
  if (!OpenStream(browser, o.file)) return kExitFailure;
  std::puts("Seen PIDs:");
  for (const std::string& text : browser.Seen().PIDTexts()) Print(text + '\n');
  std::puts("Seen Programs:");
  for (const std::string& text : browser.Seen().ProgramTexts()) Print(text + '\n');
  return kExitOk;
}

int RunTree(const Options& o) {
  const std::optional<int64_t> offset = ParseOffset(o.offset);
  if (!offset) return Fail("Invalid offset: " + o.offset);
  TStreamBrowser browser;
  browser.SetDecodedValues(o.decoded);
  if (!OpenStream(browser, o.file)) return kExitFailure;
  if (!browser.SelectPacket(*offset)) {
    std::cerr << "No packet starts at offset " << o.offset << '\n';
    return kExitNoResult;
  }
  for (const auto& node : browser.Tree().children) PrintTree(*node, o.positions);
  return kExitOk;
}

// The hex view's lines for the offset; nothing at or past the end of the file.
int RunHex(const Options& o) {
  const std::optional<int64_t> offset = ParseOffset(o.offset);
  if (!offset) return Fail("Invalid offset: " + o.offset);
  if (o.lines < 1 || o.lines > 100000) return Fail("--lines must be from 1 to 100000.");
  TStreamBrowser browser;
  if (!OpenStream(browser, o.file)) return kExitFailure;
  THexView view;
  if (!view.OpenFile(o.file)) return Fail("Cannot read " + o.file);
  view.SetLineCount(o.lines);
  if (!view.RefreshFileData(*offset)) return kExitNoResult;
  std::string text;
  for (const std::string& line : view.Lines()) text += line + '\n';
  Print(text);
  return kExitOk;
}

}  // namespace

void AddInspectionCommands(CLI::App& app, TCommandRun& run) {
  auto o = std::make_shared<Options>();

  CLI::App* probe = app.add_subcommand("probe", "Packet slot size, first sync byte and slot count of FILE");
  probe->add_option("FILE", o->file, "Transport stream file")->required();
  probe->callback([&run, o] { run = [o] { return RunProbe(*o); }; });

  CLI::App* list = app.add_subcommand("list", "The packet-list page at an offset, or every packet");
  list->add_option("FILE", o->file, "Transport stream file")->required();
  list->add_option("--offset", o->offset, "Page offset, decimal or 0x hex (default: the first sync byte)");
  list->add_option("--rows", o->rows, "Visible rows, 1 to 100 (default 100)");
  list->add_flag("--all", o->all, "Every packet of the file, page after page");
  list->callback([&run, o] { run = [o] { return RunList(*o); }; });

  CLI::App* find = app.add_subcommand("find", "Search as the Search menu does");
  find->add_option("FILE", o->file, "Transport stream file")->required();
  auto* pidOption = find->add_option("--pid", o->pid, "Find PID: 0x and 1 to 4 hex digits, or decimal");
  auto* nextOption = find->add_option(
      "--next", o->next, "Find Next: pat pmt cat nit sdt eit tdt bat rst tot payload-start pcr (any case)");
  pidOption->excludes(nextOption);
  find->add_option("--from", o->from, "Offset of the selected row (default: the first row)");
  find->callback([&run, o] {
    if (o->pid.empty() && o->next.empty()) throw CLI::ValidationError("find", "--pid or --next is required");
    run = [o] { return RunFind(*o); };
  });

  CLI::App* tree = app.add_subcommand("tree", "The decode tree of the packet at an offset");
  tree->add_option("FILE", o->file, "Transport stream file")->required();
  tree->add_option("--offset", o->offset, "Offset of the packet, decimal or 0x hex")->required();
  tree->add_flag("--positions", o->positions,
                 "After each node, a TAB and where its bits lie: 0x<offset>.<first bit>+<bit count>, ...");
  tree->add_flag("--decoded", o->decoded,
                 "Decoded values in brackets after the raw ones: dates, durations, frequencies, DVB texts");
  tree->callback([&run, o] { run = [o] { return RunTree(*o); }; });

  CLI::App* hex = app.add_subcommand("hex", "The hex view's lines for an offset");
  hex->add_option("FILE", o->file, "Transport stream file")->required();
  hex->add_option("--offset", o->offset, "File offset, decimal or 0x hex")->required();
  hex->add_option("--lines", o->lines, "Lines the view shows (default 12)");
  hex->callback([&run, o] { run = [o] { return RunHex(*o); }; });

  CLI::App* pids = app.add_subcommand("pids", "The seen PIDs and programs after opening FILE");
  pids->add_option("FILE", o->file, "Transport stream file")->required();
  pids->callback([&run, o] { run = [o] { return RunPids(*o); }; });
}

}  // namespace tessaro
