#include "decode/ProgramMapTable.h"

#include "core/Diagnostics.h"

namespace tessaro {

uint32_t TProgramMapTable::ClearProgramList() {
  Streams.clear();
  return S_OK;
}

}  // namespace tessaro
