#include "core/PacketChain.h"

#include <algorithm>
#include <vector>

#include "core/Diagnostics.h"
#include "core/PacketHeaderView.h"
#include "core/PacketScanner.h"

namespace tessaro {
namespace {

constexpr int64_t kFirstBlock = 4 * 1024;
constexpr int64_t kMaxBlock = 256 * 1024;

// A window of the file that serves the 4-byte header reads of a backward
// walk, refilled in blocks that grow as the walk goes on.
class HeaderWindow {
 public:
  explicit HeaderWindow(const TFileStream& stream) : stream_(stream) {}

  // The 4 header bytes at offset; null when fewer than 4 exist. backward
  // says which side of offset the next reads will be on.
  const uint8_t* Read(int64_t offset, bool backward) {
    if (offset < start_ || offset + 4 > start_ + length_) {
      if (!Fill(offset, backward)) return nullptr;
    }
    return block_.data() + (offset - start_);
  }

 private:
  bool Fill(int64_t offset, bool backward) {
    blockSize_ = std::min<int64_t>(blockSize_ * 2, kMaxBlock);
    start_ = backward ? std::max<int64_t>(0, offset + 4 - blockSize_) : offset;
    block_.resize(static_cast<size_t>(blockSize_));
    length_ = stream_.ReadAt(start_, block_.data(), blockSize_);
    return offset >= start_ && offset + 4 <= start_ + length_;
  }

  const TFileStream& stream_;
  std::vector<uint8_t> block_;
  int64_t blockSize_ = 2048;
  int64_t start_ = 0;
  int64_t length_ = 0;
};

}  // namespace

int64_t FindNextPIDOffset188WithNextContinuityCounter(const TFileStream& stream, uint16_t pid,
                                                      int32_t continuityCounter, int64_t offset, int32_t packetSize) {
  return Guarded("FindNextPIDOffset188WithNextContinuityCounter", int64_t{-1}, [&]() -> int64_t {
    if (packetSize <= 0 || offset < 0) return -1;
    const int32_t wanted = (continuityCounter + 1) & 0x0F;
    // The next packet of a PID is usually close: the reads start small.
    TPacketScanner scanner;
    scanner.SetBlockSize(kMaxBlock, kFirstBlock);
    int64_t found = -1;
    scanner.Scan(stream, packetSize, offset + packetSize, stream.Size(), {TSyncRule::Stride},
                 [&](const uint8_t* p, int64_t at) {
                   const TPacketHeaderView header(p);
                   if (header.PID() != pid || header.ContinuityCounter() != wanted) return true;
                   found = at;
                   return false;
                 });
    // A packet in pages the file lost under the map (read as zeros) is none.
    return found >= 0 && found + kTSPacketSize <= scanner.ReadEnd() ? found : -1;
  });
}

int64_t FindPreviousPIDOffset188WithPayloadStartFlag(const TFileStream& stream, uint16_t pid, int32_t continuityCounter,
                                                     int64_t offset, int32_t packetSize) {
  return Guarded("FindPreviousPIDOffset188WithPayloadStartFlag", int64_t{-1}, [&]() -> int64_t {
    if (packetSize <= 0) return -1;
    int32_t expected = continuityCounter & 0x0F;
    HeaderWindow window(stream);
    for (int64_t candidate = offset - packetSize; candidate >= 0; candidate -= packetSize) {
      const uint8_t* bytes = window.Read(candidate, true);
      if (bytes == nullptr) return -1;
      const TPacketHeaderView header(bytes);
      if (header.PID() != pid || ((header.ContinuityCounter() + 1) & 0x0F) != expected) continue;
      if (header.PayloadUnitStart()) return candidate;
      expected = header.ContinuityCounter();
    }
    return -1;
  });
}

bool GetTableIDFromPacket(const uint8_t* packet, int32_t& tableId) {
  return Guarded("GetTableIDFromPacket", false, [&] {
    const int afc = (packet[3] >> 4) & 3;
    if ((afc & 1) == 0) return false;
    int p = 4;
    if (afc & 2) p += 1 + packet[4];
    if (p >= kTSPacketSize) return false;
    const int at = p + 1 + packet[p];
    if (at >= kTSPacketSize) return false;
    tableId = packet[at];
    return true;
  });
}

bool TBigPSIParser::GetTableID(const TFileStream& stream, int32_t& tableId, int64_t offset, int32_t packetSize) {
  return Guarded("TBigPSIParser.GetTableID", false, [&] {
    Buffer.Clear();
    uint8_t* packet = Buffer.GetFreePointer();
    if (stream.ReadAt(offset, packet, kTSPacketSize) < kTSPacketSize) return false;
    if (Parser.ParseData(packet, kTSPacketSize) != S_OK) return false;
    if (Parser.Header.payload_unit_start_indicator == 1) return GetTableIDFromPacket(packet, tableId);
    const int64_t start = FindPreviousPIDOffset188WithPayloadStartFlag(
        stream, static_cast<uint16_t>(Parser.Header.PID), Parser.Header.continuity_counter, offset, packetSize);
    if (start < 0) return false;
    if (stream.ReadAt(start, packet, kTSPacketSize) < kTSPacketSize) return false;
    return GetTableIDFromPacket(packet, tableId);
  });
}

}  // namespace tessaro
