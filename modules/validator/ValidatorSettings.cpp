#include "ValidatorSettings.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

namespace tessaro {
namespace {

using TValues = std::map<std::string, std::string>;  // "Section/key" -> value

std::string CheckKey(TIndicator indicator) { return std::string("Checks/") + IndicatorName(indicator); }
constexpr const char* kThirdPriorityKey = "Checks/ThirdPriority";
constexpr const char* kPCRKey = "Limits/PCRRepetitionLimitMs";
constexpr const char* kPTSKey = "Limits/PTSRepetitionLimitMs";

TValues ReadValues(const std::string& path) {
  TValues values;
  std::ifstream in(path);
  std::string line;
  std::string section;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos || line[0] == ';' || line[0] == '#') continue;
    values[section + "/" + line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

std::optional<bool> Flag(const TValues& values, const std::string& key) {
  const auto it = values.find(key);
  if (it == values.end()) return std::nullopt;
  if (it->second == "true") return true;
  if (it->second == "false") return false;
  return std::nullopt;
}

double LimitSeconds(const TValues& values, const std::string& key, double fallback) {
  const auto it = values.find(key);
  if (it == values.end()) return fallback;
  char* end = nullptr;
  const long ms = std::strtol(it->second.c_str(), &end, 10);
  if (end == it->second.c_str() || *end != '\0' || ms < kLeastRepetitionLimitMs || ms > kGreatestRepetitionLimitMs)
    return fallback;
  return static_cast<double>(ms) / 1000.0;
}

std::string Milliseconds(double seconds) { return std::to_string(std::lround(seconds * 1000.0)); }

}  // namespace

std::string ValidatorSettingsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path folder;
  if (config != nullptr && config[0] == '/') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') return {};
    folder = std::filesystem::path(home) / ".config";
  }
  return (folder / "Quindel" / "Pelvanor.conf").string();
}

TCheckSettings LoadValidatorSettings() {
  TCheckSettings settings;
  const std::string path = ValidatorSettingsPath();
  if (path.empty()) return settings;
  const TValues values = ReadValues(path);
  for (int i = 0; i < kIndicatorCount; ++i) {
    const auto indicator = static_cast<TIndicator>(i);
    if (Priority(indicator) == 1) continue;
    if (const std::optional<bool> on = Flag(values, CheckKey(indicator)))
      settings.enabled[static_cast<size_t>(i)] = *on;
  }
  if (const std::optional<bool> on = Flag(values, kThirdPriorityKey)) settings.thirdPriority = *on;
  settings.pcrRepetitionLimit = LimitSeconds(values, kPCRKey, settings.pcrRepetitionLimit);
  settings.ptsRepetitionLimit = LimitSeconds(values, kPTSKey, settings.ptsRepetitionLimit);
  return settings;
}

bool SaveValidatorSettings(const TCheckSettings& settings) {
  const std::filesystem::path path = ValidatorSettingsPath();
  if (path.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  // Written beside and renamed over, so a failed write keeps the old settings.
  const std::filesystem::path partial = path.string() + ".new";
  {
    std::ofstream out(partial, std::ios::trunc);
    out << "[Checks]\n";
    for (int i = 0; i < kIndicatorCount; ++i) {
      const auto indicator = static_cast<TIndicator>(i);
      if (Priority(indicator) != 1)
        out << IndicatorName(indicator) << '=' << (settings.enabled[static_cast<size_t>(i)] ? "true" : "false") << '\n';
    }
    out << "ThirdPriority=" << (settings.thirdPriority ? "true" : "false") << '\n';
    out << "\n[Limits]\n"
        << "PCRRepetitionLimitMs=" << Milliseconds(settings.pcrRepetitionLimit) << '\n'
        << "PTSRepetitionLimitMs=" << Milliseconds(settings.ptsRepetitionLimit) << '\n';
    out.close();
    if (!out) {
      std::filesystem::remove(partial, ec);
      return false;
    }
  }
  std::filesystem::rename(partial, path, ec);
  return !ec;
}

}  // namespace tessaro
