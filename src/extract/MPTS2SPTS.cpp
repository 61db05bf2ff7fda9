#include "extract/MPTS2SPTS.h"

#include <algorithm>

#include "core/Diagnostics.h"

namespace tessaro {
namespace {

bool IsStreamPID(int32_t pid) { return pid >= 1 && pid <= 8190; }

bool Refuse(const char* line) {
  DebugOutput(line);
  return false;
}

}  // namespace

TMPTS2SPTS::TMPTS2SPTS(int32_t packetType) : packetType_(IsPacketType(packetType) ? packetType : 1) {}

TMPTS2SPTS::~TMPTS2SPTS() = default;

bool TMPTS2SPTS::ExistingPID(int32_t pid) const {
  return Guarded("TMPTS2SPTS.ExistingPID", false,
                 [&] { return pid == pmtPID_ || std::find(esPIDs_.begin(), esPIDs_.end(), pid) != esPIDs_.end(); });
}

bool TMPTS2SPTS::SetPMTPID(int32_t pid) {
  return Guarded("TMPTS2SPTS.SetPMTPID", false, [&] {
    if (!IsStreamPID(pid)) return Refuse("zrk: Error in TMPTS2SPTS.SetPMTPID - invalid PID.");
    if (ExistingPID(pid)) return Refuse("zrk: Error in TMPTS2SPTS.SetPMTPID - trying to add existing PID.");
    if (prepared_) return Refuse("zrk: Error in TMPTS2SPTS.SetPMTPID - prapared.");
    pmtPID_ = static_cast<uint16_t>(pid);
    return true;
  });
}

bool TMPTS2SPTS::SetProgramNum(int32_t number) {
  return Guarded("TMPTS2SPTS.SetProgramNum", false, [&] {
    if (number < 1 || number > 65535) return Refuse("zrk: Error in TMPTS2SPTS.SetProgramNum - invalid Program Number.");
    if (prepared_) return Refuse("zrk: Error in TMPTS2SPTS.SetProgramNum - prapared.");
    programNumber_ = static_cast<uint16_t>(number);
    return true;
  });
}

bool TMPTS2SPTS::AddESPID(int32_t pid) {
  return Guarded("TMPTS2SPTS.AddESPID", false, [&] {
    if (!IsStreamPID(pid)) return Refuse("zrk: Error in TMPTS2SPTS.AddESPID  - invalid PID.");
    if (ExistingPID(pid)) return Refuse("zrk: Error in TMPTS2SPTS.AddESPID - trying to add existing PID.");
    if (prepared_) return Refuse("zrk: Error in TMPTS2SPTS.AddESPID - prapared.");
    esPIDs_.push_back(pid);
    return true;
  });
}

bool TMPTS2SPTS::Prepare() {
  return Guarded("TMPTS2SPTS.Prepare", false, [&] {
    if (prepared_) return Refuse("zrk: Error in TMPTS2SPTS.Prepare - already prepared.");
    // The one-program PAT: a single packet, no adaptation field, pointer_field 0.
    pat_ = std::make_unique<Tprogram_association_section_class>(packetType_);
    TTSHeader& h = pat_->HeaderFields();
    h.sync_byte = 0x47;
    h.payload_unit_start_indicator = 1;
    h.PID = 0;
    h.adaptation_field_control = 1;
    h.continuity_counter = 1;
    pat_->pointer_field = 0;
    Tprogram_association_section_fields& s = pat_->SectionFields();
    s.table_id = 0;
    s.section_syntax_indicator = 1;
    s.zero_bit = 0;
    s.reserved1 = 3;
    s.transport_stream_id = 1;
    s.reserved2 = 3;
    s.version_number = 0;
    s.current_next_indicator = 1;
    s.section_number = 0;
    s.last_section_number = 0;
    s.N = 1;
    s.program_number[0] = programNumber_;
    s.reserved[0] = 3;
    s.PID[0] = pmtPID_;
    if (!pat_->BuildPacket()) return false;

    filter_ = std::make_unique<TIncExcTransportStreamFilter>();
    filter_->SetPacketType(packetType_);
    filter_->SetTSFilterType(1);
    filter_->SetIncludeCount(static_cast<int32_t>(esPIDs_.size()) + 2);
    filter_->SetIncludeArray(0, 0);
    filter_->SetIncludeArray(1, pmtPID_);
    for (size_t i = 0; i < esPIDs_.size(); ++i) filter_->SetIncludeArray(static_cast<int32_t>(i) + 2, esPIDs_[i]);
    filter_->SetOnSendData([this](const uint8_t* packet, int32_t length) { return SendDataObj(packet, length); });
    prepared_ = true;
    return true;
  });
}

bool TMPTS2SPTS::AddData(const uint8_t* buffer, int32_t length) {
  return Guarded("TMPTS2SPTS.AddData", false, [&] {
    if (!prepared_) return Refuse("zrk: Error in TMPTS2SPTS.AddData - not prepared.");
    return filter_->AddData(buffer, length) == S_OK;
  });
}

bool TMPTS2SPTS::Flush() {
  return Guarded("TMPTS2SPTS.Flush", false, [&] {
    if (!prepared_) return Refuse("zrk: Error in TMPTS2SPTS.AddData - not prepared.");
    return filter_->Flush() == S_OK;
  });
}

int32_t TMPTS2SPTS::SendDataObj(const uint8_t* packet, int32_t length) {
  return Guarded("TMPTS2SPTS.SendDataObj", static_cast<int32_t>(E_FAIL), [&]() -> int32_t {
    const int32_t at = SlotSyncOffset(length);
    if (GetPacketPID(packet + at, length - at) != 0) {
      if (sendData_) sendData_(packet, length);
      return 0;
    }
    // In place of every PAT packet, the next copy of the rebuilt one, with
    // the TP_extra_header of the slot it replaces.
    pat_->Increment_continuity_counter();
    pat_->SetSlotPrefix(packet);
    const uint8_t* data = nullptr;
    int32_t size = 0;
    pat_->GetData(data, size);
    if (sendData_) sendData_(data, size);
    return 0;
  });
}

}  // namespace tessaro
