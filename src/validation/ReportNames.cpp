#include "validation/ReportNames.h"

#include <array>
#include <cwchar>
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

// Sized once and filled in place: a run's findings pass through both, one by one.
std::string Latin1FromWide(const wchar_t* text) {
  if (text == nullptr) return {};
  std::string out(std::wcslen(text), '\0');
  for (char& c : out) {
    const auto code = static_cast<uint32_t>(*text++);
    c = code <= 0xFF ? static_cast<char>(code) : '?';
  }
  return out;
}

std::wstring WideFromLatin1(const std::string& text) {
  std::wstring out(text.size(), L'\0');
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
  return out;
}

}  // namespace tessaro
