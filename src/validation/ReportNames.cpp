#include "validation/ReportNames.h"

#include <array>
#include <utility>

namespace tessaro {
namespace {

constexpr const char* kQuickTimeName = "QuickTime/MP4 Validator";

}  // namespace

std::string ReportTypeName(int32_t reportType) {
  static constexpr std::array<const char*, 4> kNames{"None", "Info", "Warning", "Error"};
  return reportType >= 0 && reportType < static_cast<int32_t>(kNames.size()) ? kNames[static_cast<size_t>(reportType)]
                                                                             : "Unknown";
}

std::string ModuleName(int32_t moduleId) {
  static constexpr std::array<std::pair<int32_t, const char*>, 10> kNames{{
      {0, "None"},
      {1, "General DirectShow Validator"},
      {2, "AVI Validator"},
      {3, "WAV Validator"},
      {4, "MPEG-2 TS Validator"},
      {5, "MPEG-2 PS Validator"},
      {6, kQuickTimeName},
      {7, "STL Validator"},
      {99, "Media Validator"},
      {101, "Custom Validator"},
  }};
  for (const auto& [id, name] : kNames)
    if (id == moduleId) return name;
  return "Unknown";
}

std::string DisplayedValidatorName(const std::string& name) {
  return name == "QuickTime Validator" ? kQuickTimeName : name;
}

std::string Latin1FromWide(const wchar_t* text) {
  std::string out;
  if (text == nullptr) return out;
  for (; *text != L'\0'; ++text) {
    const auto code = static_cast<uint32_t>(*text);
    out += code <= 0xFF ? static_cast<char>(code) : '?';
  }
  return out;
}

std::wstring WideFromLatin1(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  for (const char c : text) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

}  // namespace tessaro
