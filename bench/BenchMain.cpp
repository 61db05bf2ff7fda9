// tessaro-bench: runs every registered benchmark and prints one PASS, FAIL or
// SKIP line per target with the measured numbers. A FAIL is a result, not an
// error: the exit status is 0 unless the benchmarks themselves broke.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchKit.h"

#ifndef TESSARO_CLI_PATH
#define TESSARO_CLI_PATH ""
#endif
#ifndef TESSARO_TEST_DATA
#define TESSARO_TEST_DATA ""
#endif
#ifndef TESSARO_SHARED_STREAMS
#define TESSARO_SHARED_STREAMS ""
#endif

namespace {

void Usage() {
  std::fputs(
      "usage: tessaro-bench [--cli PATH] [--streams DIR] [--data DIR] [--tmp DIR] [--only NAME]... [--list]\n"
      "  --cli      tessaro-cli to measure (default: the one built beside this program)\n"
      "  --streams  folder of real captures; their benchmarks skip when it is absent\n"
      "  --data     the project's tests/data folder\n"
      "  --tmp      folder for the large stream files made during the run\n"
      "  --only     run only the named benchmark (repeatable)\n"
      "  --list     print the benchmark names and stop\n",
      stderr);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tessaro::bench;
  if (argc >= 2 && std::strcmp(argv[1], kChildProbeFlag) == 0) return ChildProbeMain(argc, argv);

  std::string cli = TESSARO_CLI_PATH;
  std::string streams = TESSARO_SHARED_STREAMS;
  std::string data = TESSARO_TEST_DATA;
  std::string temp;
  std::vector<std::string> only;
  bool listOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    bool ok = true;
    if (arg == "--cli")
      ok = value(cli);
    else if (arg == "--streams")
      ok = value(streams);
    else if (arg == "--data")
      ok = value(data);
    else if (arg == "--tmp")
      ok = value(temp);
    else if (arg == "--only")
      ok = value(only.emplace_back());
    else if (arg == "--list")
      listOnly = true;
    else
      ok = false;
    if (!ok) {
      Usage();
      return 2;
    }
  }

  const std::vector<TBenchmark> benchmarks = RegisteredBenchmarks();
  if (listOnly) {
    for (const TBenchmark& b : benchmarks) std::puts(b.name.c_str());
    return 0;
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(streams, ec)) streams.clear();
  if (temp.empty()) temp = std::filesystem::temp_directory_path(ec).string();

  int broken = 0;
  {
    TBenchContext context(cli, streams, data, temp);
    for (const TBenchmark& b : benchmarks) {
      if (!only.empty() && std::find(only.begin(), only.end(), b.name) == only.end()) continue;
      std::printf("== %s\n", b.name.c_str());
      std::fflush(stdout);
      try {
        b.run(context);
      } catch (const std::exception& e) {
        ++broken;
        std::printf("ERROR %s: %s\n", b.name.c_str(), e.what());
      } catch (...) {
        ++broken;
        std::printf("ERROR %s: unknown exception\n", b.name.c_str());
      }
    }
    context.RemoveStreamFiles();
    std::printf("tessaro-bench: %d PASS, %d FAIL, %d SKIP\n", context.PassCount(), context.FailCount(),
                context.SkipCount());
  }
  return broken == 0 ? 0 : 3;
}
