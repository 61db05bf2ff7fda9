// What the Search menu runs, apart from the window: the Find Next commands
// (the scan each does and the word that names it) and a search's outcome.
// The scans themselves are TStreamBrowser methods (StreamSearch.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "decode/TableRegistry.h"

namespace tessaro {

// A Find Next command of the Search menu: the next section of a table, the
// next payload start or the next PCR.
struct TFindNextCommand {
  enum class TScan : uint8_t { Table, PayloadStart, PCR };
  TScan scan;
  const TTableEntry* table;  // TScan::Table only
  const char* word;          // the command line's KIND word, which the menu names it by
};
// In menu order.
const std::vector<TFindNextCommand>& FindNextCommands();
// The command of a KIND word, or null.
const TFindNextCommand* FindNextCommand(std::string_view word);

// Outcome of a Search menu command: the hit, or why there is none.
struct TSearchOutcome {
  bool found = false;
  bool cancelled = false;  // the scan was cancelled; nothing changed
  int64_t offset = -1;
  std::string message;  // "No file loaded." or "Not found" when nothing was found
};

}  // namespace tessaro
