#include "descriptors/UserDefinedDescriptor.h"

namespace tessaro {
namespace {

using namespace fields;

constexpr TFieldDesc kUserDefined[] = {
    Run("data", DescriptorLength()),
};

// Tag 0x80 stands for the whole range: its row carries the name
// "user_defined", and the descriptor_tag node shows the record's own tag.
constexpr TFieldTable kUserDefinedTable = TableEndingWithData(0x80, kUserDefined);

}  // namespace

bool Parse_user_defined(TBitStream4& reader, TFieldRecord& record) {
  return ParseDVBFields(__func__, kUserDefinedTable, reader, record);
}
bool TreeView_Update_user_defined(TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(__func__, kUserDefinedTable, parent, record);
}

}  // namespace tessaro
