// The stream_type table: one row per assigned value.
#include "core/StreamTypes.h"

#include <array>

namespace tessaro {

namespace {

struct TStreamTypeRow {
  const char* name;
  TStreamKind kind;
  const char* codec;
};

using K = TStreamKind;

// clang-format off
constexpr std::array<TStreamTypeRow, 0x36> kRows = {{
    {"(ITU-T | ISO/IEC Reserved)", K::Other, ""},
    {"(ISO/IEC 11172 Video)", K::Video, "MPEG-1"},
    {"(ITU-T Rec. H.262 | ISO/IEC 13818-2 Video or ISO/IEC 11172-2 constrained parameter video stream)", K::Video, "MPEG-2"},
    {"(ISO/IEC 11172 Audio)", K::Audio, "MPEG-1"},
    {"(ISO/IEC 13818-3 Audio)", K::Audio, "MPEG-2"},
    {"(ITU-T Rec. H.222.0 | ISO/IEC 13818-1 private_sections)", K::Data, "private sections"},
    {"(ITU-T Rec. H.222.0 | ISO/IEC 13818-1 PES packets containing private data)", K::Data, "private PES"},
    {"(ISO/IEC 13522 MHEG)", K::Data, "MHEG"},
    {"(ITU-T Rec. H.222.0 | ISO/IEC 13818-1 Annex A DSM CC)", K::Data, "DSM-CC"},
    {"(ITU-T Rec. H.222.1)", K::Data, "H.222.1"},
    {"(ISO/IEC 13818-6 type A)", K::Data, "DSM-CC type A"},
    {"(ISO/IEC 13818-6 type B)", K::Data, "DSM-CC type B"},
    {"(ISO/IEC 13818-6 type C)", K::Data, "DSM-CC type C"},
    {"(ISO/IEC 13818-6 type D)", K::Data, "DSM-CC type D"},
    {"(ISO/IEC 13818-1 auxiliary)", K::Data, "auxiliary"},
    {"(ISO/IEC 13818-7 Audio with ADTS transport syntax)", K::Audio, "AAC"},
    {"(ISO/IEC 14496-2 Visual)", K::Video, "MPEG-4 Visual"},
    {"(ISO/IEC 14496-3 Audio with the LATM transport syntax)", K::Audio, "AAC (LATM)"},
    {"(ISO/IEC 14496-1 SL-packetized stream or FlexMux stream carried in PES packets)", K::Data, "MPEG-4 SL"},
    {"(ISO/IEC 14496-1 SL-packetized stream or FlexMux stream carried in ISO/IEC 14496_sections)", K::Data, "MPEG-4 SL sections"},
    {"(ISO/IEC 13818-6 Synchronized Download Protocol)", K::Data, "DSM-CC download"},
    {"(Metadata carried in PES packets)", K::Data, "metadata"},
    {"(Metadata carried in metadata_sections)", K::Data, "metadata sections"},
    {"(Metadata carried in ISO/IEC 13818-6 Data Carousel)", K::Data, "metadata data carousel"},
    {"(Metadata carried in ISO/IEC 13818-6 Object Carousel)", K::Data, "metadata object carousel"},
    {"(Metadata carried in ISO/IEC 13818-6 Synchronized Download Protocol)", K::Data, "metadata download"},
    {"(ISO/IEC 13818-11 IPMP stream)", K::Data, "IPMP"},
    {"(ITU-T Rec. H.264 | ISO/IEC 14496-10 AVC video)", K::Video, "H.264"},
    {"(ISO/IEC 14496-3 Audio without additional transport syntax)", K::Audio, "MPEG-4 audio"},
    {"(ISO/IEC 14496-17 Text)", K::Data, "MPEG-4 text"},
    {"(ISO/IEC 23002-3 Auxiliary video stream)", K::Video, "auxiliary video"},
    {"(ITU-T Rec. H.264 | ISO/IEC 14496-10 Annex G SVC video sub-bitstream)", K::Video, "H.264 SVC"},
    {"(ITU-T Rec. H.264 | ISO/IEC 14496-10 Annex H MVC video sub-bitstream)", K::Video, "H.264 MVC"},
    {"(ITU-T Rec. T.800 | ISO/IEC 15444-1 JPEG 2000 video)", K::Video, "JPEG 2000"},
    {"(ITU-T Rec. H.262 | ISO/IEC 13818-2 additional view for stereoscopic 3D)", K::Video, "MPEG-2 3D view"},
    {"(ITU-T Rec. H.264 | ISO/IEC 14496-10 additional view for stereoscopic 3D)", K::Video, "H.264 3D view"},
    {"(ITU-T Rec. H.265 | ISO/IEC 23008-2 HEVC video)", K::Video, "HEVC"},
    {"(ITU-T Rec. H.265 | ISO/IEC 23008-2 HEVC temporal video subset)", K::Video, "HEVC temporal subset"},
    {"(ITU-T Rec. H.264 | ISO/IEC 14496-10 Annex I MVCD video sub-bitstream)", K::Video, "H.264 MVCD"},
    {"(ITU-T Rec. H.222.0 | ISO/IEC 13818-1 Timeline and External Media Information)", K::Data, "TEMI"},
    {"(ITU-T Rec. H.265 | ISO/IEC 23008-2 Annex G HEVC enhancement sub-partition with TemporalId 0)", K::Video, "SHVC"},
    {"(ITU-T Rec. H.265 | ISO/IEC 23008-2 Annex G HEVC temporal enhancement sub-partition)", K::Video, "SHVC temporal"},
    {"(ITU-T Rec. H.265 | ISO/IEC 23008-2 Annex H HEVC enhancement sub-partition with TemporalId 0)", K::Video, "MV-HEVC"},
    {"(ITU-T Rec. H.265 | ISO/IEC 23008-2 Annex H HEVC temporal enhancement sub-partition)", K::Video, "MV-HEVC temporal"},
    {"(ISO/IEC 23001-11 Green access units carried in sections)", K::Data, "green metadata"},
    {"(ISO/IEC 23008-3 Audio with MHAS transport syntax, main stream)", K::Audio, "MPEG-H 3D audio"},
    {"(ISO/IEC 23008-3 Audio with MHAS transport syntax, auxiliary stream)", K::Audio, "MPEG-H 3D audio auxiliary"},
    {"(ISO/IEC 23001-10 Quality access units carried in sections)", K::Data, "quality metadata"},
    {"(ISO/IEC 23001-13 Media Orchestration access units carried in sections)", K::Data, "media orchestration"},
    {"(ITU-T Rec. H.265 | ISO/IEC 23008-2 motion-constrained tile set substream)", K::Video, "HEVC tile substream"},
    {"(ISO/IEC 21122-2 JPEG XS video)", K::Video, "JPEG XS"},
    {"(ITU-T Rec. H.266 | ISO/IEC 23090-3 VVC video)", K::Video, "VVC"},
    {"(ITU-T Rec. H.266 | ISO/IEC 23090-3 VVC temporal video subset)", K::Video, "VVC temporal subset"},
    {"(ISO/IEC 23094-1 EVC video)", K::Video, "EVC"},
}};
// clang-format on

}  // namespace

std::string GetStreamTypeName(int32_t streamType) {
  if (streamType >= 0 && streamType < static_cast<int32_t>(kRows.size())) return kRows[streamType].name;
  if (streamType == 0x7F) return "(ISO/IEC 13818-11 IPMP stream)";
  if (streamType > 0 && streamType <= 0x7F) return "(ITU-T Rec. H.222.0 | ISO/IEC 13818-1 Reserved)";
  if (streamType >= 0x80 && streamType <= 0xFF) return "(User Private)";
  return "Unknown";
}

TStreamTypeCodec StreamTypeCodec(int32_t streamType) {
  if (streamType > 0 && streamType < static_cast<int32_t>(kRows.size()))
    return {kRows[streamType].kind, kRows[streamType].codec};
  if (streamType == 0x7F) return {K::Data, "IPMP"};
  return {};
}

std::string_view StreamKindName(TStreamKind kind) {
  switch (kind) {
    case K::Video:
      return "video";
    case K::Audio:
      return "audio";
    case K::Data:
      return "data";
    case K::Other:
      break;
  }
  return "";
}

}  // namespace tessaro
