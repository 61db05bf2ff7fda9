// TMPEGTSDemultiplexer: one output file per PID, in order of first sight.
// PES mode keeps each packet's whole payload, ES mode leaves out the PES
// header at each payload start. File names: the base name with its
// extension replaced by ".$" and the PID as four upper-case hex digits.
//
// Every PID a stream can hold gets its file. The buffers together stay within
// a fixed budget (each smaller when many PIDs are open) and the descriptors
// within the process's limit. An output that cannot be created or written
// fails the whole run, which then stops with the reason.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "extract/Output.h"

namespace tessaro {

class TMPEGTSDemultiplexer {
 public:
  static constexpr int32_t kMaxOutputs = 8192;
  static constexpr int64_t kBufferBudget = 32 * 1024 * 1024;
  static constexpr int32_t kMinCapacity = 4096;

  TMPEGTSDemultiplexer();
  // Drops the files of a run that was not finished.
  ~TMPEGTSDemultiplexer();
  TMPEGTSDemultiplexer(const TMPEGTSDemultiplexer&) = delete;
  TMPEGTSDemultiplexer& operator=(const TMPEGTSDemultiplexer&) = delete;

  // mode: 0 = ES, anything else = PES. Before the first packet.
  bool SetSettings(const std::string& baseFileName, int32_t mode);
  // The open input, which no output may replace (a PID's name can be the input's own).
  void SetInput(std::optional<TFileIdentity> input) { input_ = input; }
  // One slot as the filter passes it on (a 192-byte slot's sync byte at 4).
  // False once an output has failed.
  bool AddPacket(const uint8_t* packet, int32_t length);
  bool FindOutput(int32_t pid, int32_t& index) const;

  // Writes out every file, then puts each in its name's place; false when one failed.
  bool Finish();
  // Deletes every unfinished file; files already in place stay.
  void RemoveOutputs();
  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }

  int32_t OutputCount() const { return static_cast<int32_t>(outputs_.size()); }
  const TOutput& Output(int32_t index) const { return *outputs_[static_cast<size_t>(index)]; }
  // Set before the first packet (tests use small limits).
  void SetOpenFileLimit(int32_t limit) { files_ = TOpenFiles(limit); }

  static std::string OutputFileName(const std::string& baseFileName, int32_t pid);

 private:
  TOutput* NewOutput(int32_t pid);
  void Fail(const std::string& reason);

  std::string baseFileName_;
  int32_t mode_ = -1;
  std::optional<TFileIdentity> input_;
  TOpenFiles files_;
  std::vector<std::unique_ptr<TOutput>> outputs_;
  std::vector<uint16_t> pids_;              // the PID of each output
  std::array<int16_t, kMaxOutputs> index_;  // output of each PID, -1 when none yet
  int32_t capacity_ = TOutput::kCapacity;
  std::string error_;
};

}  // namespace tessaro
