// The module contract as the window and the command line use it: modules that
// cannot be used load nothing and say why, where the module is looked for,
// interface ids, and every report of many threads arriving in the report list.
// (A run to 100 %, a prompt Stop and a new start are MediaValidationFormTest's.)
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "support/TestSupport.h"
#include "validation/MediaValidation.h"
#include "validation/ReportNames.h"
#include "validation/ValidatorModule.h"

namespace tessaro {
namespace {

using test::TestModulePath;

// A script for the scripted test module.
class TScript {
 public:
  explicit TScript(const std::string& text) : file_(test::Bytes(text.begin(), text.end()), ".txt") {}
  const std::string& Path() const { return file_.Path(); }

 private:
  test::TempFile file_;
};

// Polls as the window's timer does until the run ends; false on a time-out.
bool RunToTheEnd(TMediaValidation& validation, std::chrono::seconds limit = std::chrono::seconds(60)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    const std::optional<double> progress = validation.Progress();
    if (progress && TMediaValidation::IsFinished(*progress)) return validation.StopValidation();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

TEST(ValidatorContract, AModuleThatCannotBeUsedLoadsNothingAndSaysWhy) {
  const std::string notALibrary = test::TestDataPath("one-program.ts");
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {"", "no validation module (Pelvanor.pvm was not found)"},
      {"/nonexistent/Pelvanor.pvm", "module file not found: /nonexistent/Pelvanor.pvm"},
      {TestModulePath("NoExport"), TestModulePath("NoExport") + " does not export GetMediaValidatorControl"},
      {TestModulePath("Failing"),
       "GetMediaValidatorControl of " + TestModulePath("Failing") + " failed (status 0x80004005, no interface)"},
      {notALibrary, "cannot load " + notALibrary + ": "},
  };
  for (const auto& c : cases) {
    test::DebugCapture capture;
    TMediaValidation validation;
    EXPECT_FALSE(validation.LoadPlugin(c.path)) << c.path;
    EXPECT_FALSE(validation.IsLoaded());
    EXPECT_EQ(validation.LoadError().rfind(c.reason, 0), 0u) << validation.LoadError();
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0], "zrk: Error in TMediaValidationForm.LoadPlugin - " + validation.LoadError());
    // Nothing to start: the failure is the window's "cannot validate file".
    EXPECT_FALSE(validation.StartValidation(notALibrary));
    EXPECT_TRUE(capture.Contains("zrk: Error in TMediaValidationForm.StartValidation - cannot validate file."));
  }
}

TEST(ValidatorContract, TheModuleIsFoundBesideTheProgramThenInTheInstalledFolder) {
  const std::filesystem::path root = std::filesystem::temp_directory_path() / "tessaro-find-module";
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root / "bin");
  std::filesystem::create_directories(root / "lib" / "tessaro");
  EXPECT_EQ(FindValidatorModule((root / "bin").string()), "");
  std::ofstream(root / "lib" / "tessaro" / "Pelvanor.pvm") << "x";
  EXPECT_EQ(FindValidatorModule((root / "bin").string()), (root / "lib" / "tessaro" / "Pelvanor.pvm").string());
  std::ofstream(root / "bin" / "Pelvanor.pvm") << "x";
  EXPECT_EQ(FindValidatorModule((root / "bin").string()), (root / "bin" / "Pelvanor.pvm").string());
  std::filesystem::remove_all(root);
}

TEST(ValidatorContract, InterfacesAnswerTheirIds) {
  ::setenv("TESSARO_TEST_VALIDATOR_NAME", "QuickTime Validator", 1);
  TMediaValidation validation;
  ASSERT_TRUE(validation.LoadPlugin(TestModulePath("Scripted")));
  ::unsetenv("TESSARO_TEST_VALIDATOR_NAME");
  EXPECT_EQ(validation.ModuleName(), "QuickTime/MP4 Validator");

  TValidatorModule module;
  std::string reason;
  ASSERT_TRUE(module.Load(TestModulePath("Scripted"), &validation, reason)) << reason;
  IMediaValidatorControl* control = module.Control();
  void* object = nullptr;
  for (const TGUID& iid : {IID_IUnknown, IID_IMediaValidatorControl, IID_IMediaValidatorReportSource,
                           IID_IMediaValidatorExtra, IID_IMediaValidatorRunState}) {
    ASSERT_EQ(control->QueryInterface(iid, &object), kHResultOk);
    ASSERT_NE(object, nullptr);
    static_cast<IUnknown*>(object)->Release();
  }
  EXPECT_EQ(control->QueryInterface(IID_IMediaValidatorReportSink, &object), kHResultNoInterface);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(validation.QueryInterface(IID_IMediaValidatorReportSink, &object), kHResultOk);
  EXPECT_EQ(object, static_cast<IMediaValidatorReportSink*>(&validation));
  validation.Release();
  // Start needs a file (one the module cannot read: MediaValidationFormTest).
  EXPECT_LT(control->Start(), 0);
  module.Unload();
}

TEST(ValidatorContract, EveryReportOfEightThreadsArrives) {
  constexpr int kThreads = 8;
  constexpr int kEach = 12500;
  TMediaValidation validation;
  ASSERT_TRUE(validation.LoadPlugin(TestModulePath("Scripted")));
  const TScript script("stress\t" + std::to_string(kThreads) + "\t" + std::to_string(kEach) + "\n");
  ASSERT_TRUE(validation.StartValidation(script.Path()));
  // Polled while the threads report, as the window does.
  ASSERT_TRUE(RunToTheEnd(validation));
  const std::vector<TCustomReport> reports = validation.Reports().Items();
  ASSERT_EQ(reports.size(), static_cast<size_t>(kThreads * kEach));
  std::set<std::string> messages;
  std::vector<int> next(kThreads, 0);
  for (const TCustomReport& report : reports) {
    messages.insert(report.Message);
    // Each thread's reports stay in its own order.
    const int thread = std::stoi(report.Message.substr(7));
    EXPECT_EQ(report.Message, "thread " + std::to_string(thread) + " finding " + std::to_string(next[thread]++));
  }
  EXPECT_EQ(messages.size(), reports.size());
}

// A report's wide text becomes Latin-1; what Latin-1 cannot hold becomes '?'.
TEST(ValidatorContract, WideReportTextsBecomeLatin1) {
  const wchar_t wide[] = {L'a', 0xE9, 0x20AC, 0};
  EXPECT_EQ(Latin1FromWide(wide), "a\xE9?");
  EXPECT_EQ(Latin1FromWide(nullptr), "");
}

}  // namespace
}  // namespace tessaro
