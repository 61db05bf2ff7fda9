// The published version list and the comparison with the program's own
// version. The list is text of lines separated by CR LF, each
// name;major.minor.release.build[;anything]; the line of a program is the first
// one that contains its file name. Fetching the list is the network layer's job
// (update/PublishedVersionFetch.h); everything here works on the bytes read.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "version/VersionBlock.h"

namespace tessaro {

// At most this many bytes of the list are read.
inline constexpr size_t kPublishedListLimit = 10240;

// Each takes text up to its separator (CR LF, ";" or ".") into the out
// parameter and removes it and the separator from text; without a separator,
// all of text.
void CutLine(std::string& text, std::string& line);
void CutField(std::string& text, std::string& field);
void CutDot(std::string& text, std::string& part);

// The version on the first line of received that contains key; nothing when an
// empty line or the end of the text comes first, or the version text is not
// four decimal numbers of 0 to 65535. The text ends at a zero byte. cut: the
// bytes stop at the read limit, so their last line may be incomplete and is
// not used.
std::optional<TVersionNumber> FindPublishedVersion(std::string_view received, const std::string& key, bool cut);

// The same search, telling a list without a line for key (no version, no
// fault: nothing is published for the program) from one whose line for key
// holds no well-formed version (the fault names the line).
struct TPublishedLookup {
  std::optional<TVersionNumber> version;
  std::string fault;
};
TPublishedLookup LookUpPublishedVersion(std::string_view received, const std::string& key, bool cut);

// A newer version is offered only when published is greater as one ordered number.
bool IsNewerVersion(const TVersionNumber& own, const TVersionNumber& published);

}  // namespace tessaro
