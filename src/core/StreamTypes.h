// stream_type values of ISO/IEC 13818-1 (Table 2-34 and its amendments):
// the text the PMT tree shows, and the short kind and codec that PID
// descriptions use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaro {

// The PMT tree's stream_type text, in parentheses. Values no edition of the
// table assigns stay "Reserved"; 0x80..0xFF are "User Private".
std::string GetStreamTypeName(int32_t streamType);

enum class TStreamKind { Other, Video, Audio, Data };

struct TStreamTypeCodec {
  TStreamKind kind = TStreamKind::Other;
  std::string_view codec;  // "MPEG-2", "H.264", "AAC", ...; empty when unknown
};

// What an elementary stream of this type carries, from stream_type alone.
TStreamTypeCodec StreamTypeCodec(int32_t streamType);

// "video", "audio", "data" or "" for the kind.
std::string_view StreamKindName(TStreamKind kind);

}  // namespace tessaro
