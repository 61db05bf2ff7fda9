// The record a descriptor parse routine fills. Every descriptor type derives
// its own record from this one: descriptor_tag and descriptor_length first,
// then the descriptor's fields in syntax order.
#pragma once

#include <cstdint>

namespace tessaro {

struct TDescriptorRecord {
  uint32_t descriptor_tag = 0;
  uint32_t descriptor_length = 0;

  TDescriptorRecord() = default;
  TDescriptorRecord(const TDescriptorRecord&) = default;
  TDescriptorRecord& operator=(const TDescriptorRecord&) = default;
  virtual ~TDescriptorRecord() = default;
};

}  // namespace tessaro
