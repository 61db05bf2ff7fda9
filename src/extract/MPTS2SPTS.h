// TMPTS2SPTS: a single-program stream from a multi-program one. It passes on
// the packets of the PAT PID, the program's PMT PID and the elementary-stream
// PIDs, unchanged and in order, except that every PAT packet is replaced by a
// rebuilt one-program PAT (built once; only its continuity_counter moves).
// Set up, Prepare once, then feed; the setters refuse after Prepare and
// AddData before it, each with one diagnostic line.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "extract/TransportPacket.h"
#include "extract/TransportStreamFilter.h"

namespace tessaro {

class TMPTS2SPTS {
 public:
  // Packet type codes 1 to 5; anything else means 1 (188 bytes).
  explicit TMPTS2SPTS(int32_t packetType);
  ~TMPTS2SPTS();
  TMPTS2SPTS(const TMPTS2SPTS&) = delete;
  TMPTS2SPTS& operator=(const TMPTS2SPTS&) = delete;

  bool SetPMTPID(int32_t pid);
  bool SetProgramNum(int32_t number);
  bool AddESPID(int32_t pid);
  bool ExistingPID(int32_t pid) const;
  bool Prepare();
  bool AddData(const uint8_t* buffer, int32_t length);
  // The end of the input (see TIncExcTransportStreamFilter::Flush).
  bool Flush();
  void SetOnSendData(TSendData callback) { sendData_ = std::move(callback); }

  int32_t PacketType() const { return packetType_; }

 private:
  int32_t SendDataObj(const uint8_t* packet, int32_t length);

  uint16_t pmtPID_ = 0;
  uint16_t programNumber_ = 1;
  std::vector<int32_t> esPIDs_;  // distinct, so never more than 8190
  std::unique_ptr<Tprogram_association_section_class> pat_;
  std::unique_ptr<TIncExcTransportStreamFilter> filter_;
  bool prepared_ = false;
  TSendData sendData_;
  int32_t packetType_;
};

}  // namespace tessaro
