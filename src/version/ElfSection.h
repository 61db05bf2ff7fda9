// ReadElfSection: the contents of one named section of an ELF file (32- or
// 64-bit, either byte order), found through the section headers. The file may
// be anything: every offset, size and count it gives is checked against the
// file before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

// The section's bytes, or nothing: the file cannot be read, is not ELF, has no
// section of that name, the section has no bytes in the file, lies outside it
// or is larger than maxSize.
std::optional<std::vector<uint8_t>> ReadElfSection(const std::string& fileName, const std::string& sectionName,
                                                   size_t maxSize);

}  // namespace tessaro
