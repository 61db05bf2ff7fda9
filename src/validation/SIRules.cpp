// The SI tables' limits of ETSI TR 101 290 (5.2.3) and TS 101 211 (4.4).

#include "validation/SIRules.h"

namespace tessaro {

TIndicator WrongTableIndicator(int32_t pid) {
  switch (pid) {
    case 0x0010:
      return TIndicator::NIT_actual_error;
    case 0x0011:
      return TIndicator::SDT_actual_error;
    case 0x0012:
      return TIndicator::EIT_actual_error;
    case 0x0013:
      return TIndicator::RST_error;
    default:
      return TIndicator::TDT_error;
  }
}

bool TableAllowed(int32_t pid, uint32_t tableId) {
  if (tableId == 0x72) return true;
  switch (pid) {
    case 0x0010:  // NIT actual and other
      return tableId == 0x40 || tableId == 0x41;
    case 0x0011:  // SDT actual and other, BAT
      return tableId == 0x42 || tableId == 0x46 || tableId == 0x4A;
    case 0x0012:  // EIT present/following and schedule, actual and other
      return tableId >= 0x4E && tableId <= 0x6F;
    case 0x0013:  // RST
      return tableId == 0x71;
    case 0x0014:  // TDT and TOT
      return tableId == 0x70 || tableId == 0x73;
    default:
      return false;
  }
}

TSITable SITableOf(uint32_t tableId) {
  // Longest intervals of TS 101 211 (4.4): NIT and BAT 10 s; SDT and EIT
  // present/following of the actual stream 2 s, of other streams 10 s; EIT
  // schedule 10 s for the first eight days (two table_ids of four days
  // each), 30 s beyond; TDT and TOT 30 s. The RST is sent when running
  // states change, so only its shortest interval counts.
  switch (tableId) {
    case 0x40:
      return {"NIT actual", 10.0, TIndicator::NIT_actual_error};
    case 0x41:
      return {"NIT other", 10.0};
    case 0x42:
      return {"SDT actual", 2.0, TIndicator::SDT_actual_error};
    case 0x46:
      return {"SDT other", 10.0};
    case 0x4A:
      return {"BAT", 10.0};
    case 0x4E:
      return {"EIT actual present/following", 2.0, TIndicator::EIT_actual_error};
    case 0x4F:
      return {"EIT other present/following", 10.0};
    case 0x70:
      return {"TDT", 30.0, TIndicator::TDT_error};
    case 0x71:
      return {"RST", 0.0, TIndicator::RST_error};
    case 0x73:
      return {"TOT", 30.0};
    default:
      break;
  }
  if (tableId >= 0x50 && tableId <= 0x5F)
    return {"EIT actual schedule", tableId <= 0x51 ? 10.0 : 30.0, TIndicator::EIT_actual_error};
  if (tableId >= 0x60 && tableId <= 0x6F) return {"EIT other schedule", tableId <= 0x61 ? 10.0 : 30.0};
  return {};
}

}  // namespace tessaro
