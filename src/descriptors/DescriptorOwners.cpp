// Owner names of private descriptors. format_identifier values are those
// the SMPTE registration authority lists for the audio formats met in DVB
// streams; private_data_specifier values those of the DVB registry.
#include "descriptors/DescriptorOwners.h"

#include "descriptors/FieldTable.h"
#include "descriptors/SystemsDescriptors.h"

namespace tessaro {
namespace {

constexpr uint32_t FourCC(const char (&text)[5]) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(text[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 8) | static_cast<uint8_t>(text[3]);
}

struct TOwner {
  uint32_t id;
  const char* name;
};

constexpr TOwner kRegistrations[] = {
    {FourCC("AC-3"), "AC-3"}, {FourCC("EAC3"), "E-AC-3"}, {FourCC("DTS1"), "DTS"},
    {FourCC("DTS2"), "DTS"},  {FourCC("DTS3"), "DTS"},
};

// Only values whose owner two independent listings agree on.
constexpr TOwner kPrivateDataSpecifiers[] = {
    {0x00000002, "BSkyB"},
    {0x00000028, "EACEM"},
    {0x00000029, "NorDig"},
    {0x0000233A, "Independent Television Commission"},
};

template <size_t N>
std::string Find(const TOwner (&owners)[N], uint32_t id) {
  for (const TOwner& owner : owners)
    if (owner.id == id) return owner.name;
  return {};
}

}  // namespace

std::string RegistrationOwner(uint32_t format_identifier) { return Find(kRegistrations, format_identifier); }

std::string PrivateDataSpecifierOwner(uint32_t private_data_specifier) {
  return Find(kPrivateDataSpecifiers, private_data_specifier);
}

std::string TDescriptorOwner::Next(int32_t tag, const TDescriptorRecord& record) {
  if (tag == 0x05) {
    if (const auto* registration = dynamic_cast<const Tregistration_descriptor_class*>(&record))
      owner_ = RegistrationOwner(registration->format_identifier);
  } else if (tag == 0x5F) {
    // The table-driven record keeps private_data_specifier as its one value.
    if (const auto* fields = dynamic_cast<const TFieldRecord*>(&record))
      owner_ =
          fields->values.empty() ? std::string() : PrivateDataSpecifierOwner(static_cast<uint32_t>(fields->values[0]));
  } else if (tag >= 0x80 && tag <= 0xFE) {
    return owner_;
  }
  return {};
}

}  // namespace tessaro
