// The DVB SI tables the third-priority checks of ETSI TR 101 290 (5.2.3)
// time, and their limits: which table_ids each SI PID may carry, the longest
// time between two sections of a table (the repetition rates of ETSI TS 101
// 211, 4.4, which TR 101 290 takes over), and the 25 ms that must pass between
// two sections of one sub-table.
#pragma once

#include <cstdint>

#include "validation/Indicators.h"

namespace tessaro {

// Two sections of one sub-table (same PID, table_id and table_id_extension)
// at least this far apart, from the end of one to the start of the next.
inline constexpr double kSIShortestInterval = 0.025;

struct TSITable {
  const char* name = nullptr;  // as findings name it: "SDT actual"
  // Longest time between two sections of one section_number of a sub-table
  // (SI_repetition_error); 0: none.
  double longest = 0;
  // The indicator that also watches the 25 ms, besides SI_repetition_error;
  // SI_repetition_error itself when the table has none of its own.
  TIndicator own = TIndicator::SI_repetition_error;
};

// The SI PIDs 0x0010 to 0x0014 whose table_ids are checked.
inline bool IsSIPID(int32_t pid) { return pid >= 0x0010 && pid <= 0x0014; }

// The indicator of a section of the wrong table on pid (0x0010 to 0x0014).
TIndicator WrongTableIndicator(int32_t pid);

// Whether pid (0x0010 to 0x0014) may carry tableId: TR 101 290, 3.1.a, 3.5.a,
// 3.6.a, 3.7 and 3.8, each allowing the stuffing table 0x72 too.
bool TableAllowed(int32_t pid, uint32_t tableId);

// The timing of a table allowed on its PID; name nullptr for one that is not
// timed (stuffing).
TSITable SITableOf(uint32_t tableId);

}  // namespace tessaro
