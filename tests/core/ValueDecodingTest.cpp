// DVB value texts: dates at the edges of the calendar arithmetic, BCD that
// holds no number, and each unit's scaling.
#include <gtest/gtest.h>

#include <string>

#include "core/DVBValues.h"

namespace tessaro {
namespace {

TEST(DVBValues, ModifiedJulianDatesAcrossTheirRange) {
  EXPECT_EQ(MJDToDate(0), (TDate{1858, 11, 17}));
  EXPECT_EQ(MJDToDate(15079), (TDate{1900, 3, 1}));  // 1900 has no 29 February
  EXPECT_EQ(MJDToDate(51603), (TDate{2000, 2, 29}));
  // Past the 32-bit seconds count of 1970: no wrap to 1901.
  EXPECT_EQ(MJDToDate(65443), (TDate{2038, 1, 20}));
  EXPECT_EQ(MJDToDate(65535), (TDate{2038, 4, 22}));  // the largest 16-bit MJD
  EXPECT_EQ(MJDToDate(88128), (TDate{2100, 3, 1}));   // 2100 has no 29 February either
}

TEST(DVBValues, MJDAndBCDTimes) {
  EXPECT_EQ(MJDTimeText(0xF551010000), "2030-10-27 01:00:00 UTC");
  EXPECT_EQ(MJDTimeText(0xFFFFFFFFFF), "undefined");
  EXPECT_EQ(MJDTimeText(0xC0791A4500), "invalid BCD");
  EXPECT_EQ(MJDTimeText(0xC07912450F), "invalid BCD");
  EXPECT_EQ(BCDDurationText(0x995959), "99:59:59");
  EXPECT_EQ(BCDDurationText(0x00A000), "invalid BCD");
  EXPECT_EQ(BCDOffsetText(0x0100, false), "+01:00");
  EXPECT_EQ(BCDOffsetText(0x0330, true), "-03:30");
  EXPECT_EQ(BCDOffsetText(0x01F0, false), "invalid BCD");
}

TEST(DVBValues, FrequenciesRatesAndPositions) {
  EXPECT_EQ(SatelliteFrequencyText(0x01177800), "11.778 GHz");
  EXPECT_EQ(SatelliteFrequencyText(0x01175025), "11.75025 GHz");  // 10 kHz digits kept
  EXPECT_EQ(CableFrequencyText(0x03121250), "312.125 MHz");
  EXPECT_EQ(TerrestrialFrequencyText(47425000), "474.250 MHz");
  EXPECT_EQ(SymbolRateText(0x0068750), "6.875 Msymbol/s");
  EXPECT_EQ(OrbitalPositionText(0x0192, true), "19.2\u00B0 E");
  EXPECT_EQ(OrbitalPositionText(0x0300, false), "30.0\u00B0 W");
  for (const std::string& text : {SatelliteFrequencyText(0x0117780A), CableFrequencyText(0xB3460000),
                                  SymbolRateText(0x02750C0), OrbitalPositionText(0x019F, true)})
    EXPECT_EQ(text, "invalid BCD");
}

TEST(DVBValues, LanguageCodesAsLetters) {
  EXPECT_EQ(ISO639Text(0x697461), "ita");
  EXPECT_EQ(ISO639Text(0x000000), "...");
}

}  // namespace
}  // namespace tessaro
