#include "descriptors/DescriptorRegistry.h"

#include <array>
#include <span>

#include "descriptors/DVBDescriptors40.h"
#include "descriptors/DVBDescriptors60.h"
#include "descriptors/DVBIrregularDescriptors40.h"
#include "descriptors/DVBIrregularDescriptors60.h"
#include "descriptors/SystemsDescriptors.h"
#include "descriptors/UserDefinedDescriptor.h"

namespace tessaro {
namespace {

constexpr uint8_t kFirstUserDefined = 0x80;
constexpr uint8_t kLastUserDefined = 0xFE;
constexpr TDescriptorEntry kNoDescriptor{};

const std::array<const TDescriptorEntry*, 256>& RowsByTag() {
  static const std::array<const TDescriptorEntry*, 256> byTag = [] {
    std::array<const TDescriptorEntry*, 256> table{};
    table.fill(&kNoDescriptor);
    for (std::span<const TDescriptorEntry> module :
         {SystemsDescriptorEntries(), DVBDescriptors40Entries(), DVBIrregularDescriptors40Entries(),
          DVBDescriptors60Entries(), DVBIrregularDescriptors60Entries(), UserDefinedDescriptorEntries()}) {
      for (const TDescriptorEntry& row : module) table[row.tag] = &row;
    }
    // Tags 0x80 to 0xFE all use the row of 0x80.
    for (int tag = kFirstUserDefined + 1; tag <= kLastUserDefined; ++tag) table[tag] = table[kFirstUserDefined];
    return table;
  }();
  return byTag;
}

}  // namespace

const TDescriptorEntry& FindDescriptor(uint8_t tag) { return *RowsByTag()[tag]; }

const char* DescriptorName(uint8_t tag) {
  const char* name = FindDescriptor(tag).name;
  return name != nullptr ? name : "";
}

bool ShowFields(const char* routine, const TFieldTable& table, TTreeNode& parent, const TFieldRecord& record) {
  return ShowFields(routine, DescriptorName(table.tag), table, parent, record);
}

}  // namespace tessaro
