#include "extract/TransportStreamFilter.h"

#include <algorithm>
#include <cstring>

#include "core/Diagnostics.h"
#include "core/PacketHeaderView.h"
#include "core/PacketSizeProbe.h"
#include "extract/TransportPacket.h"

namespace tessaro {
namespace {

constexpr uint8_t kSync = 0x47;
// Bytes of a chunk copied behind the held ones so that the walk can leave
// the held bytes: more than the furthest look-ahead (three slots).
constexpr int32_t kBridge = 4 * kMaxSlotSize;
// A probe window that holds no stream pattern: its first bytes cannot start
// one in a later window either (each start was tested with 2 slots after it).
constexpr int32_t kProbeDrop = kIsTSProbeBytes - 2 * kMaxSlotSize;

enum class TChain : uint8_t { Yes, No, NeedMore };

// Whether a chain starts at the sync byte at s: 0x47 there and one slot
// later, and two slots later unless the input ends first.
TChain ChainAt(const uint8_t* d, int64_t n, int64_t s, int64_t slot, bool atEnd) {
  if (d[s] != kSync) return TChain::No;
  if (s + slot >= n) return atEnd ? TChain::No : TChain::NeedMore;
  if (d[s + slot] != kSync) return TChain::No;
  if (s + 2 * slot >= n) return atEnd ? TChain::Yes : TChain::NeedMore;
  return d[s + 2 * slot] == kSync ? TChain::Yes : TChain::No;
}

// Drops the first count bytes of the held data.
void DropHeld(TBuffer& held, int64_t count) {
  if (count >= held.GetDataSize()) {
    held.Clear();
    return;
  }
  held.SetReadOffset(held.StartPos() + static_cast<int32_t>(count));
  held.Compact();
}

}  // namespace

TIncExcTransportStreamFilter::TIncExcTransportStreamFilter() : held_(4 * kBridge, 0) {}

TIncExcTransportStreamFilter::~TIncExcTransportStreamFilter() = default;

uint32_t TIncExcTransportStreamFilter::SetTSFilterType(int32_t type) {
  return Guarded("TIncExcTransportStreamFilter.SetTSFilterType", E_FAIL, [&] {
    listsChanged_ = true;
    const bool known = type == 1 || type == 2;
    filterType_ = known ? type : 0;
    return known ? S_OK : E_FAIL;
  });
}

void TIncExcTransportStreamFilter::TPIDList::Set(int32_t index, int32_t pid) {
  if (index >= 0 && index < kMaxPIDs) entries[static_cast<size_t>(index)] = pid;
}

void TIncExcTransportStreamFilter::TPIDList::SetCount(int32_t n) { count = std::clamp(n, 0, kMaxPIDs); }

bool TIncExcTransportStreamFilter::TPIDList::Contains(int32_t pid) const {
  return std::find(entries.begin(), entries.begin() + count, pid) != entries.begin() + count;
}

void TIncExcTransportStreamFilter::SetIncludeArray(int32_t index, int32_t pid) {
  GuardedVoid("TIncExcTransportStreamFilter.SetIncludeArray", [&] { include_.Set(index, pid); });
  listsChanged_ = true;
}

void TIncExcTransportStreamFilter::SetIncludeCount(int32_t count) {
  include_.SetCount(count);
  listsChanged_ = true;
}

void TIncExcTransportStreamFilter::SetExcludeArray(int32_t index, int32_t pid) {
  exclude_.Set(index, pid);
  listsChanged_ = true;
}

void TIncExcTransportStreamFilter::SetExcludeCount(int32_t count) {
  exclude_.SetCount(count);
  listsChanged_ = true;
}

bool TIncExcTransportStreamFilter::IsPIDIncluded(int32_t pid) {
  return Guarded("TIncExcTransportStreamFilter.IsPIDIncluded", false, [&] { return include_.Contains(pid); });
}

bool TIncExcTransportStreamFilter::IsPIDExcluded(int32_t pid) {
  return Guarded("TIncExcTransportStreamFilter.IsPIDExcluded", false, [&] { return exclude_.Contains(pid); });
}

void TIncExcTransportStreamFilter::RebuildLists() {
  listsChanged_ = false;
  if (filterType_ == 0) {
    passes_.set();
    return;
  }
  std::bitset<kMaxPIDs> listed;
  const TPIDList& list = filterType_ == 1 ? include_ : exclude_;
  for (int32_t i = 0; i < list.count; ++i) {
    const int32_t pid = list.entries[static_cast<size_t>(i)];
    if (pid >= 0 && pid < kMaxPIDs) listed.set(static_cast<size_t>(pid));
  }
  passes_ = filterType_ == 1 ? listed : ~listed;
}

bool TIncExcTransportStreamFilter::SetPacketType(int32_t code) {
  if (!IsPacketType(code)) return false;
  packetType_ = code;
  packetSize_ = PacketSizeOfType(code);
  syncOffset_ = SlotSyncOffset(packetSize_);
  aligned_ = false;
  return true;
}

int64_t TIncExcTransportStreamFilter::Process(const uint8_t* d, int64_t n, int64_t pos, bool atEnd) {
  return Guarded("TIncExcTransportStreamFilter.Process", n, [&]() -> int64_t {
    const int64_t slot = packetSize_;
    const int64_t k = syncOffset_;
    for (;;) {
      if (aligned_) {
        // The run of slots whose own sync byte and the next one's are in
        // place, in a loop of its own over locals (the callback may, for
        // the compiler, change whatever lies in memory): nearly every slot.
        const uint8_t* const packets = d + k;
        const int64_t runEnd = n - slot - k;  // a next sync byte below n
        int64_t at = pos;
        while (at < runEnd && packets[at] == kSync && packets[at + slot] == kSync) {
          // The slots may lie in a mapped file rather than a copy in the
          // cache: the one 48 ahead is asked for now (see TPacketScanner).
          __builtin_prefetch(packets + at + 48 * slot);
          Pass(d + at, packets + at);
          at += slot;
        }
        pos = at;
        if (pos + slot > n) return atEnd ? n : pos;  // an incomplete last slot is dropped
        if (d[pos + k] != kSync) {
          aligned_ = false;
          continue;
        }
        // The run ended at the input's end, or the next slot has no sync byte.
        const int64_t next = pos + slot + k;
        if (next >= n) {
          if (!atEnd) return pos;
          Pass(d + pos, d + pos + k);  // the last slot of the input
          pos += slot;
          continue;
        }
        // The next slot has no sync byte. This one is cut short when a chain
        // starts inside it; otherwise it is whole and garbage follows.
        const int64_t last = pos + k + slot - 1;
        if (!atEnd && last + 2 * slot >= n) return pos;
        bool cut = false;
        for (int64_t s = pos + k + 1; s <= last && !cut;) {
          const auto* hit = static_cast<const uint8_t*>(std::memchr(d + s, kSync, static_cast<size_t>(last + 1 - s)));
          if (hit == nullptr) break;
          s = hit - d;
          cut = ChainAt(d, n, s, slot, atEnd) == TChain::Yes;
          ++s;
        }
        if (!cut) Pass(d + pos, d + pos + k);
        pos += cut ? 1 : slot;
        aligned_ = false;
        continue;
      }
      // Searching: the slot at pos belongs to a chain that starts at its sync byte.
      const int64_t from = pos + k;
      if (from >= n) return atEnd ? n : pos;
      const auto* hit = static_cast<const uint8_t*>(std::memchr(d + from, kSync, static_cast<size_t>(n - from)));
      if (hit == nullptr) return atEnd ? n : n - k;  // the last k bytes may be a slot's prefix
      const int64_t s = hit - d;
      pos = s - k;
      const TChain chain = ChainAt(d, n, s, slot, atEnd);
      if (chain == TChain::NeedMore) return pos;
      // At the end, a lone whole slot is the input's last packet.
      if (chain == TChain::Yes || (atEnd && s + slot >= n && pos + slot <= n)) {
        aligned_ = true;
        continue;
      }
      ++pos;
    }
  });
}

bool TIncExcTransportStreamFilter::GetStreamType(bool atEnd) {
  return Guarded("TIncExcTransportStreamFilter.GetStreamType", false, [&] {
    for (;;) {
      const int32_t held = held_.GetDataSize();
      if (held < kIsTSProbeBytes && !atEnd) return false;
      int32_t size = 0;
      int32_t offset = 0;
      if (GetTSStreamType(held_.GetData(), std::min(held, kIsTSProbeBytes), size, offset))
        return SetPacketType(PacketTypeOfSize(size));
      if (held <= kIsTSProbeBytes) {
        if (atEnd) return false;
        DropHeld(held_, kProbeDrop);
        return false;
      }
      DropHeld(held_, kProbeDrop);
    }
  });
}

uint32_t TIncExcTransportStreamFilter::AddData(const uint8_t* buffer, int32_t length) {
  return Guarded("TIncExcTransportStreamFilter.AddData", E_FAIL, [&] {
    if (buffer == nullptr || length <= 0) return E_FAIL;
    if (listsChanged_) RebuildLists();
    if (packetSize_ == 0) {
      // The slot size is told from the first 3072 bytes, whatever the chunks.
      held_.Append(buffer, length);
      if (GetStreamType(false)) DropHeld(held_, Process(held_.GetData(), held_.GetDataSize(), 0, false));
      return S_OK;
    }
    int64_t pos = 0;
    if (held_.GetDataSize() > 0) {
      // The held bytes and the chunk's first ones are walked together until
      // the walk is past the held bytes; it then goes on in the chunk itself.
      const int32_t before = held_.GetDataSize();
      const int32_t bridge = std::min(length, kBridge);
      held_.Append(buffer, bridge);
      const int64_t stop = Process(held_.GetData(), held_.GetDataSize(), 0, false);
      if (bridge == length || stop < before) {
        DropHeld(held_, stop);
        if (bridge < length) held_.Append(buffer + bridge, length - bridge);
        return S_OK;
      }
      held_.Clear();
      pos = stop - before;
    }
    const int64_t stop = Process(buffer, length, pos, false);
    held_.Append(buffer + stop, static_cast<int32_t>(length - stop));
    return S_OK;
  });
}

uint32_t TIncExcTransportStreamFilter::Flush() {
  return Guarded("TIncExcTransportStreamFilter.Flush", E_FAIL, [&] {
    if (listsChanged_) RebuildLists();
    if (packetSize_ != 0 || GetStreamType(true)) Process(held_.GetData(), held_.GetDataSize(), 0, true);
    held_.Clear();
    aligned_ = false;
    return S_OK;
  });
}

}  // namespace tessaro
