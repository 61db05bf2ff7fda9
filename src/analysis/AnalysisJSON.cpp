// The analysis as JSON: the keys and their order, nulls for the figures the
// stream gives no ground for.
#include "analysis/AnalysisJSON.h"

#include <nlohmann/json.hpp>

#include <optional>

namespace tessaro {
namespace {

nlohmann::json Value(const std::optional<double>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json Value(const std::optional<int32_t>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json ServicesJSON(const TStreamAnalysis& a) {
  nlohmann::json services = nlohmann::json::array();
  for (const TServiceFigures& s : a.services) {
    nlohmann::json streams = nlohmann::json::array();
    for (const TStreamFigures& es : s.streams)
      streams.push_back({{"pid", es.pid},
                         {"stream_type", es.streamType},
                         {"stream_type_name", es.streamTypeName},
                         {"language", es.language.empty() ? nlohmann::json(nullptr) : nlohmann::json(es.language)}});
    services.push_back({{"program_number", s.programNumber},
                        {"pmt_pid", Value(s.pmtPID)},
                        {"pcr_pid", Value(s.pcrPID)},
                        {"name", s.name},
                        {"provider", s.provider},
                        {"service_type", Value(s.serviceType)},
                        {"streams", streams}});
  }
  return services;
}

nlohmann::json TimelineJSON(const TTimelineFigures& t) {
  nlohmann::json rows = nlohmann::json::array();
  for (const TTimelineRow& row : t.rows) {
    nlohmann::json pids = nlohmann::json::object();
    for (const TTimelinePID& p : row.pids) pids[std::to_string(p.pid)] = p.packets;
    rows.push_back({{"time", Value(row.time)}, {"offset", row.offset}, {"pids", pids}});
  }
  return {{"bucket", Value(t.bucket)}, {"rows", rows}};
}

nlohmann::json ToJSON(const std::string& file, const TStreamAnalysis& a) {
  nlohmann::json pids = nlohmann::json::array();
  for (const TPIDFigures& f : a.pids)
    pids.push_back({{"pid", f.pid},
                    {"packets", f.packets},
                    {"share", f.share},
                    {"bitrate", Value(f.bitrate)},
                    {"bitrate_min", Value(f.bitrateMin)},
                    {"bitrate_max", Value(f.bitrateMax)},
                    {"cc_errors", f.ccErrors},
                    {"scrambled", f.scrambled},
                    {"pcrs", f.pcrs},
                    {"pes_starts", f.pesStarts},
                    {"first_offset", f.firstOffset},
                    {"last_offset", f.lastOffset},
                    {"description", f.description}});
  nlohmann::json pcr = nlohmann::json::array();
  for (const TPCRFigures& f : a.pcr)
    pcr.push_back({{"pid", f.pid},
                   {"count", f.count},
                   {"interval_min", Value(f.intervalMin)},
                   {"interval_avg", Value(f.intervalAvg)},
                   {"interval_max", Value(f.intervalMax)},
                   {"accuracy_max", Value(f.accuracyMax)},
                   {"accuracy_rms", Value(f.accuracyRMS)},
                   {"discontinuities", f.discontinuities}});
  nlohmann::json timestamps = nlohmann::json::array();
  for (const TTimestampFigures& f : a.timestamps)
    timestamps.push_back({{"pid", f.pid},
                          {"pts_pcr_min", Value(f.ptsPCRMin)},
                          {"pts_pcr_max", Value(f.ptsPCRMax)},
                          {"dts_pcr_min", Value(f.dtsPCRMin)},
                          {"dts_pcr_max", Value(f.dtsPCRMax)},
                          {"pts_first", Value(f.ptsFirst)},
                          {"pts_last", Value(f.ptsLast)}});
  return {{"file", file},
          {"size", a.fileSize},
          {"packet_size", a.packetSize},
          {"start_offset", a.startOffset},
          {"packets", a.packets},
          {"duration", Value(a.duration)},
          {"bitrate", Value(a.bitrate)},
          {"pcr_pid", a.pcrPID ? nlohmann::json(*a.pcrPID) : nlohmann::json(nullptr)},
          {"partial", a.partial},
          {"reached", a.reached},
          {"services", ServicesJSON(a)},
          {"pids", pids},
          {"pcr", pcr},
          {"timestamps", timestamps},
          {"timeline", TimelineJSON(a.timeline)}};
}

}  // namespace

std::string AnalysisJSONText(const std::string& file, const TStreamAnalysis& analysis) {
  return ToJSON(file, analysis).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace tessaro
