// Field-by-field reading of PSI and DVB SI sections through the bit reader.
// Every loop is held inside the loop or section that encloses it: a length
// field that claims more bytes is cut there, so a lying section never makes a
// decoder read outside its bytes or fill more loop entries than it has.
//
// Fixed fields are read as lists (descriptors/RecordFields.h) with the end of
// the section as the limit: a field that section_length leaves out is read
// from the bytes that follow the section in its packet or in the packets it
// was gathered from, and its node says so; a field past those bytes is not
// shown.
#pragma once

#include <cstdint>
#include <string>

#include "core/BitStream.h"
#include "core/ByteView.h"
#include "core/Diagnostics.h"
#include "core/RecordFields.h"
#include "descriptors/Descriptors.h"

namespace tessaro {

// A section as the gathering gave it: its 3 + section_length bytes, and from
// the same first byte every byte read with it (the rest of its packet, or of
// the packets it was gathered from).
struct TSectionBytes {
  TByteView section;
  TByteView gathered;
};

// Where the fixed runs of a section lay (see TFieldExtent): its header, the
// fixed fields between two of its loops, its CRC_32.
struct TSectionExtents {
  TFieldExtent header;
  TFieldExtent between;
  TFieldExtent crc;
};

inline constexpr const char* kBeyondSectionLength = " [beyond section_length]";

// The five fields every DVB SI section starts with.
struct TSISectionStart {
  int32_t table_id = 0;
  int32_t section_syntax_indicator = 0;
  int32_t reserved_future_use = 0;
  int32_t reserved = 0;
  int32_t section_length = 0;
};

class TSISectionReader {
 public:
  // Points bits at the first byte of the section, over every byte gathered.
  TSISectionReader(TBitStream4& bits, const TSectionBytes& bytes);

  // Reads a list of fixed fields into the members of record (entry: the
  // element of array members), recording where each lies; the section's end
  // is the limit.
  template <class List>
  TFieldExtent Fields(const List& list, ListRecord<List>& record, int32_t entry = 0) {
    return ReadRecordFields(bits_, list, record, int64_t{End()} * 8, entry);
  }

  // The byte that holds the next field (past End() once reads ran over it).
  int32_t Position() const { return bits_.BytePos; }
  // The end of the section by its section_length.
  int32_t End() const { return section_.Size(); }
  // Where a run of length bytes from here ends, cut at limit.
  int32_t RunEnd(int32_t length, int32_t limit) const;
  // Whether the next bytes bytes all lie before limit.
  bool Fits(int32_t bytes, int32_t limit) const { return bytes >= 0 && Position() + bytes <= limit; }
  // Moves forward to position; never backwards, never past the section.
  void MoveTo(int32_t position);

  // A descriptor loop of length bytes starting here. When length > 0 its
  // bytes, cut at limit, replace the contents of list; either way the reader
  // then stands after the (cut) loop.
  void DescriptorLoop(TDVBdescriptors& list, int32_t length, int32_t limit);

  // Reads the entries of a loop ending at loopEnd, calling readEntry(index)
  // once per entry, while the entry's fixed fields (fixedBytes) fit before
  // loopEnd and fewer than capacity entries were read. More entries than the
  // capacity end the loop with a diagnostic naming routine. The reader then
  // stands at loopEnd. Returns the number of entries read.
  template <class ReadEntry>
  int32_t Entries(int32_t loopEnd, int32_t fixedBytes, int32_t capacity, const char* routine, ReadEntry&& readEntry) {
    int32_t count = 0;
    while (Fits(fixedBytes, loopEnd)) {
      if (count == capacity) {
        DebugOutput(std::string("zrk: Error in ") + routine + " - more than " + std::to_string(capacity) +
                    " entries in the loop.");
        break;
      }
      readEntry(count);
      ++count;
    }
    MoveTo(loopEnd);
    return count;
  }

 private:
  TBitStream4& bits_;
  TByteView section_;
};

// Adds the nodes of the fields that a read with TSISectionReader::Fields
// found, marking those past section_length.
template <class List>
void AddSectionFields(TTreeNode& parent, const List& list, const ListRecord<List>& record,
                      const TFieldExtent& extent = {}, int32_t entry = 0) {
  AddRecordFields(parent, list, record, extent, kBeyondSectionLength, entry);
}

}  // namespace tessaro
