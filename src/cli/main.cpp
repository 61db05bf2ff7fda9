// tessaro-cli: every inspection and extraction the window offers, without a
// window. Results go to standard output, messages for a person to standard
// error. Exit status: 0 success, 1 no result, 2 bad input or failure.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/CliSupport.h"
#include "core/HeapReserve.h"

namespace tessaro {
namespace {

// A first word that names no command: CLI11 would take it for a stray
// argument; the person meant a command, so it is named and the commands listed.
int UnknownCommand(const CLI::App& app, const std::string& word) {
  std::string text = "Unknown command '" + word + "'\nCommands:\n";
  const std::vector<const CLI::App*> commands = app.get_subcommands([](const CLI::App*) { return true; });
  size_t width = 0;
  for (const CLI::App* command : commands) width = std::max(width, command->get_name().size());
  for (const CLI::App* command : commands)
    text += "  " + command->get_name() + std::string(width + 2 - command->get_name().size(), ' ') +
            command->get_description() + '\n';
  std::fputs(text.c_str(), stderr);
  return kExitFailure;
}

int Main(int argc, char** argv) {
  CLI::App app{"tessaro-cli: inspect and take apart MPEG-2 transport stream files"};
  app.require_subcommand(1);
  TCommandRun run;
  AddInspectionCommands(app, run);
  AddExtractionCommands(app, run);
  AddVersionCommands(app, run);
  AddValidationCommands(app, run);
  AddAnalysisCommands(app, run);
  if (argc > 1 && argv[1][0] != '-') {
    const std::string word = argv[1];
    const std::vector<const CLI::App*> named =
        std::as_const(app).get_subcommands([&word](const CLI::App* command) { return command->check_name(word); });
    if (named.empty()) return UnknownCommand(app, word);
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitFailure;
  }
  const int status = run ? run() : kExitFailure;
  // Results that could not be written are a failure, whatever the command found.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return Fail("tessaro-cli: cannot write the output");
  return status;
}

}  // namespace
}  // namespace tessaro

int main(int argc, char** argv) {
  // The reserve serves the passes that run on this thread. validate checks
  // on the module's thread, which allocates elsewhere: there the reserve
  // would only cost its start (measured: a run is faster without it).
  if (argc < 2 || std::string_view(argv[1]) != "validate") tessaro::ReserveHeap();
  try {
    return tessaro::Main(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "tessaro-cli: " << e.what() << '\n';
  } catch (...) {
    std::cerr << "tessaro-cli: unexpected failure\n";
  }
  return 2;
}
