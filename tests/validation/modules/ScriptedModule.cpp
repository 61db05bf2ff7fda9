// A validation module for the tests: the "media file" is a script of what to
// report. Each line, fields joined by TAB:
//   report  MODULE_ID  TYPE  MESSAGE   one report, in order
//   stress  THREADS  COUNT             COUNT reports from each of THREADS threads at once
//   hold                               the run goes on until Stop
//   read  BYTES  SIZE                  the run tells it read BYTES of a file of SIZE
// A file that cannot be read cannot be validated. The environment variable
// TESSARO_TEST_VALIDATOR_NAME sets the module's name.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "validation/ReportNames.h"
#include "validation/ValidatorControlBase.h"

namespace tessaro {
namespace {

std::wstring NameFromEnvironment() {
  const char* name = std::getenv("TESSARO_TEST_VALIDATOR_NAME");
  return WideFromLatin1(name != nullptr ? name : "Scripted Validator");
}

class TScriptedControl final : public TValidatorControlBase {
 public:
  TScriptedControl() : TValidatorControlBase(99, NameFromEnvironment()) {}

 protected:
  bool OpenMedia(const std::string& fileName) override {
    std::ifstream in(fileName);
    if (!in) return false;
    lines_.clear();
    for (std::string line; std::getline(in, line);) lines_.push_back(line);
    return true;
  }
  void CloseMedia() override { lines_.clear(); }

  void Validate(const std::atomic<bool>& cancel) override {
    for (size_t i = 0; i < lines_.size() && !cancel; ++i) {
      std::istringstream fields(lines_[i]);
      std::string verb;
      std::getline(fields, verb, '\t');
      if (verb == "report") {
        std::string id, type, message;
        std::getline(fields, id, '\t');
        std::getline(fields, type, '\t');
        std::getline(fields, message);
        Report(std::stoi(id), std::stoi(type), message);
      } else if (verb == "stress") {
        int threads = 0;
        int count = 0;
        fields >> threads >> count;
        Stress(threads, count);
      } else if (verb == "read") {
        int64_t bytes = 0;
        int64_t size = 0;
        fields >> bytes >> size;
        SetMediaRead(bytes, size);
      } else if (verb == "hold") {
        while (!cancel) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      SetProgress(100.0 * static_cast<double>(i + 1) / static_cast<double>(lines_.size()));
    }
  }

 private:
  // Every thread waits for the others, so that their reports cross.
  void Stress(int threads, int count) {
    std::atomic<int> ready{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
      workers.emplace_back([&, t] {
        ++ready;
        while (ready < threads) std::this_thread::yield();
        for (int i = 0; i < count; ++i)
          Report(kReportWarning, "thread " + std::to_string(t) + " finding " + std::to_string(i));
      });
    }
    for (std::thread& worker : workers) worker.join();
  }

  std::vector<std::string> lines_;
};

}  // namespace
}  // namespace tessaro

extern "C" __attribute__((visibility("default"))) tessaro::HRESULT GetMediaValidatorControl(
    tessaro::IMediaValidatorControl** control) {
  if (control == nullptr) return tessaro::kHResultPointer;
  *control = new tessaro::TScriptedControl;
  return tessaro::kHResultOk;
}
