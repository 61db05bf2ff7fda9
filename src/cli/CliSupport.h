// What every command of tessaro-cli shares: exit codes, offsets and PIDs
// read from arguments, opening a stream as the window does, results printed
// safely, and how a family of commands adds itself to the program.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/TreeNode.h"

namespace tessaro {

class TStreamBrowser;

inline constexpr int kExitOk = 0;
inline constexpr int kExitNoResult = 1;
inline constexpr int kExitFailure = 2;
// validate: at least one finding of type Error.
inline constexpr int kExitErrorFound = 1;

// Decimal or 0x-prefixed hexadecimal, non-negative.
std::optional<int64_t> ParseOffset(const std::string& text);

// A PID as people type it: 0x and 1 to 4 hex digits, or decimal. Nothing with
// pid set when it is one from 0 to 8191; otherwise the window's message:
// text + " is invalid PID." (0x and no hex number of 1 to 4 digits),
// text + " is out of range." or "PID must be in 0xXXXX format." (neither form).
std::optional<std::string> ReadPIDArgument(const std::string& text, uint16_t& pid);

// Results for standard output: decoded texts are made safe for a terminal,
// and go to a pipe or a file byte for byte.
void Print(const std::string& text);
// Prints a decode tree as Print does, except that on a terminal the decoded
// values' nodes (UTF-8 already) are written as they are.
void PrintTree(const TTreeNode& node, bool positions);

// Writes the message to standard error; returns kExitFailure.
int Fail(const std::string& message);

// Whether path is a regular file this program can open; otherwise prints
// "File not found: PATH", "Not a regular file: PATH" or "Cannot open PATH: "
// and the system's reason.
bool IsReadableFile(const std::string& path);
// Opens the file as the window does; prints the reason and returns false when it cannot.
bool OpenStream(TStreamBrowser& browser, const std::string& path);
// Whether the window would open the file as a stream (the same test and
// messages as OpenStream), for commands that need no page of it.
bool IsStreamFile(const std::string& path);

// The command chosen on the command line sets run to its body.
using TCommandRun = std::function<int()>;

// Each family adds its subcommands to app.
void AddInspectionCommands(CLI::App& app, TCommandRun& run);
void AddExtractionCommands(CLI::App& app, TCommandRun& run);
// Also --version on the program itself.
void AddVersionCommands(CLI::App& app, TCommandRun& run);
void AddValidationCommands(CLI::App& app, TCommandRun& run);
void AddAnalysisCommands(CLI::App& app, TCommandRun& run);

}  // namespace tessaro
