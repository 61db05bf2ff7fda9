// The user-defined descriptors, tags 0x80 to 0xFE (ETSI EN 300 468, user
// defined descriptor tags): every one is shown as "user_defined" with its
// own descriptor_tag and its body as one run of bytes, cut at the end of the
// descriptor loop.
#pragma once

#include <span>

#include "core/BitStream.h"
#include "core/TreeNode.h"
#include "descriptors/DescriptorEntry.h"
#include "descriptors/FieldTable.h"

namespace tessaro {

// X(name, tag, field list). Tag 0x80 stands for the whole range: the registry
// gives its row to every tag up to 0xFE, and the descriptor_tag node shows the
// record's own tag.
#define TESSARO_USER_DEFINED_DESCRIPTORS(X) X(user_defined, 0x80, kUserDefined)

TESSARO_USER_DEFINED_DESCRIPTORS(TESSARO_DECLARE_DVB_FIELDS)

// The row of the dispatch table for these descriptors.
std::span<const TDescriptorEntry> UserDefinedDescriptorEntries();

}  // namespace tessaro
