// The PIDs and program numbers met in the open file: discovery order for the
// records, ascending text order for the list-box texts.
#pragma once

#include <bitset>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace tessaro {

class TSeenLists {
 public:
  // True when the PID was new ("0x" + 4 upper-case hex digits is added).
  bool CheckAddSeenPID(uint16_t pid);
  // True when the number was new ("# " + decimal is added).
  bool CheckAddSeenProgram(int32_t programNumber);
  void Clear();

  const std::vector<int32_t>& SeenPIDs() const { return pids_; }
  const std::vector<int32_t>& SeenPrograms() const { return programs_; }
  // The list-box texts, sorted as text.
  const std::vector<std::string>& PIDTexts() const { return pidTexts_; }
  const std::vector<std::string>& ProgramTexts() const { return programTexts_; }

 private:
  static void InsertSorted(std::vector<std::string>& texts, std::string text);

  std::bitset<0x10000> pidSeen_;
  std::set<int32_t> programSeen_;
  std::vector<int32_t> pids_;
  std::vector<int32_t> programs_;
  std::vector<std::string> pidTexts_;
  std::vector<std::string> programTexts_;
};

}  // namespace tessaro
