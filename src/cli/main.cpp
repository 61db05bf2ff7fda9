// tessaro-cli: every inspection and extraction the window offers, without a
// window. Results go to standard output, messages for a person to standard
// error. Exit status: 0 success, 1 no result, 2 bad input or failure.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <iostream>

#include "cli/CliSupport.h"

namespace tessaro {
namespace {

int Main(int argc, char** argv) {
  CLI::App app{"tessaro-cli: inspect and take apart MPEG-2 transport stream files"};
  app.require_subcommand(1);
  TCommandRun run;
  AddInspectionCommands(app, run);
  AddExtractionCommands(app, run);
  AddVersionCommands(app, run);
  AddValidationCommands(app, run);
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
  try {
    return tessaro::Main(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "tessaro-cli: " << e.what() << '\n';
  } catch (...) {
    std::cerr << "tessaro-cli: unexpected failure\n";
  }
  return 2;
}
