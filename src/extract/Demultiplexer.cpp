#include "extract/Demultiplexer.h"

#include <algorithm>
#include <bit>
#include <filesystem>

#include "core/Diagnostics.h"
#include "core/PacketParser.h"
#include "core/TextHelpers.h"
#include "extract/PacketPayload.h"
#include "extract/TransportPacket.h"

namespace tessaro {

TMPEGTSDemultiplexer::TMPEGTSDemultiplexer() { index_.fill(-1); }

// Outputs that were not finished are dropped with their outputs.
TMPEGTSDemultiplexer::~TMPEGTSDemultiplexer() = default;

std::string TMPEGTSDemultiplexer::OutputFileName(const std::string& baseFileName, int32_t pid) {
  std::filesystem::path name(baseFileName);
  name.replace_extension(".$" + HexDigits(static_cast<uint64_t>(pid & 0x1FFF), 4));
  return name.string();
}

bool TMPEGTSDemultiplexer::SetSettings(const std::string& baseFileName, int32_t mode) {
  return Guarded("TMPEGTSDemultiplexer.SetSettings", false, [&] {
    baseFileName_ = baseFileName;
    mode_ = mode;
    return true;
  });
}

bool TMPEGTSDemultiplexer::FindOutput(int32_t pid, int32_t& index) const {
  if (pid < 0 || pid >= kMaxOutputs || index_[static_cast<size_t>(pid)] < 0) return false;
  index = index_[static_cast<size_t>(pid)];
  return true;
}

void TMPEGTSDemultiplexer::Fail(const std::string& reason) {
  if (error_.empty()) error_ = reason;
}

TOutput* TMPEGTSDemultiplexer::NewOutput(int32_t pid) {
  // The buffers share the budget: halved for everyone as the outputs double.
  const int64_t share = kBufferBudget / (static_cast<int64_t>(outputs_.size()) + 1);
  const auto capacity = static_cast<int32_t>(
      std::clamp<int64_t>(std::bit_floor(static_cast<uint64_t>(share)), kMinCapacity, TOutput::kCapacity));
  if (capacity < capacity_) {
    capacity_ = capacity;
    for (auto& output : outputs_) output->SetCapacity(capacity_);
  }
  auto output = std::make_unique<TOutput>(OutputFileName(baseFileName_, pid), &files_, capacity_);
  output->SetInput(input_);
  if (!output->Create()) Fail(output->Error());
  index_[static_cast<size_t>(pid)] = static_cast<int16_t>(outputs_.size());
  pids_.push_back(static_cast<uint16_t>(pid));
  outputs_.push_back(std::move(output));
  return outputs_.back().get();
}

bool TMPEGTSDemultiplexer::AddPacket(const uint8_t* packet, int32_t length) {
  return Guarded("TMPEGTSDemultiplexer.AddPacket", false, [&] {
    if (Failed() || packet == nullptr) return false;
    const int32_t at = SlotSyncOffset(length);
    if (length < at + kTSPacketSize || packet[at] != 0x47) return false;
    const uint8_t* p = packet + at;
    const int32_t pid = GetPacketPID(p, kTSPacketSize);
    int32_t index = 0;
    TOutput* output = FindOutput(pid, index) ? outputs_[static_cast<size_t>(index)].get() : NewOutput(pid);
    if (Failed()) return false;
    const TPayload part = mode_ == 0 ? ElementaryPayload(p) : PacketPayload(p);
    if (part.length > 0 && !output->AddData(part.data, part.length)) Fail(output->Error());
    return !Failed();
  });
}

// Every file is written out before any replaces what stands at its name, so
// a run that fails to finish one replaces none.
bool TMPEGTSDemultiplexer::Finish() {
  for (auto& output : outputs_)
    if (!output->Complete()) Fail(output->Error());
  if (Failed()) return false;
  for (auto& output : outputs_)
    if (!output->Commit()) Fail(output->Error());
  return !Failed();
}

void TMPEGTSDemultiplexer::RemoveOutputs() {
  for (auto& output : outputs_) output->Remove();
}

}  // namespace tessaro
