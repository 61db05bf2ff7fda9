// The user-defined descriptors, tags 0x80 to 0xFE (ETSI EN 300 468, user
// defined descriptor tags): every one is shown as "user_defined" with its
// own descriptor_tag and its body as one run of bytes, cut at the end of the
// descriptor loop.
#pragma once

#include "core/BitStream.h"
#include "core/TreeNode.h"
#include "descriptors/FieldTable.h"

namespace tessaro {

bool Parse_user_defined(TBitStream4& reader, TFieldRecord& record);
bool TreeView_Update_user_defined(TTreeNode& parent, const TFieldRecord& record);

}  // namespace tessaro
