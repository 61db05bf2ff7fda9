// The version block every program carries in an ELF section: a fixed-file-info
// block of 52 bytes in the classic layout (thirteen little-endian 32-bit words
// opening with the signature 0xFEEF04BD) followed by a translation table of
// 32-bit entries. The build writes it (tessaro_version_block() in CMake compiles
// MakeVersionBlock into the program); TVersionInfo reads it back.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>

// A string literal, so that it can name the section in an attribute.
#define TESSARO_VERSION_SECTION ".tessaro_version"

namespace tessaro {

inline constexpr const char* kVersionSection = TESSARO_VERSION_SECTION;
inline constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
inline constexpr size_t kFixedFileInfoSize = 52;

// The words of the fixed block, in their order.
enum TFixedWord : size_t {
  kSignature,
  kStrucVersion,
  kFileVersionMS,
  kFileVersionLS,
  kProductVersionMS,
  kProductVersionLS,
  kFileFlagsMask,
  kFileFlags,
  kFileOS,
  kFileType,
  kFileSubtype,
  kFileDateMS,
  kFileDateLS,
  kFixedWordCount
};
static_assert(kFixedWordCount * 4 == kFixedFileInfoSize);

// File flag bits.
inline constexpr uint32_t VS_FF_DEBUG = 0x01;
inline constexpr uint32_t VS_FF_PRERELEASE = 0x02;
inline constexpr uint32_t VS_FF_PATCHED = 0x04;
inline constexpr uint32_t VS_FF_PRIVATEBUILD = 0x08;
inline constexpr uint32_t VS_FF_SPECIALBUILD = 0x20;
inline constexpr uint32_t VS_FFI_FILEFLAGSMASK = 0x3F;
// File types: a program, or a library loaded at run time (the validation module).
inline constexpr uint32_t VFT_APP = 1;
inline constexpr uint32_t VFT_DLL = 2;
// One translation: US English (0x0409) in the low half, the Unicode code page (1200) in the high half.
inline constexpr uint32_t kTranslationEnglishUnicode = 0x04B00409;

// major.minor.release.build; ordered as one number, major first.
struct TVersionNumber {
  uint16_t major = 0;
  uint16_t minor = 0;
  uint16_t release = 0;
  uint16_t build = 0;
  auto operator<=>(const TVersionNumber&) const = default;
};

constexpr uint32_t LittleEndianWord(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

using TVersionBlock = std::array<uint8_t, kFixedFileInfoSize + 4>;

// The block of one program: file and product version alike, one translation.
constexpr TVersionBlock MakeVersionBlock(TVersionNumber version, uint32_t fileFlags, uint32_t fileType) {
  const uint32_t ms = uint32_t{version.major} << 16 | version.minor;
  const uint32_t ls = uint32_t{version.release} << 16 | version.build;
  const std::array<uint32_t, kFixedWordCount + 1> words{
      kFixedFileInfoSignature,   0x00010000, ms, ls, ms, ls, VS_FFI_FILEFLAGSMASK, fileFlags, 0, fileType, 0, 0, 0,
      kTranslationEnglishUnicode};
  TVersionBlock block{};
  for (size_t i = 0; i < words.size(); ++i)
    for (size_t b = 0; b < 4; ++b) block[4 * i + b] = static_cast<uint8_t>(words[i] >> (8 * b));
  return block;
}

}  // namespace tessaro
