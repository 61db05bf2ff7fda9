// The PID table as CSV.
#include "analysis/AnalysisTable.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

namespace tessaro {
namespace {

std::string Number(const char* format, auto value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Rate(const std::optional<double>& value) { return value ? Number("%.0f", *value) : std::string(); }

std::string Row(const std::vector<std::string>& fields) {
  std::string line;
  for (const std::string& field : fields) line += (line.empty() ? "" : ",") + CSVField(field);
  return line + "\r\n";
}

}  // namespace

std::string CSVField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string PIDTableCSV(const TStreamAnalysis& analysis) {
  std::string csv = Row({"PID", "Description", "Packets", "Share %", "Bitrate", "Bitrate min", "Bitrate max",
                         "CC errors", "Scrambled", "PCRs", "PES starts", "First offset"});
  for (const TPIDFigures& f : analysis.pids)
    csv += Row({Number("0x%04X", f.pid), f.description, Number("%" PRId64, f.packets), Number("%.2f", 100 * f.share),
                Rate(f.bitrate), Rate(f.bitrateMin), Rate(f.bitrateMax), Number("%" PRId64, f.ccErrors),
                Number("%" PRId64, f.scrambled), Number("%" PRId64, f.pcrs), Number("%" PRId64, f.pesStarts),
                Number("%" PRId64, f.firstOffset)});
  return csv;
}

}  // namespace tessaro
