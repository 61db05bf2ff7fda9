// The analysis's PID table as CSV (RFC 4180): a header row, then one row
// per PID in PID order, with the numbers in the forms tessaro-cli analyze
// prints them (PID in hex, share in percent, bitrates in whole bit/s). A
// figure the stream gives no ground for is an empty field.
#pragma once

#include <string>

#include "analysis/StreamAnalysis.h"

namespace tessaro {

// A field as it stands, or quoted (with its quotes doubled) when it holds a
// comma, a quote or a line break.
std::string CSVField(const std::string& text);

// Lines end in CR LF.
std::string PIDTableCSV(const TStreamAnalysis& analysis);

}  // namespace tessaro
