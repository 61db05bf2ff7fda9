// tessaro-cli validate: the module's findings one per line and exit status 1
// when one is an Error, the XML report as Save Report writes it, written
// safely and an existing one kept unless --force, and a module that cannot be
// used, a file that is not a stream or that shrinks during the run, and a
// report that cannot be written refused with exit status 2 and the reason;
// the diagnostic lines only when asked for.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "support/TestSupport.h"
#include "validation/ReportNames.h"
#include "validation/ReportXML.h"

namespace tessaro {
namespace {

using test::RunCli;
using test::TestDataPath;

std::string Quote(const std::string& path) { return "'" + path + "'"; }

std::vector<std::string> Lines(const std::string& text, char end = '\n') {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line, end);) lines.push_back(line);
  return lines;
}

// one-program.ts over and over, to at least the size: a stream of many
// reads, and of many findings where one copy follows another.
test::Bytes Repeated(size_t size) {
  const test::Bytes one = test::ReadFileBytes(TestDataPath("one-program.ts"));
  test::Bytes bytes;
  while (bytes.size() < size) bytes.insert(bytes.end(), one.begin(), one.end());
  return bytes;
}

class ValidateCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    TESSARO_REQUIRE_VALIDATOR_MODULE();
    test::IsolateValidatorSettings();
  }
};

TEST_F(ValidateCommand, PrintsEachFindingAndWritesTheReport) {
  const std::string stream = TestDataPath("fault-cc-gap.ts");
  test::TempFile report({}, ".xml");
  std::filesystem::remove(report.Path());
  const auto r = RunCli("validate " + Quote(stream) + " -o " + Quote(report.Path()));
  // An Error finding.
  ASSERT_EQ(r.exitCode, 1) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(
      lines[0],
      "1\tMPEG-2 TS Validator\tError\tContinuity_count_error: PID 0x0101, offset 0x000000000000DFFC, expected 10, "
      "found 11 at 00:00:00.597");
  EXPECT_EQ(lines[1].rfind("2\tMPEG-2 TS Validator\tInfo\tSummary: TS_sync_loss 0, ", 0), 0u);

  // The report of the same findings, for the file by its full name, CR LF after every line.
  std::vector<TCustomReport> reports;
  for (const std::string& line : lines) {
    const std::vector<std::string> fields = Lines(line, '\t');
    ASSERT_EQ(fields.size(), 4u);
    reports.push_back({kMPEG2TSValidatorId, fields[2] == "Error" ? kReportError : kReportInfo, fields[3]});
  }
  const test::Bytes bytes = test::ReadFileBytes(report.Path());
  const std::string text(bytes.begin(), bytes.end());
  std::vector<std::string> written = Lines(text);
  for (std::string& line : written) {
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.back(), '\r');
    line.pop_back();
  }
  EXPECT_EQ(written, ReportXMLLines(std::filesystem::absolute(stream).string(), reports));

  // An existing report stays unless --force.
  const auto refused = RunCli("validate " + Quote(stream) + " -o " + Quote(report.Path()));
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_EQ(refused.err, "The file " + report.Path() + " already exists. Use --force to replace it.\n");
  EXPECT_EQ(refused.out, "");
  // A clean stream: its summary alone, and status 0.
  const auto forced =
      RunCli("validate " + Quote(TestDataPath("one-program.ts")) + " -o " + Quote(report.Path()) + " --force");
  EXPECT_EQ(forced.exitCode, 0) << forced.err;
  EXPECT_EQ(Lines(forced.out).size(), 1u);
  EXPECT_NE(test::ReadFileBytes(report.Path()), bytes);

  // Never over the stream itself (here through a link), nor into a folder.
  test::TempDir folder;
  std::filesystem::create_symlink(stream, folder.Path("same.ts"));
  for (const auto& [target, message] :
       std::vector<std::pair<std::string, std::string>>{{folder.Path("same.ts"), "The output file is the open stream."},
                                                        {folder.Path(""), folder.Path("") + " is a folder"}}) {
    const auto r = RunCli("validate " + Quote(stream) + " -o " + Quote(target) + " --force");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, message + "\n");
  }
  EXPECT_EQ(test::ReadFileBytes(stream).size(), 115244u);
}

// --json: the printed findings, each with the place its message names, and
// the summary's counts (null for a check that is off).
TEST_F(ValidateCommand, JSONHoldsThePrintedFindingsWithTheirPlaces) {
  const std::string stream = TestDataPath("fault-cc-gap.ts");
  const std::vector<std::string> printed = Lines(RunCli("validate " + Quote(stream)).out);
  const auto r = RunCli("validate " + Quote(stream) + " --json");
  EXPECT_EQ(r.exitCode, 1) << r.err;
  const nlohmann::json cc = nlohmann::json::parse(r.out);
  EXPECT_EQ(cc["file"], stream);
  EXPECT_EQ(cc["module"], "MPEG-2 TS Validator");
  ASSERT_EQ(cc["findings"].size(), printed.size());
  for (size_t i = 0; i < printed.size(); ++i) {
    const nlohmann::json& f = cc["findings"][i];
    EXPECT_EQ(std::to_string(f["index"].get<int>()) + "\tMPEG-2 TS Validator\t" + f["type"].get<std::string>() + "\t" +
                  f["message"].get<std::string>(),
              printed[i]);
  }
  EXPECT_EQ(cc["findings"].back()["indicator"], nullptr);  // the summary
  EXPECT_EQ(cc["summary"]["TS_sync_loss"], 0);
  EXPECT_EQ(cc["findings"][0]["indicator"], "Continuity_count_error");
  EXPECT_EQ(cc["findings"][0]["pid"], 0x0101);
  EXPECT_EQ(cc["findings"][0]["offset"], 0xDFFC);
  EXPECT_EQ(cc["findings"][0]["time"], 0.597);
  EXPECT_EQ(cc["summary"]["Continuity_count_error"], 1);
  // A limit that ran out names no PID.
  std::ofstream(test::IsolateValidatorSettings()) << "[Checks]\nSI_repetition_error=false\n";
  const nlohmann::json eit =
      nlohmann::json::parse(RunCli("validate " + Quote(TestDataPath("fault-eit-gap.ts")) + " --json").out);
  EXPECT_EQ(eit["findings"][0]["indicator"], "EIT_actual_error");
  EXPECT_EQ(eit["findings"][0]["pid"], nullptr);
  EXPECT_EQ(eit["findings"][0]["offset"], 116 * 188);
  EXPECT_EQ(eit["findings"][0]["time"], 2.262);
  EXPECT_EQ(eit["summary"]["EIT_actual_error"], 2);
  EXPECT_EQ(eit["summary"]["SI_repetition_error"], nullptr);
}

