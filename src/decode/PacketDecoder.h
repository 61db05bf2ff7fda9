// TPacketDecoder: the decode tree of the packet at a file offset, built from
// the stream and the current PAT alone (no page of rows is consulted): the
// transport header, the adaptation field, the section a table decoder
// gathers and decodes, or the PES header. Every node that shows a field read
// from the stream carries the spans where it lies in the file.
#pragma once

#include <array>
#include <cstdint>

#include "core/FieldPositions.h"
#include "core/FileStream.h"
#include "core/PacketChain.h"
#include "core/PacketParser.h"
#include "core/TreeNode.h"
#include "decode/DecoderSet.h"
#include "decode/PES.h"

namespace tessaro {

enum class TPacketDecode {
  Unread,    // fewer than a packet slot of bytes at the offset; the tree is unchanged
  NoPacket,  // the slot does not start with a sync byte; the tree is empty
  Decoded,
};

class TPacketDecoder {
 public:
  static constexpr int kMaxSlot = 212;

  explicit TPacketDecoder(TSectionDecoders& decoders) : decoders_(decoders) {}
  TPacketDecoder(const TPacketDecoder&) = delete;
  TPacketDecoder& operator=(const TPacketDecoder&) = delete;

  // Replaces the nodes of tree with the top-level node "Packet" of the packet
  // at offset. A PID 0x0000 packet first updates the current PAT.
  TPacketDecode Decode(const TFileStream& stream, int32_t packetSize, int64_t offset, TTreeNode& tree);

  // Whether the trees built from now on show decoded values beside the raw
  // ones (View > Decoded Values); off by default.
  void SetDecodedValues(bool shown) { decodedValues_ = shown; }
  bool DecodedValues() const { return decodedValues_; }

  // The header of the packet decoded last.
  const TTSHeader& Header() const { return parser_.Header; }
  // The PES header of the packet decoded last (empty when it started none).
  const TPESPacketHeader& SelectedPES() const { return FSelectedPES; }

 private:
  TSectionDecoders& decoders_;
  TMPEGTSBasePacketParser parser_;
  TBigPSIParser bigPSI_;
  TPESPacketHeader FSelectedPES;
  TFieldPositions positions_;
  std::array<uint8_t, kMaxSlot> packet_{};
  bool decodedValues_ = false;
};

}  // namespace tessaro
