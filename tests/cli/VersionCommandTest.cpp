// tessaro-cli version and --version on both programs.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::RunCli;

const std::string kOwn = std::string(TESSARO_EXPECTED_VERSION) + "\n" + (TESSARO_EXPECTED_DEBUG ? "DEBUG\n" : "");

TEST(VersionCommand, PrintsTheVersionBlockOrSaysThereIsNone) {
  auto r = RunCli("version");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, kOwn);
  EXPECT_EQ(RunCli(std::string("version '") + TESSARO_CLI_PATH + "'").out, kOwn);
#ifdef TESSARO_GUI_PATH
  EXPECT_EQ(RunCli(std::string("version '") + TESSARO_GUI_PATH + "'").out, kOwn);
#endif
  r = RunCli("version '" + test::TestDataPath("one-program.ts") + "'");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "No version information\n");
  EXPECT_EQ(RunCli("version /nonexistent").exitCode, 2);
  // The update check is about this program only.
  EXPECT_EQ(RunCli("version --check-update /bin/sh").exitCode, 2);
}

// The update check is a module the command line loads for that command
// alone: without it the check fails aloud, and no other command needs it.
TEST(VersionCommand, CheckUpdateWithoutItsModuleFails) {
  test::TempDir folder;
  const std::string cli = folder.Path("tessaro-cli");
  std::filesystem::copy_file(TESSARO_CLI_PATH, cli);
  const std::string env = "env TESSARO_UPDATE_URL=http://127.0.0.1:9/ver.txt '" + cli + "' ";
  auto r = test::RunCommand(env + "version --check-update");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "The update check module TessaroUpdate.so is neither beside tessaro-cli nor in ../lib/tessaro/.\n");
  r = test::RunCommand(env + "probe '" + test::TestDataPath("one-program.ts") + "'");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(test::RunCommand("ldd '" + cli + "'").out.find("libQt"), std::string::npos);
}

TEST(VersionCommand, BothProgramsAnswerVersion) {
  const std::string banner = std::string("Tessaro ") + TESSARO_EXPECTED_VERSION + "\n";
  const auto r = RunCli("--version");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, banner);
#ifdef TESSARO_GUI_PATH
  // Without any display: the window is not needed for that.
  const test::CliResult gui = test::RunCommand(std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '") +
                                               TESSARO_GUI_PATH + "' --version");
  EXPECT_EQ(gui.exitCode, 0);
  EXPECT_EQ(gui.out, banner);
#endif
}

}  // namespace
}  // namespace tessaro
