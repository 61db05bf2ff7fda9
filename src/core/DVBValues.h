// The meaning of DVB SI values that the stream codes as raw bits: Modified
// Julian Date with BCD time (EN 300 468 Annex C), BCD durations and time
// offsets, BCD and binary frequencies, symbol rates and orbital positions,
// and ISO 639 language codes. Each returns the text shown between the
// brackets after a field's raw value.
#pragma once

#include <cstdint>
#include <string>

namespace tessaro {

// What a BCD field with a nibble above 9 shows in place of a number.
inline constexpr const char* kInvalidBCD = "invalid BCD";

struct TDate {
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
  bool operator==(const TDate&) const = default;
};

// The calendar date of a Modified Julian Date (day 0 is 1858-11-17). Whole
// integer arithmetic: right for every date, not only Annex C's range.
TDate MJDToDate(int64_t mjd);

// 16 bits of MJD then six BCD digits of hours, minutes and seconds:
// "2030-10-27 01:00:00 UTC". All 40 bits set is "undefined".
std::string MJDTimeText(uint64_t bits40);
// Six BCD digits: "hh:mm:ss".
std::string BCDDurationText(uint32_t bits24);
// Four BCD digits of hours and minutes with a sign: "+01:00", "-03:30".
std::string BCDOffsetText(uint32_t bits16, bool negative);

// Eight BCD digits in 10 kHz units: "11.778 GHz".
std::string SatelliteFrequencyText(uint32_t bits32);
// Eight BCD digits in 100 Hz units: "346.000 MHz".
std::string CableFrequencyText(uint32_t bits32);
// A binary count of 10 Hz: "474.000 MHz".
std::string TerrestrialFrequencyText(uint32_t value);
// Seven BCD digits in 100 symbol/s units: "27.500 Msymbol/s".
std::string SymbolRateText(uint32_t bits28);
// Four BCD digits in tenths of a degree: "19.2° E" (east) or "30.0° W".
std::string OrbitalPositionText(uint32_t bits16, bool east);

// The three characters of a 24-bit ISO 639 code; bytes 0x00..0x13 as ".".
std::string ISO639Text(uint32_t code);

}  // namespace tessaro
