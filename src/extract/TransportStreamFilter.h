// TIncExcTransportStreamFilter: the packetiser every extraction feeds. It
// takes a stream in chunks of any size, keeps packet alignment by itself and
// hands each slot whose PID passes the include or exclude list to a callback,
// as a pointer into the data it was given (no copy on the common path).
//
// What passes does not depend on the chunk sizes. Alignment is a chain of
// sync bytes one slot apart. A whole slot followed by garbage is passed on,
// and so is the last slot of the input whatever follows it; a slot cut short
// by a chain that starts inside it is garbage. A 192-byte slot is cut at its
// start, so its TP_extra_header travels with the packet after it.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/Buffer.h"
#include "core/PacketHeaderView.h"

namespace tessaro {

// Called for each slot passed on with the slot's bytes and length; the
// result is not looked at. The bytes are valid during the call only.
using TSendData = std::function<int32_t(const uint8_t* packet, int32_t length)>;

class TIncExcTransportStreamFilter {
 public:
  static constexpr int32_t kMaxPIDs = 8192;  // every PID a stream can hold

  TIncExcTransportStreamFilter();
  ~TIncExcTransportStreamFilter();
  TIncExcTransportStreamFilter(const TIncExcTransportStreamFilter&) = delete;
  TIncExcTransportStreamFilter& operator=(const TIncExcTransportStreamFilter&) = delete;

  // 1 (include list) or 2 (exclude list): S_OK. Anything else passes every
  // packet and gives E_FAIL.
  uint32_t SetTSFilterType(int32_t type);
  // Index 0..8191; others are ignored. The count says how many entries count.
  void SetIncludeArray(int32_t index, int32_t pid);
  void SetIncludeCount(int32_t count);
  void SetExcludeArray(int32_t index, int32_t pid);
  void SetExcludeCount(int32_t count);
  bool IsPIDIncluded(int32_t pid);
  bool IsPIDExcluded(int32_t pid);
  void SetOnSendData(TSendData callback) { sendData_ = std::move(callback); }

  // The slot size, as a packet type code (a stream's size is known when it is
  // opened). Without it the size is found from the first 3072 bytes.
  bool SetPacketType(int32_t code);
  int32_t PacketSize() const { return packetSize_; }

  // S_OK, or E_FAIL for a missing buffer or a length of 0 or less.
  uint32_t AddData(const uint8_t* buffer, int32_t length);
  // The end of the input: the slots still held are judged with nothing after
  // them. The filter then starts afresh.
  uint32_t Flush();

 private:
  // Walks data[pos, length) and returns where it stopped: at the first place
  // whose fate needs bytes beyond length (all of them at the end of input).
  int64_t Process(const uint8_t* data, int64_t length, int64_t pos, bool atEnd);
  // The slot size from the held bytes; false while it cannot be told yet.
  bool GetStreamType(bool atEnd);
  // Hands on the slot when its packet's PID passes; packet: its sync byte.
  void Pass(const uint8_t* slot, const uint8_t* packet) {
    const auto pid = static_cast<size_t>(TPacketHeaderView(packet).PID());
    if (passes_[pid] && sendData_) sendData_(slot, packetSize_);
  }
  void RebuildLists();

  // An include or exclude list: entries set by index, the first count of them in use.
  struct TPIDList {
    std::vector<int32_t> entries = std::vector<int32_t>(kMaxPIDs, 0);
    int32_t count = 0;
    void Set(int32_t index, int32_t pid);
    void SetCount(int32_t n);
    bool Contains(int32_t pid) const;
  };

  TBuffer held_;  // bytes whose fate needs bytes of a later chunk
  int32_t packetType_ = 0;
  int32_t packetSize_ = 0;
  int32_t syncOffset_ = 0;
  bool aligned_ = false;  // the held data start at a slot of the chain
  TSendData sendData_;
  int32_t filterType_ = 0;
  TPIDList include_;
  TPIDList exclude_;
  bool listsChanged_ = true;
  std::bitset<kMaxPIDs> passes_;  // the PIDs that pass, from the type and the lists
};

}  // namespace tessaro
