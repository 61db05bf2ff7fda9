// Field meanings over the core's DVB value texts.
#include "descriptors/FieldMeanings.h"

#include "core/DVBValues.h"

namespace tessaro::meanings {

std::string MJDTime(uint64_t value, uint64_t) { return MJDTimeText(value); }
std::string Duration(uint64_t value, uint64_t) { return BCDDurationText(static_cast<uint32_t>(value)); }
std::string Offset(uint64_t value, uint64_t polarity) {
  return BCDOffsetText(static_cast<uint32_t>(value), polarity == 1);
}
std::string SatelliteFrequency(uint64_t value, uint64_t) {
  return SatelliteFrequencyText(static_cast<uint32_t>(value));
}
std::string CableFrequency(uint64_t value, uint64_t) { return CableFrequencyText(static_cast<uint32_t>(value)); }
std::string TerrestrialFrequency(uint64_t value, uint64_t) {
  return TerrestrialFrequencyText(static_cast<uint32_t>(value));
}
std::string CodedFrequency(uint64_t value, uint64_t codingType) {
  switch (codingType) {
    case 1:
      return SatelliteFrequency(value, 0);
    case 2:
      return CableFrequency(value, 0);
    case 3:
      return TerrestrialFrequency(value, 0);
    default:
      return {};
  }
}
std::string SymbolRate(uint64_t value, uint64_t) { return SymbolRateText(static_cast<uint32_t>(value)); }
std::string OrbitalPosition(uint64_t value, uint64_t westEastFlag) {
  return OrbitalPositionText(static_cast<uint32_t>(value), westEastFlag == 1);
}

}  // namespace tessaro::meanings
