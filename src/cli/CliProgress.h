// What the long commands of tessaro-cli share while they run: the one-line
// progress bar on a terminal, and the signals that end a run from outside
// turned into a cancel request.
#pragma once

#include <array>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <functional>

namespace tessaro {

// Every way a run is ended from outside (Ctrl+C, a termination request, a
// closed terminal, the quit key) sets the flag while the object lives; later
// signals only set it again.
class TCancelOnSignal {
 public:
  static constexpr std::array<int, 4> kSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

  explicit TCancelOnSignal(std::atomic<bool>& flag);
  ~TCancelOnSignal();
  TCancelOnSignal(const TCancelOnSignal&) = delete;
  TCancelOnSignal& operator=(const TCancelOnSignal&) = delete;

 private:
  std::array<struct sigaction, kSignals.size()> previous_{};
};

// "[#########...........]  45%" on standard error, redrawn when the percentage
// changes and cleared when the object dies; nothing when standard error is
// not a terminal.
class TProgressBar {
 public:
  TProgressBar();
  ~TProgressBar();
  TProgressBar(const TProgressBar&) = delete;
  TProgressBar& operator=(const TProgressBar&) = delete;

  // A progress callback that draws the bar (empty when there is no terminal);
  // it must not outlive the object.
  std::function<void(int64_t done, int64_t total)> Callback();

 private:
  static constexpr int kWidth = 40;
  void Draw(int64_t done, int64_t total);
  bool terminal_ = false;
  int percent_ = -1;
  bool shown_ = false;
};

}  // namespace tessaro
