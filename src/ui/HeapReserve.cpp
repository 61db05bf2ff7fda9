#include "ui/HeapReserve.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace tessaro {

void ReserveWindowHeap(size_t bytes) {
  // Blocks up to the reserve's size come from the heap, and the heap keeps
  // what is freed instead of giving it back.
  mallopt(M_MMAP_THRESHOLD, static_cast<int>(bytes));
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(bytes * 2));
  auto* block = static_cast<uint8_t*>(std::malloc(bytes));
  if (block == nullptr) return;
  // Large pages where the system gives them on request: one fault per 2 MiB.
  const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t from = (reinterpret_cast<uintptr_t>(block) + page - 1) & ~(page - 1);
  const uintptr_t to = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(page - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
  for (size_t i = 0; i < bytes; i += page) static_cast<volatile uint8_t*>(block)[i] = 0;
  std::free(block);
}

}  // namespace tessaro
