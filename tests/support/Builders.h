// Byte builders the tests share: fields packed bit by bit, time stamps, and
// PAT and PMT sections with the packets that carry them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace tessaro::test {

// Packs fields most significant bit first, as the syntax tables list them.
struct Bits {
  Bytes bytes;
  int used = 8;
  Bits& Put(int width, uint64_t value) {
    for (int i = width - 1; i >= 0; --i) {
      if (used == 8) bytes.push_back(0), used = 0;
      bytes.back() |= static_cast<uint8_t>(((value >> i) & 1) << (7 - used++));
    }
    return *this;
  }
  // A 33-bit clock value as 3, 15 and 15 bits, each followed by a marker bit.
  Bits& PutMarked(uint64_t value) {
    return Put(3, value >> 30).Put(1, 1).Put(15, value >> 15).Put(1, 1).Put(15, value).Put(1, 1);
  }
};

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A PTS or DTS after its 4-bit prefix.
inline Bytes TimeStamp(int prefix, uint64_t value) { return Bits{}.Put(4, prefix).PutMarked(value).bytes; }

struct PATEntry {
  uint16_t number;
  uint16_t pid;
};

// program_association_section, current; length and CRC_32 from its bytes.
inline Bytes PATSection(uint16_t tsid, const std::vector<PATEntry>& programs, uint8_t version = 0) {
  Bytes s{0x00,
          0xB0,
          0x00,
          static_cast<uint8_t>(tsid >> 8),
          static_cast<uint8_t>(tsid),
          static_cast<uint8_t>(0xC1 | (version << 1)),
          0x00,
          0x00};
  for (const PATEntry& p : programs)
    s.insert(s.end(), {static_cast<uint8_t>(p.number >> 8), static_cast<uint8_t>(p.number),
                       static_cast<uint8_t>(0xE0 | (p.pid >> 8)), static_cast<uint8_t>(p.pid)});
  return WithSectionLengthAndCrc(s);
}

struct PMTStream {
  uint8_t type;
  uint16_t pid;
  Bytes descriptors;
};

// TS_program_map_section, current; the length fields follow the loops.
inline Bytes PMTSection(uint16_t program, uint16_t pcrPid, const Bytes& programInfo,
                        const std::vector<PMTStream>& streams, uint8_t version = 0) {
  Bytes s{0x02,
          0xB0,
          0x00,
          static_cast<uint8_t>(program >> 8),
          static_cast<uint8_t>(program),
          static_cast<uint8_t>(0xC1 | (version << 1)),
          0x00,
          0x00,
          static_cast<uint8_t>(0xE0 | (pcrPid >> 8)),
          static_cast<uint8_t>(pcrPid),
          static_cast<uint8_t>(0xF0 | (programInfo.size() >> 8)),
          static_cast<uint8_t>(programInfo.size())};
  s.insert(s.end(), programInfo.begin(), programInfo.end());
  for (const PMTStream& e : streams) {
    s.insert(s.end(),
             {e.type, static_cast<uint8_t>(0xE0 | (e.pid >> 8)), static_cast<uint8_t>(e.pid),
              static_cast<uint8_t>(0xF0 | (e.descriptors.size() >> 8)), static_cast<uint8_t>(e.descriptors.size())});
    s.insert(s.end(), e.descriptors.begin(), e.descriptors.end());
  }
  return WithSectionLengthAndCrc(s);
}

// service_descriptor with an empty provider name.
inline Bytes ServiceDescriptor(uint8_t type, const Bytes& name) {
  return Cat({{0x48, static_cast<uint8_t>(3 + name.size()), type, 0x00, static_cast<uint8_t>(name.size())}, name});
}

// service_description_section of transport stream 1 on network 1 with one
// service, running, not scrambled.
inline Bytes SDTSection(uint16_t serviceId, const Bytes& descriptors, uint8_t version = 0) {
  return WithSectionLengthAndCrc(
      Cat({{0x42, 0xF0, 0x00, 0x00, 0x01, static_cast<uint8_t>(0xC1 | (version << 1)), 0x00, 0x00, 0x00, 0x01, 0xFF,
            static_cast<uint8_t>(serviceId >> 8), static_cast<uint8_t>(serviceId), 0xFC,
            static_cast<uint8_t>(0x80 | (descriptors.size() >> 8)), static_cast<uint8_t>(descriptors.size())},
           descriptors}));
}

// A payload-start packet holding pointer_field 0 and the section.
inline Bytes SectionPacket(uint16_t pid, const Bytes& section, uint8_t cc = 0) {
  return MakePacket({.pid = pid, .pusi = true, .cc = cc, .payload = SectionPayload(section)});
}

inline Bytes NullPacket() { return MakePacket({.pid = 0x1FFF}); }

}  // namespace tessaro::test
