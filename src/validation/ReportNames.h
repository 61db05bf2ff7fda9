// The names the validation window shows: report types, validator modules by
// id, and the conversions between the wide strings of the module contract and
// the program's 8-bit texts (Latin-1).
#pragma once

#include <cstdint>
#include <string>

namespace tessaro {

inline constexpr int32_t kReportNone = 0;
inline constexpr int32_t kReportInfo = 1;
inline constexpr int32_t kReportWarning = 2;
inline constexpr int32_t kReportError = 3;

// The module id of our transport stream validator.
inline constexpr int32_t kMPEG2TSValidatorId = 4;

// "None", "Info", "Warning", "Error", or "Unknown".
std::string ReportTypeName(int32_t reportType);
// The display name of a module id ("MPEG-2 TS Validator" for 4, "Unknown" for ids without one).
std::string ModuleName(int32_t moduleId);
// A module's own name as the window keeps it ("QuickTime Validator" becomes "QuickTime/MP4 Validator").
std::string DisplayedValidatorName(const std::string& name);

// Wide characters above 0xFF have no 8-bit form and become '?'. A null text is empty.
std::string Latin1FromWide(const wchar_t* text);
std::wstring WideFromLatin1(const std::string& text);

}  // namespace tessaro
