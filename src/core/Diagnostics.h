// Debug channel for internal diagnostics ("zrk: ..." lines) and the guard that
// turns an unexpected failure inside a routine into one such line.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

namespace tessaro {

// Status codes in the component-object style used throughout.
inline constexpr uint32_t S_OK = 0;
inline constexpr uint32_t E_FAIL = 0x80004005;

using DebugSink = std::function<void(const std::string&)>;

// Writes one diagnostic line to the installed sink. Without one, the line goes
// to standard error only when the environment variable TESSARO_DEBUG is set
// (not empty): the lines are for developers, never for the user.
void DebugOutput(const std::string& text);

// Installs a sink for diagnostic lines, which then receives every line; an
// empty sink restores standard error.
// Returns the previous sink.
DebugSink SetDebugSink(DebugSink sink);

// Writes "zrk: Error in <routine> call..." for a failure caught at a routine boundary.
void ReportRoutineFailure(const char* routine);
// The same line followed by a blank and the failure's message.
void ReportRoutineFailure(const char* routine, const std::string& message);

// Runs body; any exception it throws becomes the diagnostic line for routine and
// the neutral result fallback is returned instead.
template <class R, class Body>
R Guarded(const char* routine, R fallback, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    ReportRoutineFailure(routine);
    return fallback;
  }
}

// Same for the routines whose line names the failure's message.
template <class R, class Body>
R GuardedWithMessage(const char* routine, R fallback, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::exception& e) {
    ReportRoutineFailure(routine, e.what());
  } catch (...) {
    ReportRoutineFailure(routine, "unknown failure");
  }
  return fallback;
}

// Same for routines without a result.
template <class Body>
void GuardedVoid(const char* routine, Body&& body) noexcept {
  try {
    body();
  } catch (...) {
    ReportRoutineFailure(routine);
  }
}

}  // namespace tessaro
