#include "core/PacketParser.h"

#include <algorithm>
#include <cstring>

#include "core/Diagnostics.h"

namespace tessaro {
namespace {

// Reads a 33-bit clock reference (base) and its 9-bit extension from six bytes.
void ReadClockReference(const uint8_t* b, int64_t& base, int32_t& extension) {
  base = (int64_t{b[0]} << 25) | (int64_t{b[1]} << 17) | (int64_t{b[2]} << 9) | (int64_t{b[3]} << 1) |
         (b[4] >> 7);
  extension = ((b[4] & 1) << 8) | b[5];
}

}  // namespace

uint32_t TMPEGTSBasePacketParser::ParseData(const uint8_t* packet, int32_t /*length*/) {
  return Guarded("TMPEGTSBasePacketParser.ParseData", E_FAIL, [&]() -> uint32_t {
    Packet = packet;
    if (packet == nullptr || packet[0] != 0x47) {
      DebugOutput("zrk: Invalid TS packed.");
      return E_FAIL;
    }
    TTSHeader& h = Header;
    h.sync_byte = packet[0];
    h.transport_error_indicator = (packet[1] >> 7) & 1;
    h.payload_unit_start_indicator = (packet[1] >> 6) & 1;
    h.transport_priority = (packet[1] >> 5) & 1;
    h.PID = ((packet[1] & 0x1F) << 8) | packet[2];
    h.transport_scrambling_control = (packet[3] >> 6) & 3;
    h.adaptation_field_control = (packet[3] >> 4) & 3;
    h.continuity_counter = packet[3] & 0x0F;

    h.discontinuity_indicator = h.random_access_indicator = h.elementary_stream_priority_indicator = 0;
    h.PCR_flag = h.OPCR_flag = h.splicing_point_flag = 0;
    h.transport_private_data_flag = h.adaptation_field_extension_flag = 0;

    int pos = 4;
    // An optional field is read only when all of its bytes lie inside the packet;
    // otherwise it keeps its previous value.
    auto fits = [](int at, int count) { return at >= 0 && at + count <= kTSPacketSize; };
    if (h.HasAdaptationField()) {
      h.adaptation_field_length = packet[4];
      const int afterField = 5 + h.adaptation_field_length;
      if (h.adaptation_field_length > 0) {
        const uint8_t flags = packet[5];
        h.discontinuity_indicator = (flags >> 7) & 1;
        h.random_access_indicator = (flags >> 6) & 1;
        h.elementary_stream_priority_indicator = (flags >> 5) & 1;
        h.PCR_flag = (flags >> 4) & 1;
        h.OPCR_flag = (flags >> 3) & 1;
        h.splicing_point_flag = (flags >> 2) & 1;
        h.transport_private_data_flag = (flags >> 1) & 1;
        h.adaptation_field_extension_flag = flags & 1;
        int p = 6;
        if (h.PCR_flag) {
          if (fits(p, 6)) ReadClockReference(packet + p, h.program_clock_reference_base, h.program_clock_reference_extension);
          p += 6;
        }
        if (h.OPCR_flag) {
          if (fits(p, 6))
            ReadClockReference(packet + p, h.original_program_clock_reference_base,
                               h.original_program_clock_reference_extension);
          p += 6;
        }
        if (h.splicing_point_flag) {
          if (fits(p, 1)) h.splice_countdown = packet[p];
          p += 1;
        }
        if (h.transport_private_data_flag) {
          if (fits(p, 1)) {
            h.transport_private_data_length = packet[p];
            const int stored = std::min({h.transport_private_data_length, 180, kTSPacketSize - (p + 1)});
            if (stored > 0) std::memcpy(h.private_data.data(), packet + p + 1, static_cast<size_t>(stored));
            p += 1 + h.transport_private_data_length;
          } else {
            p += 1;
          }
        }
        if (h.adaptation_field_extension_flag && fits(p, 2)) {
          h.adaptation_field_extension_length = packet[p];
          const uint8_t ext = packet[p + 1];
          h.ltw_flag = (ext >> 7) & 1;
          h.piecewise_rate_flag = (ext >> 6) & 1;
          h.seamless_splice_flag = (ext >> 5) & 1;
          int q = p + 2;
          if (h.ltw_flag) {
            if (fits(q, 2)) {
              h.ltw_valid_flag = (packet[q] >> 7) & 1;
              h.ltw_offset = ((packet[q] & 0x7F) << 8) | packet[q + 1];
            }
            q += 2;
          }
          if (h.piecewise_rate_flag) {
            if (fits(q, 3)) h.piecewise_rate = ((packet[q] & 0x3F) << 16) | (packet[q + 1] << 8) | packet[q + 2];
            q += 3;
          }
          if (h.seamless_splice_flag && fits(q, 5)) {
            const uint8_t* b = packet + q;
            h.splice_type = b[0] >> 4;
            h.DTS_next_AU = (int64_t{(b[0] >> 1) & 7} << 30) | (int64_t{b[1]} << 22) | (int64_t{b[2] >> 1} << 15) |
                            (int64_t{b[3]} << 7) | (b[4] >> 1);
          }
        }
      }
      pos = afterField;
    }
    if (h.HasPayloadFlag()) {
      PayloadLength = kTSPacketSize - pos;
      Payload = PayloadLength > 0 ? packet + pos : nullptr;
    } else {
      Payload = nullptr;
      PayloadLength = 0;
    }
    return S_OK;
  });
}

}  // namespace tessaro
