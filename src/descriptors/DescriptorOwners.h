// Who a private descriptor belongs to: the owners that a registration
// descriptor's format_identifier or a private_data_specifier names, for the
// formats and specifiers whose owner is known. Empty when it is not.
#pragma once

#include <cstdint>
#include <string>

#include "descriptors/DescriptorRecord.h"

namespace tessaro {

std::string RegistrationOwner(uint32_t format_identifier);
std::string PrivateDataSpecifierOwner(uint32_t private_data_specifier);

// Follows a descriptor loop in order: a registration (0x05) or
// private_data_specifier (0x5F) descriptor names the owner of the private
// descriptors (0x80 to 0xFE) after it.
class TDescriptorOwner {
 public:
  // Takes note of the descriptor; returns the owner's name when it is a
  // private descriptor whose owner is known, else empty.
  std::string Next(int32_t tag, const TDescriptorRecord& record);

 private:
  std::string owner_;
};

}  // namespace tessaro
