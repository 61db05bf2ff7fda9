#include "core/Diagnostics.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace tessaro {
namespace {

DebugSink& Sink() {
  static DebugSink sink;
  return sink;
}

}  // namespace

void DebugOutput(const std::string& text) {
  try {
    if (Sink()) {
      Sink()(text);
      return;
    }
  } catch (...) {
    // A failing sink must not take the caller down; fall back to stderr.
  }
  // Read at each line: the lines are rare, and a test may set it at run time.
  const char* wanted = std::getenv("TESSARO_DEBUG");
  if (wanted != nullptr && *wanted != '\0') std::fprintf(stderr, "%s\n", text.c_str());
}

DebugSink SetDebugSink(DebugSink sink) { return std::exchange(Sink(), std::move(sink)); }

void ReportRoutineFailure(const char* routine) { DebugOutput(std::string("zrk: Error in ") + routine + " call..."); }

void ReportRoutineFailure(const char* routine, const std::string& message) {
  DebugOutput(std::string("zrk: Error in ") + routine + " call... " + message);
}

}  // namespace tessaro
