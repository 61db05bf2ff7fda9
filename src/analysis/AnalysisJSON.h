// The analysis as one JSON object, the form tessaro-cli analyze --json prints
// and the Stream Analysis window saves: the same bytes from either.
#pragma once

#include <string>

#include "analysis/StreamAnalysis.h"

namespace tessaro {

// The object indented by two blanks, with a final newline. file is the path
// as the user gave it; bytes of it that are not UTF-8 become U+FFFD.
std::string AnalysisJSONText(const std::string& file, const TStreamAnalysis& analysis);

}  // namespace tessaro
