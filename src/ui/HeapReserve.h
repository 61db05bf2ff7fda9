// The window thread's heap, faulted in once at start in large pages and kept:
// the images a newly shown window and its plots paint into then reuse pages
// the process already has, instead of taking a page fault per 4 KiB on the
// GUI thread, which on virtual machines costs about 10 us each (tens of
// milliseconds for one window).
#pragma once

#include <cstddef>

namespace tessaro {

// Call once, early, on the thread that runs the window (the main arena is its heap).
void ReserveWindowHeap(size_t bytes = size_t{32} << 20);

}  // namespace tessaro
