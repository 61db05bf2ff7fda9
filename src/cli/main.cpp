// tessaro-cli: every inspection the window offers, without a window. Results go
// to standard output, messages for a person to standard error. Exit status:
// 0 success, 1 no result, 2 bad input or failure.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "browser/PIDText.h"
#include "browser/StreamBrowser.h"
#include "cli/TerminalText.h"

namespace tessaro {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitNoResult = 1;
constexpr int kExitFailure = 2;

// Decimal or 0x-prefixed hexadecimal, non-negative.
std::optional<int64_t> ParseOffset(const std::string& text) {
  try {
    size_t used = 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const long long value = std::stoll(hex ? text.substr(2) : text, &used, hex ? 16 : 10);
    if (used != (hex ? text.size() - 2 : text.size()) || value < 0) return std::nullopt;
    return value;
  } catch (...) {
    return std::nullopt;
  }
}

// Results for standard output: decoded texts are made safe for a terminal,
// and go to a pipe or a file byte for byte.
void Print(const std::string& text) {
  static const bool terminal = isatty(STDOUT_FILENO) == 1;
  std::fputs(terminal ? TerminalText(text).c_str() : text.c_str(), stdout);
}

int Fail(const std::string& message) {
  std::cerr << message << '\n';
  return kExitFailure;
}

// Opens the file as the window does; prints the reason and returns false when it cannot.
bool OpenStream(TStreamBrowser& browser, const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    std::cerr << "File not found: " << path << '\n';
    return false;
  }
  if (!browser.LoadFile(path)) {
    std::cerr << "Not valid transport stream\n";
    return false;
  }
  return true;
}

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
  // Page after page, each loaded at the slot after the last row of the one before.
  const int64_t size = browser.FileSize();
  while (position < size) {
    if (!browser.RefreshPosition(position) && browser.LoadRowsFrom(position) == 0) {
      position += int64_t{browser.PacketSize()} * TStreamBrowser::kPageSlots;
      continue;
    }
    if (browser.RowCount() == 0) break;
    PrintRows(browser);
    position = browser.Row(browser.RowCount() - 1).Offset + browser.PacketSize();
  }
  return kExitOk;
}

int RunFind(const Options& o) {
  std::optional<int64_t> from;
  if (!o.from.empty() && !(from = ParseOffset(o.from))) return Fail("Invalid offset: " + o.from);
  uint16_t pid = 0;
  if (!o.pid.empty()) {
    if (auto message = CheckPIDText(o.pid, pid)) return Fail(*message);
  }
  const TFindNextCommand* command = nullptr;
  if (!o.next.empty() && (command = FindNextCommand(o.next)) == nullptr)
    return Fail("Unknown search kind: " + o.next);
  TStreamBrowser browser;
  if (!OpenStream(browser, o.file)) return kExitFailure;
  int64_t selected = browser.RowCount() > 0 ? browser.Row(0).Offset : browser.StartOffset();
  if (from) {
    // The row at the offset is selected: its page is the one on screen.
    browser.SetTopOffset(*from);
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
  if (!OpenStream(browser, o.file)) return kExitFailure;
  // Selecting a row: its page is on screen, and the current PAT is the one
  // loading that page made current.
  browser.SetTopOffset(*offset);
  // The last packets of a file are too few for a page of their own.
  if (!browser.RefreshPosition(*offset)) browser.LoadRowsFrom(*offset);
  bool isRow = false;
  for (int row = 0; row < browser.RowCount(); ++row) isRow = isRow || browser.Row(row).Offset == *offset;
  if (!isRow) {
    std::cerr << "No packet starts at offset " << o.offset << '\n';
    return kExitNoResult;
  }
  browser.RefreshTSPacket(*offset);
  for (const auto& node : browser.Tree().children) Print(TreeToText(*node, 0, o.positions));
  return kExitOk;
}

int Main(int argc, char** argv) {
  CLI::App app{"tessaro-cli: inspect and take apart MPEG-2 transport stream files"};
  app.require_subcommand(1);
  Options o;
  int (*run)(const Options&) = nullptr;

  CLI::App* probe = app.add_subcommand("probe", "Packet slot size, first sync byte and slot count of FILE");
  probe->add_option("FILE", o.file, "Transport stream file")->required();
  probe->callback([&] { run = RunProbe; });

  CLI::App* list = app.add_subcommand("list", "The packet-list page at an offset, or every packet");
  list->add_option("FILE", o.file, "Transport stream file")->required();
  list->add_option("--offset", o.offset, "Page offset, decimal or 0x hex (default: the first sync byte)");
  list->add_option("--rows", o.rows, "Visible rows, 1 to 100 (default 100)");
  list->add_flag("--all", o.all, "Every packet of the file, page after page");
  list->callback([&] { run = RunList; });

  CLI::App* find = app.add_subcommand("find", "Search as the Search menu does");
  find->add_option("FILE", o.file, "Transport stream file")->required();
  auto* pidOption = find->add_option("--pid", o.pid, "Find PID: 0xXXXX");
  auto* nextOption = find->add_option(
      "--next", o.next, "Find Next: pat pmt cat nit sdt eit tdt bat rst tot payload-start pcr");
  pidOption->excludes(nextOption);
  find->add_option("--from", o.from, "Offset of the selected row (default: the first row)");
  find->callback([&] {
    if (o.pid.empty() && o.next.empty()) throw CLI::ValidationError("find", "--pid or --next is required");
    run = RunFind;
  });

  CLI::App* tree = app.add_subcommand("tree", "The decode tree of the packet at an offset");
  tree->add_option("FILE", o.file, "Transport stream file")->required();
  tree->add_option("--offset", o.offset, "Offset of the packet, decimal or 0x hex")->required();
  tree->add_flag("--positions", o.positions,
                 "After each node, a TAB and where its bits lie: 0x<offset>.<first bit>+<bit count>, ...");
  tree->callback([&] { run = RunTree; });

  CLI::App* pids = app.add_subcommand("pids", "The seen PIDs and programs after opening FILE");
  pids->add_option("FILE", o.file, "Transport stream file")->required();
  pids->callback([&] { run = RunPids; });

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitFailure;
  }
  const int status = run != nullptr ? run(o) : kExitFailure;
  // Results that could not be written are a failure, whatever the command found.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return Fail("tessaro-cli: cannot write the output");
  return status;
}

}  // namespace
}  // namespace tessaro

int main(int argc, char** argv) {
  try {
    return tessaro::Main(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "tessaro-cli: " << e.what() << '\n';
  } catch (...) {
    std::cerr << "tessaro-cli: unexpected failure\n";
  }
  return 2;
}
