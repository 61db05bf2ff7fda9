// The bodies of the six Operations commands, run by the window and the
// command line alike: each reads the open stream from its first byte into a
// PID filter or the program converter and writes what comes out. Every
// outcome is told: a file that cannot be created or written, a read that ends
// early, a missing PMT or a cancel ends the command with its reason and
// leaves no partial output behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "browser/StreamBrowser.h"

namespace tessaro {

class TOutput;
class TMPEGTSDemultiplexer;

struct TExtractionOutcome {
  enum class TStatus : uint8_t {
    Done,
    NotFound,  // "PMT not found.", or no packet of the PIDs when empty outputs are not kept
    Failed,
    Cancelled,
  };
  TStatus status = TStatus::Done;
  std::string message;  // what the user is told; empty when nothing is
};

inline constexpr const char* kExtractionCancelled = "Cancelled. The unfinished output was removed.";

// Whether something stands at path (a file, a link, a device).
bool OutputExists(const std::string& path);
// Whether path names the browser's open stream (the same file by any name):
// no command writes over its own input.
bool IsOpenStream(const TStreamBrowser& browser, const std::string& path);

class TExtractionCommands {
 public:
  static constexpr int64_t kChunkSize = 102400;

  explicit TExtractionCommands(TStreamBrowser& browser) : browser_(browser) {}

  // The window writes the file of a PID without packets, empty; the command
  // line says "No packet of PID 0xXXXX in FILE" instead and leaves no file.
  void SetKeepEmptyOutput(bool keep) { keepEmpty_ = keep; }

  // Whole packets of the PIDs, in file order. No message when done.
  TExtractionOutcome ExtractPIDs(const std::vector<uint16_t>& pids, const std::string& fileName);
  // The payloads of a PID (no message when done), or without the PES headers ("Done").
  TExtractionOutcome ExtractPES(uint16_t pid, const std::string& fileName);
  TExtractionOutcome ExtractES(uint16_t pid, const std::string& fileName);
  // One program with a rebuilt PAT; its PMT is looked for from the start of the file.
  TExtractionOutcome ExtractProgram(int32_t programNumber, const std::string& fileName);
  // One file per PID named from baseFileName; PES or ES mode.
  TExtractionOutcome Demultiplex(const std::string& baseFileName, bool es);

 private:
  int32_t SendDataExtractPIDs(const uint8_t* packet, int32_t length);
  int32_t SendDataExtractPESPID(const uint8_t* packet, int32_t length);
  int32_t SendDataExtractESPID(const uint8_t* packet, int32_t length);
  int32_t SendDataExtractProgram(const uint8_t* packet, int32_t length);
  int32_t SendDataExtractPES(const uint8_t* packet, int32_t length);

  // Filter type 1 with the PIDs, into the one output file.
  TExtractionOutcome FromPIDs(const std::vector<uint16_t>& pids, const std::string& fileName, const char* done,
                              int32_t (TExtractionCommands::*send)(const uint8_t*, int32_t));
  // The read loop into feed, then the end of the input (which may end the
  // command with an outcome of its own); finishes, or removes, the outputs.
  template <class Outputs, class Feed, class End>
  TExtractionOutcome ReadAll(Outputs& outputs, Feed&& feed, End&& end, const char* done);
  // The packet of the program's PMT, searched from offset 0.
  TExtractionOutcome FindPMT(int32_t programNumber, int64_t& offset, std::vector<int32_t>& pids);

  TStreamBrowser& browser_;
  bool keepEmpty_ = true;
  int64_t packetsSent_ = 0;
  TOutput* FOutputStream = nullptr;
  TMPEGTSDemultiplexer* FDemultiplexer = nullptr;
};

}  // namespace tessaro
