// The meanings that field descriptions attach to raw values (TFieldMeaning):
// the core's value texts in the shape a field list takes them, with the
// related field that completes a value.
#pragma once

#include <cstdint>
#include <string>

namespace tessaro::meanings {

std::string MJDTime(uint64_t value, uint64_t);
std::string Duration(uint64_t value, uint64_t);
// related: local_time_offset_polarity (1: west of Greenwich, behind UTC).
std::string Offset(uint64_t value, uint64_t polarity);
std::string SatelliteFrequency(uint64_t value, uint64_t);
std::string CableFrequency(uint64_t value, uint64_t);
std::string TerrestrialFrequency(uint64_t value, uint64_t);
// related: coding_type of the frequency_list_descriptor (1 satellite, 2
// cable, 3 terrestrial); nothing for "not defined".
std::string CodedFrequency(uint64_t value, uint64_t codingType);
std::string SymbolRate(uint64_t value, uint64_t);
// related: west_east_flag (1: east).
std::string OrbitalPosition(uint64_t value, uint64_t westEastFlag);

}  // namespace tessaro::meanings
