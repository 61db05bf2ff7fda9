#include "version/ElfSection.h"

#include <algorithm>
#include <array>
#include <fstream>

namespace tessaro {
namespace {

// ELF identification and header fields used here (System V ABI, "ELF Header"
// and "Section Header").
constexpr std::array<uint8_t, 4> kElfMagic{0x7F, 'E', 'L', 'F'};
constexpr size_t kIdentClass = 4;
constexpr size_t kIdentData = 5;
constexpr uint8_t kClass32 = 1;
constexpr uint8_t kClass64 = 2;
constexpr uint8_t kDataLittle = 1;
constexpr uint8_t kDataBig = 2;
constexpr uint32_t kSectionNoBits = 8;       // SHT_NOBITS: occupies no file bytes
constexpr uint16_t kIndexExtended = 0xFFFF;  // SHN_XINDEX
// Nothing sane needs more: a table of names or headers larger than this is refused.
constexpr uint64_t kTableLimit = 16u << 20;

// Where a file's fields lie in one ELF class.
struct TLayout {
  size_t headerSize;
  size_t shoff, shentsize, shnum, shstrndx;  // in the ELF header
  size_t entrySize;                          // of one section header
  size_t name, type, offset, size, link;     // in a section header
  size_t wordSize;                           // of the offset and size fields
};
constexpr TLayout kLayout32{52, 0x20, 0x2E, 0x30, 0x32, 40, 0, 4, 16, 20, 24, 4};
constexpr TLayout kLayout64{64, 0x28, 0x3A, 0x3C, 0x3E, 64, 0, 4, 24, 32, 40, 8};

class TElfFile {
 public:
  explicit TElfFile(const std::string& fileName) : in_(fileName, std::ios::binary) {
    if (!in_) return;
    in_.seekg(0, std::ios::end);
    const std::streamoff end = in_.tellg();
    size_ = end > 0 ? static_cast<uint64_t>(end) : 0;
  }

  // Reads count bytes at offset; false when they are not all inside the file.
  bool Read(uint64_t offset, uint64_t count, std::vector<uint8_t>& out) {
    if (offset > size_ || count > size_ - offset) return false;
    out.resize(static_cast<size_t>(count));
    if (count == 0) return true;
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
    in_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(count));
    return static_cast<uint64_t>(in_.gcount()) == count;
  }

 private:
  std::ifstream in_;
  uint64_t size_ = 0;
};

// Unsigned fields of either byte order; bytes past the buffer read as nothing.
class TFields {
 public:
  TFields(const std::vector<uint8_t>& bytes, bool bigEndian) : bytes_(bytes), big_(bigEndian) {}
  uint64_t At(size_t at, size_t width) const {
    if (at > bytes_.size() || width > bytes_.size() - at) return 0;
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) {
      const uint64_t byte = bytes_[at + (big_ ? i : width - 1 - i)];
      value = value << 8 | byte;
    }
    return value;
  }

 private:
  const std::vector<uint8_t>& bytes_;
  bool big_;
};

}  // namespace

std::optional<std::vector<uint8_t>> ReadElfSection(const std::string& fileName, const std::string& sectionName,
                                                   size_t maxSize) {
  TElfFile file(fileName);
  std::vector<uint8_t> header;
  if (!file.Read(0, kLayout32.headerSize, header) || !std::equal(kElfMagic.begin(), kElfMagic.end(), header.begin()))
    return std::nullopt;
  const uint8_t elfClass = header[kIdentClass];
  const uint8_t data = header[kIdentData];
  if ((elfClass != kClass32 && elfClass != kClass64) || (data != kDataLittle && data != kDataBig)) return std::nullopt;
  const TLayout& l = elfClass == kClass64 ? kLayout64 : kLayout32;
  const bool big = data == kDataBig;
  if (!file.Read(0, l.headerSize, header)) return std::nullopt;
  const TFields h(header, big);
  const uint64_t shoff = h.At(l.shoff, l.wordSize);
  const uint64_t entrySize = h.At(l.shentsize, 2);
  uint64_t count = h.At(l.shnum, 2);
  uint64_t nameIndex = h.At(l.shstrndx, 2);
  if (shoff == 0 || entrySize < l.entrySize) return std::nullopt;

  std::vector<uint8_t> entry;
  // More than 0xFF00 sections: the real count and name-table index are kept in section 0.
  if (count == 0 || nameIndex == kIndexExtended) {
    if (!file.Read(shoff, l.entrySize, entry)) return std::nullopt;
    const TFields first(entry, big);
    if (count == 0) count = first.At(l.size, l.wordSize);
    if (nameIndex == kIndexExtended) nameIndex = first.At(l.link, 4);
  }
  if (count == 0 || nameIndex >= count || count > kTableLimit / entrySize) return std::nullopt;
  std::vector<uint8_t> table;
  if (!file.Read(shoff, count * entrySize, table)) return std::nullopt;
  const TFields sections(table, big);
  auto field = [&](uint64_t index, size_t at, size_t width) {
    return sections.At(static_cast<size_t>(index * entrySize + at), width);
  };

  std::vector<uint8_t> names;
  const uint64_t namesSize = field(nameIndex, l.size, l.wordSize);
  if (field(nameIndex, l.type, 4) == kSectionNoBits || namesSize > kTableLimit ||
      !file.Read(field(nameIndex, l.offset, l.wordSize), namesSize, names))
    return std::nullopt;

  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t name = field(i, l.name, 4);
    // The name must end with its zero byte inside the table.
    if (name >= names.size() || names.size() - name <= sectionName.size()) continue;
    const auto start = names.begin() + static_cast<std::ptrdiff_t>(name);
    if (!std::equal(sectionName.begin(), sectionName.end(), start) || start[sectionName.size()] != 0) continue;
    const uint64_t size = field(i, l.size, l.wordSize);
    std::vector<uint8_t> contents;
    if (field(i, l.type, 4) == kSectionNoBits || size > maxSize ||
        !file.Read(field(i, l.offset, l.wordSize), size, contents))
      return std::nullopt;
    return contents;
  }
  return std::nullopt;
}

}  // namespace tessaro
