#include "descriptors/UserDefinedDescriptor.h"

namespace tessaro {
namespace {

using namespace fields;

constexpr TFieldDesc kUserDefined[] = {
    Run("data", DescriptorLength()),
};

}  // namespace

TESSARO_USER_DEFINED_DESCRIPTORS(TESSARO_DEFINE_DVB_FIELDS)

std::span<const TDescriptorEntry> UserDefinedDescriptorEntries() {
  static constexpr TDescriptorEntry kEntries[] = {TESSARO_USER_DEFINED_DESCRIPTORS(TESSARO_DVB_FIELDS_ENTRY)};
  return kEntries;
}

}  // namespace tessaro
