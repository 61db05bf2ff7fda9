// The main thread's heap, faulted in once at start in large pages and kept:
// the buffers and tables a command or a newly shown window fills then reuse
// pages the process already has, instead of taking a page fault per 4 KiB,
// which on virtual machines costs about 10 us each (milliseconds for a pass's
// tables, tens of milliseconds for one window's images).
#pragma once

namespace tessaro {

// Call once, early, on the main thread (the main arena is its heap): 16 MiB.
void ReserveHeap();

}  // namespace tessaro
