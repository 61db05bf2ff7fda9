// Descriptor lists: one object holds the descriptors of one descriptor loop,
// parsed into one record each in loop order, and adds them to the decode tree.
//
// Tdescriptors serves the program_info and ES_info loops of the PMT and
// accepts the systems, DVB and user-defined descriptors; TDVBdescriptors
// serves the loops of the DVB SI tables and accepts the DVB and user-defined
// descriptors only. A tag the list does not accept ends the walk.
//
// A list holds at most 1024 descriptors. A loop holding more stops after the
// 1024th: the walk returns false with a diagnostic and keeps those 1024.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "core/BitStream.h"
#include "core/TreeNode.h"
#include "descriptors/DescriptorRecord.h"
#include "descriptors/DescriptorRegistry.h"

namespace tessaro {

class TDescriptorList {
 public:
  static constexpr int32_t kMaxDescriptors = 1024;

  ~TDescriptorList();
  TDescriptorList(const TDescriptorList&) = delete;
  TDescriptorList& operator=(const TDescriptorList&) = delete;
  // A moved-from list is empty.
  TDescriptorList(TDescriptorList&& other) noexcept;
  TDescriptorList& operator=(TDescriptorList&& other) noexcept;

  // Replaces the contents with the descriptors of the length-byte loop at
  // bytes. True when the walk reached the end of the loop; false when it
  // stopped early, keeping the descriptors before the stop.
  bool ParseDescriptors(const uint8_t* bytes, int32_t length);
  // Adds one subtree per descriptor under parent, in loop order.
  bool TreeViewUpdateDescriptors(TTreeNode& parent) const;
  // Frees every record; the list is then empty.
  void ClearDescriptors();

  int32_t Count() const { return count_; }
  // descriptor_tag of the descriptor at index (0 outside 0..Count()-1).
  int32_t Tag(int32_t index) const;
  // The record at index (null outside 0..Count()-1).
  const TDescriptorRecord* Record(int32_t index) const;
  template <class R>
  const R* RecordAs(int32_t index) const {
    return dynamic_cast<const R*>(Record(index));
  }

  // Routine names used in diagnostics ("Tdescriptors.ParseDescriptors" ...).
  struct TRoutineNames {
    const char* parse;
    const char* update;
    const char* clear;
    const char* destroy;
  };

 protected:
  TDescriptorList(TDescriptorLists list, const TRoutineNames& names) : list_(list), names_(&names) {}

 private:
  bool Walk(const uint8_t* bytes, int32_t length);

  std::array<std::unique_ptr<TDescriptorRecord>, kMaxDescriptors> records_{};
  std::array<int32_t, kMaxDescriptors> tags_{};
  int32_t count_ = 0;
  TBitStream4 reader_;  // the DVB parse routines read through it
  TDescriptorLists list_;
  const TRoutineNames* names_;
};

class Tdescriptors : public TDescriptorList {
 public:
  Tdescriptors();
};

class TDVBdescriptors : public TDescriptorList {
 public:
  TDVBdescriptors();
};

}  // namespace tessaro
