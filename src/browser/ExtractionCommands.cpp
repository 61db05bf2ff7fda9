#include "browser/ExtractionCommands.h"

#include <sys/stat.h>

#include <array>
#include <optional>

#include "core/Diagnostics.h"
#include "core/TextHelpers.h"
#include "decode/PSIParsers.h"
#include "extract/Demultiplexer.h"
#include "extract/MPTS2SPTS.h"
#include "extract/Output.h"
#include "extract/PacketPayload.h"
#include "extract/TransportPacket.h"
#include "extract/TransportStreamFilter.h"

namespace tessaro {
namespace {

using TStatus = TExtractionOutcome::TStatus;

constexpr const char* kDone = "Done";
constexpr const char* kNoFile = "No file loaded.";

// What a command writes to, one file or the demultiplexer's many.
bool Close(TOutput& output) { return output.Close(); }
bool Close(TMPEGTSDemultiplexer& demux) { return demux.Finish(); }
void Remove(TOutput& output) { output.Remove(); }
void Remove(TMPEGTSDemultiplexer& demux) { demux.RemoveOutputs(); }

TExtractionOutcome Failure(std::string message) { return {TStatus::Failed, std::move(message)}; }

// The end of the input for a filter or converter: what it holds goes out, and the command finishes.
template <class Filter>
std::optional<TExtractionOutcome> Ended(Filter& filter) {
  filter.Flush();
  return std::nullopt;
}

}  // namespace

bool OutputExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

bool IsOpenStream(const TStreamBrowser& browser, const std::string& path) {
  const std::optional<TFileIdentity> input = browser.IsLoaded() ? browser.Stream()->Identity() : std::nullopt;
  return input && FileIdentityOf(path) == input;
}

// ---- The callbacks -----------------------------------------------------------------

int32_t TExtractionCommands::SendDataExtractPIDs(const uint8_t* packet, int32_t length) {
  return Guarded("TForm1.SendDataExtractPIDs", 0, [&] {
    FOutputStream->AddData(packet, length);
    ++packetsSent_;
    return 0;
  });
}

int32_t TExtractionCommands::SendDataExtractProgram(const uint8_t* packet, int32_t length) {
  return Guarded("TForm1.SendDataExtractProgram", 0, [&] {
    FOutputStream->AddData(packet, length);
    return 0;
  });
}

int32_t TExtractionCommands::SendDataExtractPESPID(const uint8_t* packet, int32_t length) {
  return Guarded("TForm1.SendDataExtractPESPID", 0, [&] {
    const TPayload payload = PacketPayload(packet + SlotSyncOffset(length));
    FOutputStream->AddData(payload.data, payload.length);
    ++packetsSent_;
    return 0;
  });
}

int32_t TExtractionCommands::SendDataExtractESPID(const uint8_t* packet, int32_t length) {
  return Guarded("TForm1.SendDataExtractESPID", 0, [&] {
    const TPayload payload = ElementaryPayload(packet + SlotSyncOffset(length));
    FOutputStream->AddData(payload.data, payload.length);
    ++packetsSent_;
    return 0;
  });
}

int32_t TExtractionCommands::SendDataExtractPES(const uint8_t* packet, int32_t length) {
  return Guarded("TForm1.SendDataExtractPES", 0, [&] {
    FDemultiplexer->AddPacket(packet, length);
    return 0;
  });
}

// ---- The read loop ------------------------------------------------------------------

template <class Outputs, class Feed, class End>
TExtractionOutcome TExtractionCommands::ReadAll(Outputs& outputs, Feed&& feed, End&& end, const char* done) {
  const int64_t size = browser_.FileSize();
  int64_t read = 0;
  const TScanEnd scan = browser_.ReadFile(
      kChunkSize,
      [&](const uint8_t* data, int64_t n) {
        feed(data, static_cast<int32_t>(n));
        return !outputs.Failed();
      },
      read);
  if (scan == TScanEnd::Cancelled) {
    Remove(outputs);
    return {TStatus::Cancelled, kExtractionCancelled};
  }
  if (!outputs.Failed() && read >= size) {
    if (std::optional<TExtractionOutcome> ended = end()) {
      Remove(outputs);
      return *std::move(ended);
    }
  }
  if (!outputs.Failed() && read < size) {
    Remove(outputs);
    return Failure("Cannot read file " + browser_.FileName() + ": only " + std::to_string(read) + " of " +
                   std::to_string(size) + " bytes could be read.");
  }
  if (!Close(outputs)) {
    Remove(outputs);
    return Failure(outputs.Error());
  }
  return {TStatus::Done, done};
}

TExtractionOutcome TExtractionCommands::FromPIDs(const std::vector<uint16_t>& pids, const std::string& fileName,
                                                 const char* done,
                                                 int32_t (TExtractionCommands::*send)(const uint8_t*, int32_t)) {
  if (!browser_.IsLoaded()) return Failure(kNoFile);
  TOutput output(fileName);
  output.SetInput(browser_.Stream()->Identity());
  if (!output.Create()) return Failure(output.Error());
  TIncExcTransportStreamFilter filter;
  filter.SetPacketType(PacketTypeOfSize(browser_.PacketSize()));
  filter.SetTSFilterType(1);
  filter.SetIncludeCount(static_cast<int32_t>(pids.size()));
  for (size_t i = 0; i < pids.size(); ++i) filter.SetIncludeArray(static_cast<int32_t>(i), pids[i]);
  filter.SetOnSendData([this, send](const uint8_t* packet, int32_t length) { return (this->*send)(packet, length); });
  FOutputStream = &output;
  packetsSent_ = 0;
  TExtractionOutcome outcome = ReadAll(
      output, [&](const uint8_t* data, int32_t n) { filter.AddData(data, n); },
      [&]() -> std::optional<TExtractionOutcome> {
        filter.Flush();
        if (packetsSent_ > 0 || keepEmpty_) return std::nullopt;
        TExtractionOutcome none{TStatus::NotFound, {}};
        for (const uint16_t pid : pids) {
          if (!none.message.empty()) none.message += '\n';
          none.message += "No packet of PID 0x" + HexDigits(pid, 4) + " in " + browser_.FileName();
        }
        return none;
      },
      done);
  FOutputStream = nullptr;
  return outcome;
}

TExtractionOutcome TExtractionCommands::ExtractPIDs(const std::vector<uint16_t>& pids, const std::string& fileName) {
  return FromPIDs(pids, fileName, "", &TExtractionCommands::SendDataExtractPIDs);
}

TExtractionOutcome TExtractionCommands::ExtractPES(uint16_t pid, const std::string& fileName) {
  return FromPIDs({pid}, fileName, "", &TExtractionCommands::SendDataExtractPESPID);
}

TExtractionOutcome TExtractionCommands::ExtractES(uint16_t pid, const std::string& fileName) {
  return FromPIDs({pid}, fileName, kDone, &TExtractionCommands::SendDataExtractESPID);
}

// ---- Program extraction ----------------------------------------------------------------

TExtractionOutcome TExtractionCommands::FindPMT(int32_t programNumber, int64_t& offset, std::vector<int32_t>& pids) {
  const TFileStream& stream = *browser_.Stream();
  const int32_t packetSize = browser_.PacketSize();
  TMPEGTSPMTPacketParserEx pmt;
  std::array<uint8_t, kMaxSlotSize> packet{};
  for (int64_t from = 0;; from = offset + packetSize) {
    if (!browser_.SearchPMTFromPos(from, offset)) {
      if (browser_.ScanCancelled()) return {TStatus::Cancelled, kExtractionCancelled};
      return {TStatus::NotFound, "PMT not found."};
    }
    // The packet's 188 bytes are what is parsed; the rest of its slot may be
    // missing at the end of the file.
    if (stream.ReadAt(offset, packet.data(), packetSize) < kTSPacketSize) return Failure("Error reading PMT");
    pmt.ParseData(packet.data(), packetSize, offset, &stream);
    if (!pmt.Decoded() || pmt.Table.program_number != programNumber) continue;
    for (const auto& program : pmt.Table.Streams) pids.push_back(program->elementary_PID);
    // The program's clock goes with it, also when no stream of its own carries it.
    pids.push_back(pmt.Table.PCR_PID);
    return {TStatus::Done, {}};
  }
}

TExtractionOutcome TExtractionCommands::ExtractProgram(int32_t programNumber, const std::string& fileName) {
  if (!browser_.IsLoaded()) return Failure(kNoFile);
  TOutput output(fileName);
  output.SetInput(browser_.Stream()->Identity());
  if (!output.Create()) return Failure(output.Error());
  int64_t pmtOffset = -1;
  std::vector<int32_t> pids;
  if (TExtractionOutcome found = FindPMT(programNumber, pmtOffset, pids); found.status != TStatus::Done) {
    output.Remove();
    return found;
  }
  uint8_t header[4] = {};
  browser_.Stream()->ReadAt(pmtOffset, header, 4);
  TMPTS2SPTS converter(PacketTypeOfSize(browser_.PacketSize()));
  converter.SetPMTPID(GetPacketPID(header, 4));
  converter.SetProgramNum(programNumber);
  const int32_t pcrPID = pids.back();
  pids.pop_back();
  for (int32_t pid : pids) converter.AddESPID(pid);
  if (pcrPID >= 1 && pcrPID <= 8190 && !converter.ExistingPID(pcrPID)) converter.AddESPID(pcrPID);
  converter.Prepare();
  converter.SetOnSendData(
      [this](const uint8_t* packet, int32_t length) { return SendDataExtractProgram(packet, length); });
  FOutputStream = &output;
  TExtractionOutcome outcome = ReadAll(
      output, [&](const uint8_t* data, int32_t n) { converter.AddData(data, n); }, [&] { return Ended(converter); },
      kDone);
  FOutputStream = nullptr;
  return outcome;
}

// ---- Demultiplexing --------------------------------------------------------------------

TExtractionOutcome TExtractionCommands::Demultiplex(const std::string& baseFileName, bool es) {
  if (!browser_.IsLoaded()) return Failure(kNoFile);
  TMPEGTSDemultiplexer demux;
  demux.SetSettings(baseFileName, es ? 0 : -1);
  demux.SetInput(browser_.Stream()->Identity());
  TIncExcTransportStreamFilter filter;
  filter.SetPacketType(PacketTypeOfSize(browser_.PacketSize()));
  filter.SetTSFilterType(2);
  filter.SetOnSendData([this](const uint8_t* packet, int32_t length) { return SendDataExtractPES(packet, length); });
  FDemultiplexer = &demux;
  TExtractionOutcome outcome = ReadAll(
      demux, [&](const uint8_t* data, int32_t n) { filter.AddData(data, n); }, [&] { return Ended(filter); }, kDone);
  FDemultiplexer = nullptr;
  return outcome;
}

}  // namespace tessaro
