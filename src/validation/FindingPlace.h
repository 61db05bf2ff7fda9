// Where a finding of the stream checker is, read back from its message: the
// module contract carries only text, so the command line's JSON and the
// validation window's jump to a packet read the message's own parts: the
// indicator's name it starts with, "PID 0xXXXX" after the name, the first
// "offset 0x" + 16 hex digits, and the closing " at HH:MM:SS.mmm".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "validation/Indicators.h"

namespace tessaro {

struct TFindingPlace {
  std::optional<TIndicator> indicator;
  std::optional<int32_t> pid;
  std::optional<int64_t> offset;
  std::optional<int64_t> milliseconds;  // stream time
};

TFindingPlace ReadFindingPlace(const std::string& message);

}  // namespace tessaro
