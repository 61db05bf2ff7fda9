// The packet decoder: header, adaptation field, then the section or PES tree.
#include "decode/PacketDecoder.h"

#include "decode/PacketTree.h"

namespace tessaro {

TPacketDecode TPacketDecoder::Decode(const TFileStream& stream, int32_t packetSize, int64_t offset, TTreeNode& tree) {
  if (packetSize < kTSPacketSize || packetSize > kMaxSlot ||
      stream.ReadAt(offset, packet_.data(), packetSize) < packetSize)
    return TPacketDecode::Unread;
  tree.Clear();
  positions_.Clear();
  TPositionScope scope(&positions_);
  TDecodedValuesScope values(decodedValues_);
  positions_.MapBytes(packet_.data(), kTSPacketSize, offset);

  if (parser_.ParseData(packet_.data(), kTSPacketSize) != S_OK) return TPacketDecode::NoPacket;
  const TTSHeader& header = parser_.Header;
  TMPEGTSPATPacketParserEx& currentPAT = decoders_.PAT;
  if (header.PID == 0x0000) currentPAT.ParseData(packet_.data(), packetSize, offset, &stream);

  TTreeNode& root = tree.Add("Packet");
  AddTransportHeaderNodes(root, header);
  if (header.HasAdaptationField()) AddAdaptationFieldNodes(root, header);

  const int32_t kind = PSIKindOf(header.PID, offset, &stream, packetSize, currentPAT, bigPSI_);
  if (header.payload_unit_start_indicator == 1) {
    if (const TTableEntry* table = ChooseDecoderTable(header.PID, kind, currentPAT)) {
      if (TSectionDecoder* decoder = decoders_.For(*table)) {
        // The PAT of a PID 0x0000 packet was decoded above.
        if (decoder != &currentPAT) decoder->ParseData(packet_.data(), packetSize, offset, &stream);
        decoder->UpdateTreeViewNode(root);
      }
    }
  }
  // A fresh record that holds nothing until ParsePES reads from the payload:
  // a packet without payload shows neither an older header nor one of zeros.
  FSelectedPES = TPESPacketHeader{};
  FSelectedPES.truncated_at = TPESField::packet_start_code_prefix;
  if (kind < 0 && header.payload_unit_start_indicator == 1) {
    ParsePES(parser_.Payload, parser_.PayloadLength, FSelectedPES);
    UpdatePESTreeView(root.Add("Payload").Add("PES"), FSelectedPES);
  }
  CoverGroups(root);
  return TPacketDecode::Decoded;
}

}  // namespace tessaro
