// The stream analysis: one analysis pass with the per-PID and PCR observers,
// and the services, timestamp and timeline observers, turned into the
// figures a person reads: the stream line, the services, one row per PID,
// one per PCR PID and per stream with timestamps, and the timeline. Times
// are seconds and rates bits per second; a figure the stream gives no
// ground for is empty, never estimated.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/FileStream.h"

namespace tessaro {

struct TPIDFigures {
  int32_t pid = 0;
  int64_t packets = 0;
  double share = 0;  // of all packets, 0 to 1
  std::optional<double> bitrate;
  std::optional<double> bitrateMin;  // over whole one-second windows of stream time
  std::optional<double> bitrateMax;
  int64_t ccErrors = 0;
  int64_t scrambled = 0;
  int64_t pcrs = 0;
  int64_t pesStarts = 0;
  int64_t firstOffset = 0;
  int64_t lastOffset = 0;
  std::string description;  // "PAT", "video H.264 of program 1", "unreferenced", ...
};

struct TStreamFigures {
  int32_t pid = 0;
  int32_t streamType = 0;
  std::string streamTypeName;
  std::string language;  // ISO 639 code, or empty
  std::string what;      // "video H.264", "teletext", ...
};

struct TServiceFigures {
  int32_t programNumber = 0;
  std::optional<int32_t> pmtPID;  // empty: named by the SDT only
  std::optional<int32_t> pcrPID;  // empty: no PMT seen
  std::string name;               // UTF-8 (hex when the text's table cannot be decoded)
  std::string provider;
  std::optional<int32_t> serviceType;
  std::vector<TStreamFigures> streams;
};

// Per PID with PTS: PTS - PCR and DTS - PCR against the program's PCR, and
// the first and last PTS in file order.
struct TTimestampFigures {
  int32_t pid = 0;
  std::optional<double> ptsPCRMin;
  std::optional<double> ptsPCRMax;
  std::optional<double> dtsPCRMin;
  std::optional<double> dtsPCRMax;
  std::optional<double> ptsFirst;
  std::optional<double> ptsLast;
};

struct TTimelinePID {
  int32_t pid = 0;
  int64_t packets = 0;
  std::optional<double> accuracyMin;
  std::optional<double> accuracyMax;
  std::optional<double> ptsPCRMin;
  std::optional<double> ptsPCRMax;
  std::optional<double> dtsPCRMin;
  std::optional<double> dtsPCRMax;
  int64_t offset = -1;                // the PID's first packet in the row
  std::optional<double> intervalMax;  // the longest PCR interval closed in the row
  int64_t intervalOffset = -1;        // the packet whose PCR closed it
  int64_t accuracyOffset = -1;        // the packet of the PCR of largest |accuracy|
};

struct TTimelineRow {
  std::optional<double> time;      // seconds from the first PCR; empty without PCRs
  int64_t offset = 0;              // the row's first packet
  std::vector<TTimelinePID> pids;  // in PID order
};

struct TTimelineFigures {
  std::optional<double> bucket;    // seconds; empty when the rows are spans of bytes
  int64_t bucketBytes = 0;         // the span of a row in bytes when bucket is empty
  std::vector<TTimelineRow> rows;  // rows with packets, in time order; at most 4,096
};

struct TPCRFigures {
  int32_t pid = 0;
  int64_t count = 0;
  std::optional<double> intervalMin;
  std::optional<double> intervalAvg;
  std::optional<double> intervalMax;
  std::optional<double> accuracyMax;  // largest absolute difference from the prediction
  std::optional<double> accuracyRMS;
  int64_t accuracyMaxOffset = -1;  // the packet of the PCR with the largest difference
  int64_t discontinuities = 0;
};

struct TStreamAnalysis {
  bool isStream = false;  // false: no transport stream was recognised
  int32_t packetSize = 0;
  int64_t startOffset = 0;
  int64_t packets = 0;
  int64_t fileSize = 0;
  int64_t garbageBytes = 0;
  std::optional<double> duration;
  std::optional<double> bitrate;
  std::optional<int32_t> pcrPID;  // the reference PCR PID
  bool partial = false;           // cancelled, or the reads stopped short
  bool readFailed = false;
  int64_t reached = 0;
  std::vector<TPIDFigures> pids;              // PIDs with packets, in PID order
  std::vector<TPCRFigures> pcr;               // PIDs with PCRs, in PID order
  std::vector<TServiceFigures> services;      // in program_number order
  std::vector<TTimestampFigures> timestamps;  // PIDs with PTS, in PID order
  TTimelineFigures timeline;
};

struct TAnalysisOptions {
  std::function<void(int64_t done, int64_t fileSize)> progress;
  const std::atomic<bool>* cancel = nullptr;
  int64_t blockSize = 0;  // 0: the scanner's default
  // The figures so far, called on the pass's thread between two reads once
  // at least snapshotBytes of the file and snapshotInterval of wall time
  // have gone by since the last one (or since the start). A snapshot is
  // partial and reached says where it stands; the end's figures are the
  // result, never a snapshot. Unset: no figures are made before the end.
  std::function<void(const TStreamAnalysis& soFar)> snapshot;
  int64_t snapshotBytes = 4 * 1024 * 1024;
  std::chrono::milliseconds snapshotInterval{200};
};

// Finds the packet size and the first sync byte as opening a file does, then
// runs the pass over the rest of the file.
TStreamAnalysis AnalyzeStream(const TFileStream& stream, const TAnalysisOptions& options = {});

}  // namespace tessaro
