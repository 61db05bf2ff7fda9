#include "browser/SeenLists.h"

#include <algorithm>

#include "core/TextHelpers.h"

namespace tessaro {

void TSeenLists::InsertSorted(std::vector<std::string>& texts, std::string text) {
  texts.insert(std::upper_bound(texts.begin(), texts.end(), text), std::move(text));
}

bool TSeenLists::CheckAddSeenPID(uint16_t pid) {
  if (pidSeen_.test(pid)) return false;
  pidSeen_.set(pid);
  pids_.push_back(pid);
  InsertSorted(pidTexts_, "0x" + HexDigits(pid, 4));
  return true;
}

bool TSeenLists::CheckAddSeenProgram(int32_t programNumber) {
  if (!programSeen_.insert(programNumber).second) return false;
  programs_.push_back(programNumber);
  InsertSorted(programTexts_, "# " + std::to_string(programNumber));
  return true;
}

void TSeenLists::Clear() {
  pidSeen_.reset();
  programSeen_.clear();
  pids_.clear();
  programs_.clear();
  pidTexts_.clear();
  programTexts_.clear();
}

}  // namespace tessaro
