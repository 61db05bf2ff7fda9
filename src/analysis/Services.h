// TServices: the services observer of the analysis pass. It puts the PAT,
// CAT, PMT and SDT actual sections together from their packets and keeps
// what they say as the stream carries them: a new version updates a
// service, and nothing once named is forgotten, so every PID that any table
// named keeps its role. From that it says what each PID is.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analysis/AnalysisPass.h"
#include "analysis/PIDCounts.h"
#include "analysis/SectionAssembler.h"

namespace tessaro {

struct TElementaryStream {
  int32_t pid = 0;
  int32_t streamType = 0;
  std::string language;  // ISO 639 code; empty when no descriptor gives one
  std::string what;      // "video H.264", "audio AC-3", "teletext", ...
};

struct TService {
  int32_t programNumber = 0;
  int32_t pmtPID = -1;  // -1: known from the SDT only
  int32_t pcrPID = -1;  // -1: no PMT seen
  std::string name;     // UTF-8, or the bytes in hex when their table cannot be decoded
  std::string provider;
  int32_t serviceType = -1;  // -1: no service_descriptor seen
  std::vector<TElementaryStream> streams;
  std::vector<int32_t> ecmPIDs;  // named by the PMT's CA_descriptors
};

class TServices final : public TPacketObserver {
 public:
  TServices();
  ~TServices() override;
  void Packet(const TPacketHeaderView& header, int64_t offset, double time, bool timed) override;

  // Whether packets of pid may carry a table it reads: no other packet
  // need be shown to it.
  bool Reads(int32_t pid) const { return roles_[static_cast<size_t>(pid & (kPIDCount - 1))] != 0; }
  // In program_number order.
  const std::vector<TService>& Services() const { return services_; }
  // The PCR PID of the first program that names pid as an elementary
  // stream; -1 when none does.
  int32_t PCRPIDOf(int32_t pid) const { return esPCR_[static_cast<size_t>(pid & (kPIDCount - 1))]; }
  // "PAT", "PMT of program 1", "audio AAC of program 2", "unreferenced", ...
  std::string Description(int32_t pid) const;

 private:
  struct TSectionPID;
  void Section(int32_t pid, const uint8_t* data, int32_t length);
  void PAT(const uint8_t* data, int32_t length);
  void CAT(const uint8_t* data, int32_t length);
  void PMT(int32_t pid, const uint8_t* data, int32_t length);
  void SDT(const uint8_t* data, int32_t length);
  TService& ServiceOf(int32_t programNumber);
  void Track(int32_t pid, uint8_t role);

  std::vector<TService> services_;
  std::array<uint8_t, kPIDCount> roles_{};  // which tables a PID carries (kRole...)
  std::array<int16_t, kPIDCount> esPCR_{};  // filled with -1
  std::array<bool, kPIDCount> emm_{};       // named by a CA_descriptor of the CAT
  int32_t networkPID_ = -1;                 // program 0 of the PAT
  std::array<std::unique_ptr<TSectionPID>, kPIDCount> sections_;
  // The CRC_32 of the last section taken per table: a repeat is not parsed again.
  std::map<uint64_t, uint32_t> seen_;
};

}  // namespace tessaro