// A report that cannot be written whole (a full file system, even with the
// old report's space given back) leaves the old one as it was, and no
// temporary file beside it.
TEST_F(ValidateCommand, AFailedReportWriteKeepsTheOldReport) {
  test::TempDir folder;
  if (::mount("tessaro-test", folder.Path("").c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << std::strerror(errno);
  std::shared_ptr<void> unmount(nullptr, [&](void*) { ::umount2(folder.Path("").c_str(), MNT_DETACH); });
  const std::string report = folder.Path("report.xml");
  std::ofstream(report) << "old";
  for (std::ofstream filler(folder.Path("filler")); filler;) filler << std::string(4096, 'f');
  const test::TempFile stream(Repeated(2 * 1024 * 1024));  // a report of some pages
  const auto r = RunCli("validate " + Quote(stream.Path()) + " -o " + Quote(report) + " --force");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "Cannot write " + report + ": No space left on device\n");
  EXPECT_EQ(test::ReadFileBytes(report), (test::Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"filler", "report.xml"}));
}

// The file shrinks to 1 MiB while the module reads or maps it (cut by a
// library preloaded into the program when a read or map first reaches past
// that point).
TEST_F(ValidateCommand, AFileThatShrinksDuringTheRunFailsTheRun) {
  for (const std::string way : {"read", "map"}) {
    const test::TempFile stream(Repeated(2 * 1024 * 1024));
    const std::string size = std::to_string(std::filesystem::file_size(stream.Path()));
    // The sanitizer build's runtime would refuse to come after the preloaded library.
    const auto r = test::RunCommand("env ASAN_OPTIONS=verify_asan_link_order=0 TESSARO_READ_WAY=" + way +
                                    " TESSARO_TEST_SHRINK=1048576:" + Quote(stream.Path()) +
                                    " LD_PRELOAD=" + Quote(TESSARO_SHRINK_PRELOAD) + " " + Quote(TESSARO_CLI_PATH) +
                                    " validate " + Quote(stream.Path()) + " -o " + Quote(stream.Path() + ".xml"));
    ASSERT_EQ(std::filesystem::file_size(stream.Path()), 1048576u) << "the file was not cut: " << way;
    EXPECT_EQ(r.exitCode, 2) << way;
    EXPECT_EQ(r.err, "Cannot read " + stream.Path() + ": only 1048576 of " + size + " bytes could be read\n") << way;
    const std::string finding = "\tError\tValidation ended early: only 1048576 of " + size + " bytes of the file";
    EXPECT_NE(r.out.find(finding), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tInfo\tSummary (stopped before the end): "), std::string::npos) << way;
    EXPECT_FALSE(std::filesystem::exists(stream.Path() + ".xml")) << way;
  }
}

TEST_F(ValidateCommand, AModuleThatCannotBeUsedOrAFileThatIsNotAStreamIsRefused) {
  const std::string stream = Quote(TestDataPath("one-program.ts"));
  auto r = RunCli("validate " + stream + " --module " + Quote("/nonexistent/Pelvanor.pvm"));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("Cannot load the validation module: "), std::string::npos) << r.err;
  test::TempFile notStream(test::Bytes(5000, 0x00));
  EXPECT_EQ(RunCli("validate " + Quote(notStream.Path())).exitCode, 2);

  // A module named without a folder is the file in the working folder.
  const std::filesystem::path module = test::ValidatorModulePath();
  EXPECT_EQ(test::RunCommand("cd " + Quote(module.parent_path()) + " && " + Quote(TESSARO_CLI_PATH) + " validate " +
                             stream + " --module " + Quote(module.filename()))
                .exitCode,
            0);
  // The "zrk: " lines reach standard error only when TESSARO_DEBUG is set and not empty.
  const std::string noExport = " validate " + stream + " --module " + Quote(test::TestModulePath("NoExport"));
  for (const auto& [setting, start] : std::vector<std::pair<std::string, std::string>>{
           {"-u TESSARO_DEBUG", "Cannot load the validation module: "},
           {"TESSARO_DEBUG=", "Cannot load the validation module: "},
           {"TESSARO_DEBUG=1", "zrk: Error in TMediaValidationForm.LoadPlugin - "}}) {
    const auto r = test::RunCommand("env " + setting + " " + Quote(TESSARO_CLI_PATH) + noExport);
    EXPECT_EQ(r.err.rfind(start, 0), 0u) << setting << ": " << r.err;
  }
}

}  // namespace
}  // namespace tessaro
