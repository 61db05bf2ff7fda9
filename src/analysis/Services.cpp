// The services observer: PAT, CAT, PMT and SDT actual read from the
// assembled sections, every field through a bounded view so that a lying
// length never reads past its section.

#include "analysis/Services.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/ByteView.h"
#include "core/Crc32.h"
#include "core/DVBText.h"
#include "core/StreamTypes.h"

namespace tessaro {

namespace {

enum : uint8_t { kRolePAT = 1, kRoleCAT = 2, kRolePMT = 4, kRoleSDT = 8 };

constexpr int32_t kPATPID = 0x0000;
constexpr int32_t kCATPID = 0x0001;
constexpr int32_t kSDTPID = 0x0011;
constexpr int32_t kNullPID = 0x1FFF;

// The PIDs ISO/IEC 13818-1 (Table 2-3) and ETSI EN 300 468 (5.1.3) give a
// fixed use.
const char* FixedPIDName(int32_t pid) {
  switch (pid) {
    case 0x0000:
      return "PAT";
    case 0x0001:
      return "CAT";
    case 0x0002:
      return "TSDT";
    case 0x0010:
      return "NIT";
    case 0x0011:
      return "SDT/BAT";
    case 0x0012:
      return "EIT";
    case 0x0013:
      return "RST";
    case 0x0014:
      return "TDT/TOT";
    case 0x001E:
      return "DIT";
    case 0x001F:
      return "SIT";
    case kNullPID:
      return "null";
    default:
      return nullptr;
  }
}

// Calls onDescriptor(tag, body) for each descriptor of a loop; a length that
// runs past the loop ends it.
template <class OnDescriptor>
void ForEachDescriptor(const TByteView& loop, OnDescriptor&& onDescriptor) {
  for (int64_t pos = 0; loop.Contains(pos, 2);) {
    const int32_t length = static_cast<int32_t>(loop.U8(pos + 1));
    if (!loop.Contains(pos + 2, length)) return;
    onDescriptor(static_cast<int32_t>(loop.U8(pos)), loop.Sub(pos + 2, length));
    pos += 2 + length;
  }
}

std::string Language(const TByteView& code) {
  if (!code.Contains(0, 3)) return {};
  std::string text;
  for (int64_t i = 0; i < 3; ++i) {
    const auto c = static_cast<char>(code.U8(i));
    if (c < 0x20 || c > 0x7E) return {};
    text += c;
  }
  return text;
}

// A DVB text field (EN 300 468 Annex A) as UTF-8, or in hex when its table
// has no converter.
std::string Text(const TByteView& bytes) {
  if (bytes.Size() == 0) return {};
  const TDVBText text = DecodeDVBText(bytes.Data(), static_cast<size_t>(bytes.Size()), TTextMarks::Plain);
  return text.decoded ? text.text : HexText(bytes.Data(), static_cast<size_t>(bytes.Size()));
}

// What an elementary stream carries: its stream_type, and for PES private
// data (and the user-private types) the descriptors of EN 300 468 or a
// registration descriptor that name the codec.
void DescribeStream(TElementaryStream& es, const TByteView& descriptors) {
  std::string codec;        // audio codec named by a descriptor
  std::string dataKind;     // "teletext" or "subtitles"
  std::string dvbLanguage;  // from the teletext or subtitling descriptor
  ForEachDescriptor(descriptors, [&](int32_t tag, const TByteView& body) {
    switch (tag) {
      case 0x05: {  // registration_descriptor: format_identifier
        const uint32_t id = body.Contains(0, 4) ? body.U32(0) : 0;
        if (id == 0x41432D33) codec = "AC-3";                     // "AC-3"
        if (id == 0x45414333) codec = "E-AC-3";                   // "EAC3"
        if (id >= 0x44545331 && id <= 0x44545333) codec = "DTS";  // "DTS1".."DTS3"
        break;
      }
      case 0x0A:  // ISO_639_language_descriptor
        if (es.language.empty()) es.language = Language(body);
        break;
      case 0x56:  // teletext_descriptor
        dataKind = "teletext";
        if (dvbLanguage.empty()) dvbLanguage = Language(body);
        break;
      case 0x59:  // subtitling_descriptor
        dataKind = "subtitles";
        if (dvbLanguage.empty()) dvbLanguage = Language(body);
        break;
      case 0x6A:
        codec = "AC-3";
        break;
      case 0x7A:
        codec = "E-AC-3";
        break;
      case 0x7B:
        codec = "DTS";
        break;
      case 0x7C:
        codec = "AAC";
        break;
      default:
        break;
    }
  });
  if (es.language.empty()) es.language = dvbLanguage;

  const bool privateData = es.streamType == 0x06 || es.streamType >= 0x80;
  if (privateData && !codec.empty()) {
    es.what = "audio " + codec;
  } else if (privateData && !dataKind.empty()) {
    es.what = dataKind;
  } else if (es.streamType == 0x81) {  // ATSC A/52
    es.what = "audio AC-3";
  } else if (es.streamType == 0x87) {
    es.what = "audio E-AC-3";
  } else {
    const TStreamTypeCodec type = StreamTypeCodec(es.streamType);
    char fallback[24];
    std::snprintf(fallback, sizeof fallback, "stream_type 0x%02X", es.streamType & 0xFF);
    es.what = type.kind == TStreamKind::Other || type.codec.empty()
                  ? std::string(fallback)
                  : std::string(StreamKindName(type.kind)) + " " + std::string(type.codec);
  }
}

std::string OfPrograms(const std::string& what, const std::vector<int32_t>& programs) {
  std::string text = what + (programs.size() == 1 ? " of program " : " of programs ");
  for (size_t i = 0; i < programs.size(); ++i) text += (i > 0 ? ", " : "") + std::to_string(programs[i]);
  return text;
}

}  // namespace

struct TServices::TSectionPID {
  TSectionAssembler assembler;
  int32_t lastCC = -1;
  std::vector<uint8_t> lastGood;  // the last section whose CRC_32 held
  // The payload of the last packet fed, when it began a unit and left no
  // section in progress, with at most one section whole in it: the same
  // bytes again change nothing (their section is the last good one, or
  // fails again as it did), so they are passed over.
  std::array<uint8_t, kTSPacketSize> lastPayload{};
  int32_t lastLength = -1;  // -1: none such
};

TServices::TServices() {
  esPCR_.fill(-1);
  Track(kPATPID, kRolePAT);
  Track(kCATPID, kRoleCAT);
  Track(kSDTPID, kRoleSDT);
}

TServices::~TServices() = default;

void TServices::Track(int32_t pid, uint8_t role) { roles_[static_cast<size_t>(pid)] |= role; }

void TServices::Packet(const TPacketHeaderView& header, int64_t offset, double, bool) {
  const int32_t pid = header.PID();
  if (roles_[static_cast<size_t>(pid)] == 0 || !header.HasPayload() || header.ScramblingControl() != 0 ||
      header.TransportError())
    return;
  std::unique_ptr<TSectionPID>& state = sections_[static_cast<size_t>(pid)];
  if (!state) state = std::make_unique<TSectionPID>();
  // A repeated packet carries nothing new; any other counter than the next
  // means bytes of a section were lost.
  const int32_t cc = header.ContinuityCounter();
  if (cc == state->lastCC && !header.Discontinuity()) return;
  const bool broken = state->lastCC >= 0 && cc != ((state->lastCC + 1) & 0x0F) && !header.Discontinuity();
  state->lastCC = cc;
  const TPayload payload = header.Payload();
  if (payload.length <= 0) return;
  const bool unitStart = header.PayloadUnitStart();
  const auto bytes = static_cast<size_t>(payload.length);
  if (unitStart && payload.length == state->lastLength && state->assembler.Idle() &&
      std::memcmp(state->lastPayload.data(), payload.data, bytes) == 0)
    return;
  int32_t sections = 0;
  state->assembler.Feed(payload.data, payload.length, unitStart, broken, offset,
                        [&](const uint8_t* data, int32_t length, int64_t) {
                          ++sections;
                          Section(pid, data, length);
                        });
  state->lastLength = -1;
  if (unitStart && sections <= 1 && state->assembler.Idle()) {
    std::memcpy(state->lastPayload.data(), payload.data, bytes);
    state->lastLength = payload.length;
  }
}

void TServices::Section(int32_t pid, const uint8_t* data, int32_t length) {
  // The long section syntax (ISO/IEC 13818-1, 2.4.4.10): 8 header bytes,
  // the body, CRC_32; only the current version is applied.
  const TByteView s(data, length);
  if (length < 12 || (s.U8(1) & 0x80) == 0 || (s.U8(5) & 0x01) == 0) return;
  const uint32_t crc = s.U32(length - 4);
  // Tables repeat unchanged many times a second: the bytes of the last good
  // section again bring nothing new, and a comparison costs less than the CRC.
  std::vector<uint8_t>& lastGood = sections_[static_cast<size_t>(pid)]->lastGood;
  if (lastGood.size() == static_cast<size_t>(length) && std::memcmp(lastGood.data(), data, lastGood.size()) == 0)
    return;
  if (CalcCRC32(data, length - 4) != crc) return;
  lastGood.assign(data, data + length);
  const uint64_t key =
      (uint64_t{static_cast<uint32_t>(pid)} << 40) | (uint64_t{s.U8(0)} << 32) | (uint64_t{s.U16(3)} << 8) | s.U8(6);
  const auto [it, added] = seen_.emplace(key, crc);
  if (!added && it->second == crc) return;
  it->second = crc;

  const uint8_t roles = roles_[static_cast<size_t>(pid)];
  const uint32_t table = s.U8(0);
  if ((roles & kRolePAT) != 0 && table == 0x00) PAT(data, length);
  if ((roles & kRoleCAT) != 0 && table == 0x01) CAT(data, length);
  if ((roles & kRolePMT) != 0 && table == 0x02) PMT(pid, data, length);
  if ((roles & kRoleSDT) != 0 && table == 0x42) SDT(data, length);
}

TService& TServices::ServiceOf(int32_t programNumber) {
  const auto it = std::lower_bound(services_.begin(), services_.end(), programNumber,
                                   [](const TService& s, int32_t n) { return s.programNumber < n; });
  if (it != services_.end() && it->programNumber == programNumber) return *it;
  TService service;
  service.programNumber = programNumber;
  return *services_.insert(it, service);
}

// program_association_section (ISO/IEC 13818-1, Table 2-30).
void TServices::PAT(const uint8_t* data, int32_t length) {
  const TByteView s(data, length);
  for (int32_t pos = 8; pos + 4 <= length - 4; pos += 4) {
    const auto number = static_cast<int32_t>(s.U16(pos));
    const auto pid = static_cast<int32_t>(s.U16(pos + 2) & 0x1FFF);
    if (number == 0) {
      networkPID_ = pid;
      continue;
    }
    ServiceOf(number).pmtPID = pid;
    Track(pid, kRolePMT);
  }
}

// CA_section (ISO/IEC 13818-1, Table 2-32): the CA_descriptors name the EMM PIDs.
void TServices::CAT(const uint8_t* data, int32_t length) {
  const TByteView s(data, length);
  ForEachDescriptor(s.Sub(8, length - 12), [&](int32_t tag, const TByteView& body) {
    if (tag == 0x09 && body.Contains(0, 4)) emm_[body.U16(2) & 0x1FFF] = true;
  });
}

// TS_program_map_section (ISO/IEC 13818-1, Table 2-33). Streams a later
// version drops stay listed: their packets are in the file all the same.
void TServices::PMT(int32_t pid, const uint8_t* data, int32_t length) {
  const TByteView s(data, length);
  const auto number = static_cast<int32_t>(s.U16(3));
  const auto existing =
      std::find_if(services_.begin(), services_.end(), [&](const TService& x) { return x.programNumber == number; });
  if (existing == services_.end() || existing->pmtPID != pid) return;
  TService& service = *existing;
  service.pcrPID = static_cast<int32_t>(s.U16(8) & 0x1FFF);
  const int32_t end = length - 4;
  const auto infoLength = static_cast<int32_t>(s.U16(10) & 0x0FFF);
  const auto caPIDs = [&](int32_t tag, const TByteView& body) {
    if (tag != 0x09 || !body.Contains(0, 4)) return;
    const auto ca = static_cast<int32_t>(body.U16(2) & 0x1FFF);
    if (std::find(service.ecmPIDs.begin(), service.ecmPIDs.end(), ca) == service.ecmPIDs.end())
      service.ecmPIDs.push_back(ca);
  };
  ForEachDescriptor(s.Sub(12, std::min(infoLength, end - 12)), caPIDs);
  int32_t pos = 12 + infoLength;
  while (pos + 5 <= end) {
    TElementaryStream es;
    es.streamType = static_cast<int32_t>(s.U8(pos));
    es.pid = static_cast<int32_t>(s.U16(pos + 1) & 0x1FFF);
    const auto esInfoLength = static_cast<int32_t>(s.U16(pos + 3) & 0x0FFF);
    const TByteView descriptors = s.Sub(pos + 5, std::min(esInfoLength, end - pos - 5));
    DescribeStream(es, descriptors);
    ForEachDescriptor(descriptors, caPIDs);
    pos += 5 + esInfoLength;
    const auto known = std::find_if(service.streams.begin(), service.streams.end(),
                                    [&](const TElementaryStream& x) { return x.pid == es.pid; });
    if (known != service.streams.end())
      *known = es;
    else
      service.streams.push_back(es);
    int16_t& pcr = esPCR_[static_cast<size_t>(es.pid)];
    if (pcr < 0) pcr = static_cast<int16_t>(service.pcrPID);
  }
}

// service_description_section (ETSI EN 300 468, 5.2.3) with the
// service_descriptor (6.2.33) of each service.
void TServices::SDT(const uint8_t* data, int32_t length) {
  const TByteView s(data, length);
  const int32_t end = length - 4;
  for (int32_t pos = 11; pos + 5 <= end;) {
    const auto number = static_cast<int32_t>(s.U16(pos));
    const auto loopLength = static_cast<int32_t>(s.U16(pos + 3) & 0x0FFF);
    ForEachDescriptor(s.Sub(pos + 5, std::min(loopLength, end - pos - 5)), [&](int32_t tag, const TByteView& body) {
      if (tag != 0x48 || body.Size() < 1) return;
      TService& service = ServiceOf(number);
      service.serviceType = static_cast<int32_t>(body.U8(0));
      const auto providerLength = static_cast<int32_t>(body.U8(1));
      service.provider = Text(body.Sub(2, providerLength));
      service.name = Text(body.Sub(3 + providerLength, body.U8(2 + providerLength)));
    });
    pos += 5 + loopLength;
  }
}

std::string TServices::Description(int32_t pid) const {
  if (const char* fixed = FixedPIDName(pid)) return fixed;
  std::string what;
  std::vector<int32_t> streamOf, pmtOf, pcrOf, ecmOf;
  for (const TService& service : services_) {
    for (const TElementaryStream& es : service.streams)
      if (es.pid == pid) {
        if (what.empty()) what = es.what;
        streamOf.push_back(service.programNumber);
      }
    if (service.pmtPID == pid) pmtOf.push_back(service.programNumber);
    if (service.pcrPID == pid) pcrOf.push_back(service.programNumber);
    if (std::find(service.ecmPIDs.begin(), service.ecmPIDs.end(), pid) != service.ecmPIDs.end())
      ecmOf.push_back(service.programNumber);
  }
  if (!streamOf.empty()) return OfPrograms(what, streamOf);
  if (!pmtOf.empty()) return OfPrograms("PMT", pmtOf);
  if (!ecmOf.empty()) return OfPrograms("ECM", ecmOf);
  if (!pcrOf.empty()) return OfPrograms("PCR", pcrOf);
  if (emm_[static_cast<size_t>(pid & (kPIDCount - 1))]) return "EMM";
  if (pid == networkPID_) return "NIT";
  return "unreferenced";
}

}  // namespace tessaro
