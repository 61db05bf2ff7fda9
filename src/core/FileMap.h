// TFileMap: one window of a file mapped read-only into a range of address
// space the map keeps reserved, so a walk reads the file's pages where the
// system caches them instead of copying them out. Mapping a new window
// replaces the last one in place.
//
// A file that shrinks while mapped would end the process with SIGBUS at the
// first access to a page it lost. A process-wide handler, set when the
// program starts (or a module that holds this code is loaded), turns such a
// fault in a mapped window into zeros for the rest of the window and records
// where it happened; the reader asks Vanished() and ends its walk there as a
// failed read. Faults at any other address go on to the handler that was
// there before, which is put back when a module holding this code unloads.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaro {

class TFileMap {
 public:
  TFileMap() = default;
  ~TFileMap();
  TFileMap(const TFileMap&) = delete;
  TFileMap& operator=(const TFileMap&) = delete;

  // Maps length bytes of the open file fd from offset (a multiple of the page
  // size), its pages brought in at once, read ahead in order from a disk;
  // the address of offset's byte, or
  // null when the system refuses (the caller then reads instead). The
  // address lies at the same place within a large page as the offset, so
  // the system can map its cached large pages whole. Bytes past the file's
  // end must not be read.
  const uint8_t* Map(int fd, int64_t offset, int64_t length);
  // Drops the window (the range stays reserved).
  void Unmap();
  // The file offset of the first page the file no longer had when it was
  // read through this window, or -1.
  int64_t Vanished() const;

 private:
  void Unreserve();

  uint8_t* reserved_ = nullptr;
  size_t reservedBytes_ = 0;
  uint8_t* window_ = nullptr;  // the mapped window, null when none
  size_t windowBytes_ = 0;     // whole pages
  int64_t windowOffset_ = 0;
  int slot_ = -1;  // the window's entry in the handler's table, -1 when it has none
};

}  // namespace tessaro
