#include "core/PacketParser.h"

#include <algorithm>
#include <cstring>

#include "core/BitStream.h"
#include "core/Diagnostics.h"
#include "core/PacketHeaderView.h"

namespace tessaro {
namespace {

// DTS_next_AU after splice_type: bits 32..30, a marker, 29..15, a marker,
// 14..0, a marker; read only when all five bytes are in the packet.
bool ReadDTSNextAU(TBitStream4& bits, TTSHeader& h) {
  if (TFieldPositions* positions = ActivePositions()) {
    // Forget the parts recorded for an earlier packet, so that this
    // packet's parts are not added to them.
    positions->Assign(&h.DTS_next_AU, {});
    positions->Assign(&h.DTS_next_AU_marker_bits, {});
  }
  if (bits.BytesRemaining() < 4 || bits.BitOffset() % 8 != 4) {
    h.DTS_next_AU = h.DTS_next_AU_marker_bits = 0;
    return false;
  }
  int64_t dts = bits.ReadPart(h.DTS_next_AU, 3);
  int32_t markers = static_cast<int32_t>(bits.ReadPart(h.DTS_next_AU_marker_bits, 1));
  dts = (dts << 15) | bits.ReadPart(h.DTS_next_AU, 15);
  markers = (markers << 1) | static_cast<int32_t>(bits.ReadPart(h.DTS_next_AU_marker_bits, 1));
  dts = (dts << 15) | bits.ReadPart(h.DTS_next_AU, 15);
  markers = (markers << 1) | static_cast<int32_t>(bits.ReadPart(h.DTS_next_AU_marker_bits, 1));
  h.DTS_next_AU = dts;
  h.DTS_next_AU_marker_bits = markers;
  return true;
}

// Reads the parts of the adaptation field that its flags announce, whatever
// its length says, up to the end of the packet. A field the packet does not
// hold whole reads as 0; the first such field is noted as the cut.
void ReadAdaptationField(TBitStream4& bits, TTSHeader& h) {
  h.cut_part = -1;
  h.cut_fields = 0;
  ForEachAdaptationPart(h, [&](TAdaptationPart part, std::span<const TRecordField<TTSHeader>> list) {
    if (part == TAdaptationPart::Flags && h.adaptation_field_length == 0) {
      for (const auto& field : list) field.slot(h, 0).Store(0);
      return true;
    }
    const TFieldExtent extent = ReadRecordFields(bits, list, h);
    int32_t held = std::min(extent.inData, static_cast<int32_t>(list.size()));
    if (part == TAdaptationPart::PrivateDataLength && held == 1) {
      const int stored =
          std::min({h.transport_private_data_length, static_cast<int>(h.private_data.size()), bits.BytesRemaining()});
      if (stored > 0) std::memcpy(h.private_data.data(), bits.GetCurrentPointer(), static_cast<size_t>(stored));
      bits.SkipBytes(std::min(h.transport_private_data_length, bits.BytesRemaining()));
    }
    bool whole = held == static_cast<int32_t>(list.size());
    if (part == TAdaptationPart::SeamlessSplice && whole) whole = ReadDTSNextAU(bits, h);
    if (!whole && h.cut_part < 0) {
      h.cut_part = static_cast<int32_t>(part);
      h.cut_fields = held;
    }
    return true;
  });
}

// The four bytes of transport_packet() before the adaptation field: the
// values kHeader's walk reads (a test holds the two to the same values).
void ReadHeaderBytes(const TPacketHeaderView& view, TTSHeader& h) {
  h.sync_byte = TPacketHeaderView::kSyncByte;
  h.transport_error_indicator = view.TransportError() ? 1 : 0;
  h.payload_unit_start_indicator = view.PayloadUnitStart() ? 1 : 0;
  h.transport_priority = view.TransportPriority() ? 1 : 0;
  h.PID = view.PID();
  h.transport_scrambling_control = view.ScramblingControl();
  h.adaptation_field_control = view.AdaptationFieldControl();
  h.continuity_counter = view.ContinuityCounter();
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
    TBitStream4 bits;
    bits.SetData(packet, kTSPacketSize);
    // A packet without an adaptation field keeps none of an earlier one's values.
    h = TTSHeader{};
    if (ActivePositions() == nullptr) {
      // Nothing records where the fields lie (a page of the list, a search):
      // the header view's reads, without the walk's call per field.
      ReadHeaderBytes(TPacketHeaderView(packet), h);
      bits.SkipBytes(4);
    } else {
      ReadRecordFields(bits, packet_fields::kHeader, h);
    }
    int pos = 4;
    if (h.HasAdaptationField()) {
      ReadAdaptationField(bits, h);
      pos = 5 + h.adaptation_field_length;
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
