// The descriptor dispatch table: one row per descriptor_tag with the
// descriptor's name, the descriptor lists that accept it, and the routines
// that make, parse and show its record. Each descriptor module owns the rows
// of its descriptors (DescriptorEntry.h); the registry puts them together by
// tag. Both descriptor lists and everything that needs a descriptor's name by
// its tag look descriptors up here.
#pragma once

#include <cstdint>

#include "core/TreeNode.h"
#include "descriptors/DescriptorEntry.h"
#include "descriptors/FieldTable.h"

namespace tessaro {

// The row of tag; a row with no name and no lists for tags no descriptor has.
// Tags 0x80 to 0xFE share the one "user_defined" row.
const TDescriptorEntry& FindDescriptor(uint8_t tag);

// The name shown on the descriptor node ("" for tags no descriptor has).
const char* DescriptorName(uint8_t tag);

// Shows a field table that is no module's own descriptor under the name of
// the row of its tag.
bool ShowFields(const char* routine, const TFieldTable& table, TTreeNode& parent, const TFieldRecord& record);

}  // namespace tessaro
