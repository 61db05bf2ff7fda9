#include "core/HeapReserve.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace tessaro {

void ReserveHeap() {
  // Blocks below the largest threshold glibc takes come from the heap, and
  // the heap keeps what is freed instead of giving it back; the reserve
  // itself stays below the threshold, or it would be a mapping of its own.
  constexpr size_t kThreshold = size_t{32} << 20;
  constexpr size_t bytes = kThreshold / 2;
  mallopt(M_MMAP_THRESHOLD, static_cast<int>(kThreshold));
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(kThreshold * 2));
  auto* block = static_cast<uint8_t*>(std::malloc(bytes));
  if (block == nullptr) return;
  // Large pages where the system gives them on request: one fault per 2 MiB,
  // for the whole large pages inside the block. None is touched here: the
  // first use of each takes it (clearing a large page nobody uses costs as
  // much as the faults it saves, on a virtual machine more).
  constexpr uintptr_t kLarge = uintptr_t{2} << 20;
  const uintptr_t from = (reinterpret_cast<uintptr_t>(block) + kLarge - 1) & ~(kLarge - 1);
  const uintptr_t to = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kLarge - 1);
  if (to <= from || madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE) != 0) {
    std::free(block);
    return;
  }
  std::free(block);
  // The freed block joins the top of the heap, which hands out its bytes from
  // the block's start: the small pages before the first large one (up to
  // 2 MiB, as the heap happens to lie) would take a fault per 4 KiB for the
  // first tables. A block over them, kept for the program's life, makes the
  // large pages come first: with the heap's header of one size_t before it,
  // it ends where they begin. It touches only its header's page. (Held in a
  // volatile: an allocation nothing reads may be left out by the compiler.)
  const uintptr_t head = from - reinterpret_cast<uintptr_t>(block);
  static void* volatile pad = nullptr;
  if (head >= 64) pad = std::malloc(head - sizeof(size_t));
}

}  // namespace tessaro
