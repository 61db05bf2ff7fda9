// DVB value texts. BCD digits are checked before anything is shown: a nibble
// above 9 is no digit, and its field reads "invalid BCD" rather than a
// number the stream never meant.
#include "core/DVBValues.h"

#include <cstdio>

namespace tessaro {
namespace {

// The BCD digits of the low nibbles*4 bits of bits as a number, or -1.
int64_t BCDValue(uint64_t bits, int nibbles) {
  int64_t value = 0;
  for (int i = nibbles - 1; i >= 0; --i) {
    const auto digit = static_cast<int64_t>((bits >> (4 * i)) & 0xF);
    if (digit > 9) return -1;
    value = value * 10 + digit;
  }
  return value;
}

// value / 10^decimals with its trailing zeros cut down to at least three
// decimals (fewer when the unit has fewer), and the unit.
std::string Scaled(int64_t value, int decimals, const char* unit) {
  int64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  std::string fraction = std::to_string(value % scale);
  fraction.insert(0, static_cast<size_t>(decimals) - fraction.size(), '0');
  while (fraction.size() > 3 && fraction.back() == '0') fraction.pop_back();
  std::string text = std::to_string(value / scale);
  if (!fraction.empty()) text += "." + fraction;
  return text + " " + unit;
}

std::string TwoDigits(int64_t value) {
  char text[24];
  std::snprintf(text, sizeof(text), "%02lld", static_cast<long long>(value));
  return text;
}

// "hh:mm:ss" of six BCD digits, or empty when one is no digit.
std::string ClockText(uint32_t bits24) {
  const int64_t h = BCDValue(bits24 >> 16, 2);
  const int64_t m = BCDValue(bits24 >> 8, 2);
  const int64_t s = BCDValue(bits24, 2);
  if (h < 0 || m < 0 || s < 0) return {};
  return TwoDigits(h) + ":" + TwoDigits(m) + ":" + TwoDigits(s);
}

}  // namespace

TDate MJDToDate(int64_t mjd) {
  // Days counted from 0000-03-01 of the proleptic Gregorian calendar, split
  // into 400-year eras of 146097 days, so that February comes last.
  const int64_t days = mjd + 678881;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t inEra = days - era * 146097;
  const int64_t yearOfEra = (inEra - inEra / 1460 + inEra / 36524 - inEra / 146096) / 365;
  const int64_t dayOfYear = inEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;  // 0 = March
  TDate date;
  date.day = static_cast<int32_t>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  date.month = static_cast<int32_t>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  date.year = static_cast<int32_t>(yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0));
  return date;
}

std::string MJDTimeText(uint64_t bits40) {
  bits40 &= 0xFFFFFFFFFFULL;
  if (bits40 == 0xFFFFFFFFFFULL) return "undefined";
  const std::string clock = ClockText(static_cast<uint32_t>(bits40 & 0xFFFFFF));
  if (clock.empty()) return kInvalidBCD;
  const TDate date = MJDToDate(static_cast<int64_t>(bits40 >> 24));
  char text[16];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02d", date.year, date.month, date.day);
  return std::string(text) + " " + clock + " UTC";
}

std::string BCDDurationText(uint32_t bits24) {
  const std::string clock = ClockText(bits24 & 0xFFFFFF);
  return clock.empty() ? std::string(kInvalidBCD) : clock;
}

std::string BCDOffsetText(uint32_t bits16, bool negative) {
  const int64_t h = BCDValue(bits16 >> 8, 2);
  const int64_t m = BCDValue(bits16, 2);
  if (h < 0 || m < 0) return kInvalidBCD;
  return (negative ? "-" : "+") + TwoDigits(h) + ":" + TwoDigits(m);
}

std::string SatelliteFrequencyText(uint32_t bits32) {
  const int64_t value = BCDValue(bits32, 8);
  return value < 0 ? std::string(kInvalidBCD) : Scaled(value, 5, "GHz");
}

std::string CableFrequencyText(uint32_t bits32) {
  const int64_t value = BCDValue(bits32, 8);
  return value < 0 ? std::string(kInvalidBCD) : Scaled(value, 4, "MHz");
}

std::string TerrestrialFrequencyText(uint32_t value) { return Scaled(value, 5, "MHz"); }

std::string SymbolRateText(uint32_t bits28) {
  const int64_t value = BCDValue(bits28, 7);
  return value < 0 ? std::string(kInvalidBCD) : Scaled(value, 4, "Msymbol/s");
}

std::string OrbitalPositionText(uint32_t bits16, bool east) {
  const int64_t value = BCDValue(bits16, 4);
  if (value < 0) return kInvalidBCD;
  return std::to_string(value / 10) + "." + std::to_string(value % 10) + "\u00B0 " + (east ? "E" : "W");
}

std::string ISO639Text(uint32_t code) {
  std::string letters;
  for (int shift = 16; shift >= 0; shift -= 8) {
    const auto c = static_cast<uint8_t>(code >> shift);
    letters += c <= 0x13 ? '.' : static_cast<char>(c);
  }
  return letters;
}

}  // namespace tessaro
