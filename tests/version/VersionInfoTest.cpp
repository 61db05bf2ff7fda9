// The version block: as the build writes it into the programs, and as the
// reader takes it from crafted ELF files, whole, broken and lying.
#include <gtest/gtest.h>

#include <cstring>

#include "support/TestSupport.h"
#include "version/VersionInfo.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::TempFile;

// A minimal ELF file: header, the section's bytes, the name table, then the
// section headers (null, the section, the name table).
struct ElfShape {
  bool is64 = true;
  bool big = false;
  std::string name = kVersionSection;
  uint32_t type = 1;  // SHT_PROGBITS
};

Bytes MakeElf(const Bytes& contents, const ElfShape& shape = {}) {
  const size_t header = shape.is64 ? 64 : 52;
  const size_t entry = shape.is64 ? 64 : 40;
  const size_t word = shape.is64 ? 8 : 4;
  const std::string names = std::string(1, '\0') + shape.name + '\0' + ".shstrtab" + '\0';
  const size_t contentsAt = header;
  const size_t namesAt = contentsAt + contents.size();
  const size_t tableAt = namesAt + names.size();
  Bytes file(tableAt + 3 * entry, 0);
  auto put = [&](size_t at, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i)
      file[at + (shape.big ? width - 1 - i : i)] = static_cast<uint8_t>(value >> (8 * i));
  };
  std::memcpy(file.data(), "\177ELF", 4);
  file[4] = shape.is64 ? 2 : 1;
  file[5] = shape.big ? 2 : 1;
  file[6] = 1;
  put(shape.is64 ? 0x28 : 0x20, tableAt, word);  // e_shoff
  put(shape.is64 ? 0x3A : 0x2E, entry, 2);       // e_shentsize
  put(shape.is64 ? 0x3C : 0x30, 3, 2);           // e_shnum
  put(shape.is64 ? 0x3E : 0x32, 2, 2);           // e_shstrndx
  auto section = [&](size_t index, uint32_t name, uint32_t type, size_t at, size_t size) {
    const size_t base = tableAt + index * entry;
    put(base, name, 4);
    put(base + 4, type, 4);
    put(base + (shape.is64 ? 24 : 16), at, word);
    put(base + (shape.is64 ? 32 : 20), size, word);
  };
  section(1, 1, shape.type, contentsAt, contents.size());
  section(2, static_cast<uint32_t>(shape.name.size() + 2), 3, namesAt, names.size());
  std::copy(contents.begin(), contents.end(), file.begin() + static_cast<std::ptrdiff_t>(contentsAt));
  std::copy(names.begin(), names.end(), file.begin() + static_cast<std::ptrdiff_t>(namesAt));
  return file;
}

Bytes Block(TVersionNumber version, uint32_t flags = 0, uint32_t type = VFT_APP) {
  const TVersionBlock block = MakeVersionBlock(version, flags, type);
  return Bytes(block.begin(), block.end());
}

// The message TVersionInfo raises for the file, or "" when it reads it.
std::string Outcome(const Bytes& file) {
  TempFile temp(file, ".bin");
  try {
    TVersionInfo info(temp.Path());
    return "";
  } catch (const ENoVersion& e) {
    return std::string("ENoVersion: ") + e.what();
  } catch (const EVersion& e) {
    return std::string("EVersion: ") + e.what();
  }
}

TEST(VersionInfo, FilesWithoutABlockHaveNoVersionInformation) {
  test::DebugCapture capture;
  // Not ELF, ELF without the section (this test program), empty, missing, a folder.
  TempFile empty({});
  for (const std::string& file : {test::TestDataPath("one-program.ts"), OwnExecutablePath(), empty.Path(),
                                  std::string("/nonexistent/tessaro"), std::string(TESSARO_TEST_DATA)}) {
    SCOPED_TRACE(file);
    try {
      TVersionInfo info(file);
      ADD_FAILURE() << "read a version";
    } catch (const ENoVersion& e) {
      EXPECT_STREQ(e.what(), "No version information");
    }
    uint16_t major = 7, minor = 7, build = 7, release = 7;
    EXPECT_FALSE(ReadExecutableVersion(file, major, minor, build, release));
  }
  ASSERT_EQ(capture.Lines().size(), 5u);
  EXPECT_EQ(capture.Lines()[0], "zrk: Error in ReadExecutableVersion call... No version information");
}

