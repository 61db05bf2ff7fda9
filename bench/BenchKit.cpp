#include "BenchKit.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace tessaro::bench {

namespace {

std::vector<TBenchmark>& Registry() {
  static std::vector<TBenchmark> benchmarks;
  return benchmarks;
}

// The large files together need about 3 GiB; asking for more leaves the
// machine some room while they exist.
constexpr int64_t kRequiredFreeBytes = 5 * kGiB;
constexpr int kPacket = 188;

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

bool WriteAll(int fd, const uint8_t* data, size_t count) {
  while (count > 0) {
    const ssize_t n = ::write(fd, data, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool RegisterBenchmark(const std::string& name, TBenchFunction run) {
  Registry().push_back({name, std::move(run)});
  return true;
}

std::vector<TBenchmark> RegisteredBenchmarks() {
  std::vector<TBenchmark> benchmarks = Registry();
  std::sort(benchmarks.begin(), benchmarks.end(),
            [](const TBenchmark& a, const TBenchmark& b) { return a.name < b.name; });
  return benchmarks;
}

std::string TProcessResult::Describe() const {
  if (!started) return "could not be run";
  if (signal != 0) return "ended by signal " + std::to_string(signal);
  return "exit status " + std::to_string(exitCode);
}

// ---- Context ---------------------------------------------------------------------

TBenchContext::TBenchContext(std::string cliPath, std::string streamsDir, std::string dataDir, std::string tempDir)
    : cliPath_(std::move(cliPath)),
      streamsDir_(std::move(streamsDir)),
      dataDir_(std::move(dataDir)),
      tempDir_(std::move(tempDir)) {}

TBenchContext::~TBenchContext() { RemoveStreamFiles(); }

void TBenchContext::RemoveStreamFiles() {
  for (const auto& [bytes, path] : streamFiles_) ::unlink(path.c_str());
  streamFiles_.clear();
}

bool TBenchContext::EnoughDiskSpace(std::string& whyNot) {
  // Asked once, before the first file is written: the files we make ourselves
  // must not count against us later in the run.
  if (!spaceProblem_) {
    struct statvfs info {};
    if (::statvfs(tempDir_.c_str(), &info) != 0) {
      spaceProblem_ = "cannot query free space in " + tempDir_ + ": " + std::strerror(errno);
    } else {
      const int64_t freeBytes = static_cast<int64_t>(info.f_bavail) * static_cast<int64_t>(info.f_frsize);
      spaceProblem_ = freeBytes < kRequiredFreeBytes
                          ? "only " + Bytes(freeBytes) + " free in " + tempDir_ + ", need " + Bytes(kRequiredFreeBytes)
                          : "";
    }
  }
  whyNot = *spaceProblem_;
  return spaceProblem_->empty();
}

std::string TBenchContext::StreamFile(int64_t bytes, std::string& whyNot) {
  if (auto it = streamFiles_.find(bytes); it != streamFiles_.end()) return it->second;
  if (tempDir_.empty()) {
    whyNot = "no temporary folder given (--tmp)";
    return {};
  }
  if (!EnoughDiskSpace(whyNot)) return {};

  const std::string fixture = dataDir_ + "/one-program.ts";
  std::ifstream in(fixture, std::ios::binary);
  const std::vector<uint8_t> pattern((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (pattern.empty() || pattern.size() % kPacket != 0 || pattern[0] != 0x47) {
    whyNot = "fixture " + fixture + " missing or not whole 188-byte packets";
    return {};
  }
  // About 4 MiB of whole copies per write; every write and the total are
  // whole packets, so the file is one unbroken run of packets.
  std::vector<uint8_t> block;
  while (block.size() < static_cast<size_t>(4 * kMiB)) block.insert(block.end(), pattern.begin(), pattern.end());
  const int64_t total = bytes / kPacket * kPacket;

  const std::string path = tempDir_ + "/stream-" + std::to_string(bytes) + ".ts";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    whyNot = "cannot create " + path + ": " + std::strerror(errno);
    return {};
  }
  streamFiles_[bytes] = path;  // removed at the end even if writing fails
  bool ok = true;
  const double seconds = TimeSeconds([&] {
    for (int64_t done = 0; ok && done < total;) {
      const int64_t n = std::min<int64_t>(static_cast<int64_t>(block.size()), total - done);
      ok = WriteAll(fd, block.data(), static_cast<size_t>(n));
      done += n;
    }
    // On disk before any timing starts, so write-back does not run beside it.
    ok = ok && ::fdatasync(fd) == 0;
  });
  ok = (::close(fd) == 0) && ok;
  if (!ok) {
    whyNot = "writing " + path + " failed: " + std::strerror(errno);
    ::unlink(path.c_str());
    streamFiles_.erase(bytes);
    return {};
  }
  Note("made " + BaseName(path) + " (" + Bytes(total) + ", " + std::to_string(total / kPacket) + " packets) in " +
       Secs(seconds));
  return path;
}

void TBenchContext::Pass(const std::string& target, const std::string& numbers) {
  ++passes_;
  std::printf("PASS  %s: %s\n", target.c_str(), numbers.c_str());
  std::fflush(stdout);
}

void TBenchContext::Fail(const std::string& target, const std::string& numbers) {
  ++fails_;
  std::printf("FAIL  %s: %s\n", target.c_str(), numbers.c_str());
  std::fflush(stdout);
}

void TBenchContext::Skip(const std::string& target, const std::string& reason) {
  ++skips_;
  std::printf("SKIP  %s: %s\n", target.c_str(), reason.c_str());
  std::fflush(stdout);
}

void TBenchContext::Note(const std::string& text) {
  std::printf("      %s\n", text.c_str());
  std::fflush(stdout);
}

// ---- Child processes ---------------------------------------------------------
//
// The peak RSS the kernel reports for a child includes the memory of the
// process it was forked or vfork-spawned from. So the command is not started
// from this (large) process: a fresh copy of this program is spawned in probe
// mode, forks the command from there (a few hundred KiB), waits for it with
// wait4 and writes one line with what it measured.

TProcessResult RunMeasured(const std::vector<std::string>& argv, bool keepStderr) {
  TProcessResult result;
  std::error_code ec;
  const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  if (ec || argv.empty()) return result;

  std::vector<std::string> args{self, kChildProbeFlag, keepStderr ? "keep" : "null"};
  args.insert(args.end(), argv.begin(), argv.end());
  std::vector<char*> cargs;
  for (std::string& a : args) cargs.push_back(a.data());
  cargs.push_back(nullptr);

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, self.c_str(), &actions, nullptr, cargs.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  std::string report;
  if (spawned == 0) {
    char buffer[256];
    for (;;) {
      const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      report.append(buffer, static_cast<size_t>(n));
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  ::close(fds[0]);

  std::istringstream fields(report);
  int started = 0;
  long long maxRss = 0;
  if (fields >> started >> result.exitCode >> result.signal >> result.seconds >> maxRss) {
    result.started = started == 1;
    result.maxRssKiB = maxRss;
    fields >> result.cpuSeconds;
  }
  return result;
}

int ChildProbeMain(int argc, char** argv) {
  if (argc < 4) return 2;
  const bool keepStderr = std::strcmp(argv[2], "keep") == 0;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) return 2;
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      ::dup2(null, STDOUT_FILENO);
      if (!keepStderr) ::dup2(null, STDERR_FILENO);
    }
    ::execvp(argv[3], argv + 3);
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  while (::wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) return 2;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const int signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  const bool started = !(exitCode == 127 && signal == 0);
  const auto timeOf = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  std::printf("%d %d %d %.9f %ld %.6f\n", started ? 1 : 0, exitCode, signal, seconds, usage.ru_maxrss,
              timeOf(usage.ru_utime) + timeOf(usage.ru_stime));
  return 0;
}

// ---- Statistics and formatting ---------------------------------------------------

double ProcessorSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double Best(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

double Worst(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

std::string Millis(double seconds) { return Format("%.3f ms", seconds * 1e3); }

std::string Secs(double seconds) { return Format("%.3f s", seconds); }

std::string Bytes(int64_t bytes) {
  const double b = static_cast<double>(bytes);
  if (bytes >= kGiB) return Format("%.2f GiB", b / kGiB);
  if (bytes >= kMiB) return Format("%.2f MiB", b / kMiB);
  if (bytes >= 1024) return Format("%.1f KiB", b / 1024);
  return std::to_string(bytes) + " B";
}

std::string Fixed(double value, int decimals) {
  char format[16];
  std::snprintf(format, sizeof format, "%%.%df", decimals);
  return Format(format, value);
}

std::string BaseName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

int64_t FolderBytes(const std::filesystem::path& folder) {
  int64_t bytes = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    if (entry.is_regular_file(ec)) bytes += static_cast<int64_t>(entry.file_size(ec));
  return bytes;
}

void EmptyFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  std::filesystem::create_directories(folder, ec);
}

}  // namespace tessaro::bench
