// The progress bar and the signals that cancel a run of tessaro-cli.

#include "cli/CliProgress.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace tessaro {

namespace {
// A signal handler reaches only static storage.
std::atomic<bool>* gCancelFlag = nullptr;
}  // namespace

TCancelOnSignal::TCancelOnSignal(std::atomic<bool>& flag) {
  flag = false;
  gCancelFlag = &flag;
  struct sigaction action {};
  action.sa_handler = [](int) {
    if (gCancelFlag != nullptr) *gCancelFlag = true;
  };
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &action, &previous_[i]);
}

TCancelOnSignal::~TCancelOnSignal() {
  for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &previous_[i], nullptr);
  gCancelFlag = nullptr;
}

TProgressBar::TProgressBar() : terminal_(::isatty(STDERR_FILENO) == 1) {}

TProgressBar::~TProgressBar() {
  if (shown_) std::fprintf(stderr, "\r%*s\r", kWidth + 8, "");
}

std::function<void(int64_t, int64_t)> TProgressBar::Callback() {
  if (!terminal_) return {};
  return [this](int64_t done, int64_t total) { Draw(done, total); };
}

void TProgressBar::Draw(int64_t done, int64_t total) {
  const int percent = total > 0 ? static_cast<int>(100 * done / total) : 100;
  if (percent == percent_) return;
  percent_ = percent;
  shown_ = true;
  const int filled = percent * kWidth / 100;
  std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<size_t>(filled), '#').c_str(),
               std::string(static_cast<size_t>(kWidth - filled), '.').c_str(), percent);
  std::fflush(stderr);
}

}  // namespace tessaro