TEST(VersionInfo, ReadsEveryElfShapeWithComponentsAndFlagsInOrder) {
  const uint32_t all = VS_FF_DEBUG | VS_FF_PRERELEASE | VS_FF_PATCHED | VS_FF_PRIVATEBUILD | VS_FF_SPECIALBUILD;
  for (const bool is64 : {true, false}) {
    for (const bool big : {false, true}) {
      SCOPED_TRACE(std::to_string(is64) + std::to_string(big));
      TempFile file(MakeElf(Block({1, 4, 7, 17}, all, VFT_DLL), {is64, big}), ".bin");
      const TVersionInfo info(file.Path());
      EXPECT_EQ(info.Flags(),
                (std::vector<std::string>{"DEBUG", "PATCHED", "PRERELEASE", "PRIVATEBUILD", "SPECIALBUILD"}));
      EXPECT_EQ(info.FileType(), VFT_DLL);
      uint16_t major = 0, minor = 0, build = 0, release = 0;
      ASSERT_TRUE(ReadExecutableVersion(file.Path(), major, minor, build, release));
      EXPECT_EQ(std::vector<int>({major, minor, build, release}), std::vector<int>({1, 4, 17, 7}));
    }
  }
  TempFile some(MakeElf(Block({2, 0, 0, 3}, VS_FF_PRERELEASE | VS_FF_PATCHED)), ".bin");
  EXPECT_EQ(TVersionInfo(some.Path()).Flags(), (std::vector<std::string>{"PATCHED", "PRERELEASE"}));
}

TEST(VersionInfo, ABrokenBlockRaisesItsMessage) {
  const Bytes good = Block({2, 0, 0, 0});
  Bytes badSignature = good;
  badSignature[0] ^= 1;
  const std::vector<std::pair<Bytes, std::string>> cases{
      {{}, "ENoVersion: No version information"},
      {Bytes(good.begin(), good.begin() + 3), "EVersion: Error geting fixed version info"},
      {badSignature, "EVersion: Error geting fixed version info"},
      {Bytes(good.begin(), good.begin() + 40), "EVersion: Bad fixed version info size"},
      {Bytes(good.begin(), good.begin() + 52), "EVersion: Bad translation in version info"},
      {Bytes(good.begin(), good.begin() + 54), "EVersion: Bad translation in version info"},
  };
  for (const auto& [contents, message] : cases) EXPECT_EQ(Outcome(MakeElf(contents)), message) << contents.size();
  Bytes two = good;
  two.insert(two.end(), {0x07, 0x04, 0xE4, 0x04});
  TempFile file(MakeElf(two), ".bin");
  EXPECT_EQ(TVersionInfo(file.Path()).Translations(), (std::vector<uint32_t>{kTranslationEnglishUnicode, 0x04E40407}));
}

TEST(VersionInfo, LyingOrCutElfFilesNeverReadOutsideThemselves) {
  const std::string none = "ENoVersion: No version information";
  const Bytes good = MakeElf(Block({2, 0, 0, 0}));
  // Every cut of a good file: until the section headers are whole, there is no block.
  for (size_t size = 0; size < good.size(); ++size)
    ASSERT_EQ(Outcome(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size))), none) << size;
  EXPECT_EQ(Outcome(good), "");

  EXPECT_EQ(Outcome(MakeElf(Block({2, 0, 0, 0}), {.name = ".tessaro_versio"})), none);
  EXPECT_EQ(Outcome(MakeElf(Block({2, 0, 0, 0}), {.name = ".tessaro_version2"})), none);
  EXPECT_EQ(Outcome(MakeElf(Block({2, 0, 0, 0}), {.type = 8})), none);  // SHT_NOBITS: no bytes in the file
  const size_t table = good.size() - 3 * 64;
  auto lie = [&](size_t at, uint64_t value, size_t width) {
    Bytes file = good;
    for (size_t i = 0; i < width; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
    return Outcome(file);
  };
  for (const uint64_t huge : {uint64_t{good.size()}, uint64_t{1} << 40, ~uint64_t{0}, ~uint64_t{0} - 10}) {
    EXPECT_EQ(lie(0x28, huge, 8), none);              // e_shoff
    EXPECT_EQ(lie(table + 64 + 24, huge, 8), none);   // the section's offset
    EXPECT_EQ(lie(table + 64 + 32, huge, 8), none);   // its size
    EXPECT_EQ(lie(table + 64, huge, 4), none);        // its name
    EXPECT_EQ(lie(table + 128 + 24, huge, 8), none);  // the name table's offset
    EXPECT_EQ(lie(table + 128 + 32, huge, 8), none);  // its size
  }
  EXPECT_EQ(lie(0x3A, 16, 2), none);      // section headers too small
  EXPECT_EQ(lie(0x3E, 3, 2), none);       // the name table past the last section
  EXPECT_EQ(lie(0x3C, 0, 2), none);       // no count, and section 0 holds none either
  EXPECT_EQ(lie(0x3C, 0xFFFF, 2), none);  // more sections than the file has
  EXPECT_EQ(lie(4, 3, 1), none);          // unknown class
  // Extended numbering: the count and the name table's index come from section 0.
  Bytes extended = good;
  extended[0x3C] = extended[0x3D] = 0;
  extended[0x3E] = extended[0x3F] = 0xFF;
  extended[table + 32] = 3;
  extended[table + 40] = 2;
  EXPECT_EQ(Outcome(extended), "");
}

}  // namespace
}  // namespace tessaro
