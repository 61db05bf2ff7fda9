// The Hex Edit model without widgets: the typing rules and the changed
// cells, and Save Changes: exactly the changed bytes, nothing over a file
// that another program changed after the dialog read it, and a write that
// fails told with the system's reason and the bytes already written.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "hex/HexEdit.h"
#include "support/SmallTmpfs.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;

constexpr const char* kFileChanged = "The file has changed since the dialog opened. Nothing was saved.";

// Another program writes bytes into the file, through a descriptor of its own.
void OtherWriter(const std::string& path, int64_t offset, const Bytes& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::pwrite(fd, bytes.data(), bytes.size(), offset), static_cast<ssize_t>(bytes.size()));
  ::close(fd);
}

Bytes TwoPackets() { return test::Slots({test::MakePacket({.pid = 0x0100}), test::MakePacket({.pid = 0x0101})}); }

TEST(HexEdit, TypingRulesAndTheChangedCells) {
  test::TempFile file(test::MakePacket({.pid = 0x0100}));
  auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::ReadWrite);
  THexEditModel model;
  ASSERT_TRUE(model.Load(*stream, 0, 188));
  // 188 bytes: 12 data rows after the header row, the last one with 12 bytes.
  EXPECT_EQ(model.RowCount(), 13);
  EXPECT_EQ(model.CellText(0, 12), "0x00000000000000B0");
  EXPECT_TRUE(model.Selectable(12, 12));
  EXPECT_FALSE(model.Selectable(13, 12));
  EXPECT_EQ(model.CellText(13, 12), "");
  EXPECT_FALSE(model.Selectable(THexEditModel::kCharColumn, 1));
  EXPECT_EQ(model.CellText(1, 1), "47");
  EXPECT_EQ(model.CellText(THexEditModel::kCharColumn, 1), "G..." + std::string(12, '\xFF'));

  EXPECT_EQ(model.SetEditText(1, 1, "1G"), "10");
  EXPECT_EQ(model.SetEditText(2, 1, "G1"), "00");
  EXPECT_EQ(model.SetEditText(3, 1, "  "), "00");
  // Half-typed bytes read as they show.
  EXPECT_EQ(model.SetEditText(4, 1, "5 "), "50");
  EXPECT_EQ(model.SetEditText(5, 1, " 5"), "05");
  EXPECT_EQ(model.SetEditText(6, 1, "ab"), "AB");
  // "00" over the 00 of the file changes nothing.
  ASSERT_EQ(model.ChangedCells().size(), 5u);
  EXPECT_FALSE(model.IsChanged(3, 1));
  EXPECT_EQ(model.ChangedCells()[0].value, 0x10);
  EXPECT_EQ(model.ChangedCells()[2].value, 0x50);
  EXPECT_EQ(model.ChangedCells()[3].value, 0x05);
  EXPECT_EQ(model.CellText(THexEditModel::kCharColumn, 1).substr(0, 6), "...P.\xAB");
  // Typed back to the byte of the file, a cell is no longer changed.
  model.SetEditText(1, 1, "47");
  EXPECT_FALSE(model.IsChanged(1, 1));
  EXPECT_EQ(model.GetChangedCellIndex(4, 1), 1);
}

TEST(HexEditSave, WritesTheChangedBytesOnly) {
  const Bytes original = test::Slots({test::MakePacket({.pid = 0x0100}), test::MakePacket({.pid = 0x0101})});
  test::TempFile file(original);
  auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::ReadWrite);
  THexEditModel model;
  ASSERT_TRUE(model.Load(*stream, 188, 188));
  model.SetEditText(4, 1, "1A");   // byte 188 + 3
  model.SetEditText(1, 12, "00");  // byte 188 + 176
  const THexSaveResult saved = model.SaveChanges(*stream);
  EXPECT_TRUE(saved.ok) << saved.message;
  Bytes expected = original;
  expected[188 + 3] = 0x1A;
  expected[188 + 176] = 0x00;
  EXPECT_EQ(test::ReadFileBytes(file.Path()), expected);
}

// The dialog read the range; another program changes the file before Save.
TEST(HexEditSave, NothingIsWrittenOverAFileChangedSinceTheDialogOpened) {
  const Bytes original = TwoPackets();
  {
    SCOPED_TRACE("cut to 8 bytes: no byte at 0x10, and no gap of zeros up to it");
    test::TempFile file(original);
    auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::ReadWrite);
    THexEditModel model;
    ASSERT_TRUE(model.Load(*stream, 0, 188));
    model.SetEditText(1, 2, "AB");  // byte 0x10
    ASSERT_EQ(::truncate(file.Path().c_str(), 8), 0);
    const THexSaveResult saved = model.SaveChanges(*stream);
    EXPECT_FALSE(saved.ok);
    EXPECT_EQ(saved.message, kFileChanged);
    EXPECT_EQ(test::ReadFileBytes(file.Path()), Bytes(original.begin(), original.begin() + 8));
  }
  {
    SCOPED_TRACE("same size, other bytes in the range shown");
    test::TempFile file(original);
    auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::ReadWrite);
    THexEditModel model;
    ASSERT_TRUE(model.Load(*stream, 188, 188));
    model.SetEditText(4, 1, "1A");  // byte 188 + 3
    OtherWriter(file.Path(), 188 + 100, {0xC0, 0xDE});
    const THexSaveResult saved = model.SaveChanges(*stream);
    EXPECT_FALSE(saved.ok);
    EXPECT_EQ(saved.message, kFileChanged);
    Bytes theirs = original;
    theirs[188 + 100] = 0xC0;
    theirs[188 + 101] = 0xDE;
    EXPECT_EQ(test::ReadFileBytes(file.Path()), theirs);
  }
  {
    SCOPED_TRACE("grown: bytes appended after the range shown");
    test::TempFile file(original);
    auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::ReadWrite);
    THexEditModel model;
    ASSERT_TRUE(model.Load(*stream, 0, 188));
    model.SetEditText(4, 1, "1A");
    OtherWriter(file.Path(), 376, {0x47, 0x1F, 0xFF});
    const THexSaveResult saved = model.SaveChanges(*stream);
    EXPECT_FALSE(saved.ok);
    EXPECT_EQ(saved.message, kFileChanged);
    Bytes theirs = original;
    theirs.insert(theirs.end(), {0x47, 0x1F, 0xFF});
    EXPECT_EQ(test::ReadFileBytes(file.Path()), theirs);
  }
  {
    SCOPED_TRACE("same size, a byte outside the range shown: the edit is saved beside it");
    test::TempFile file(original);
    auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::ReadWrite);
    THexEditModel model;
    ASSERT_TRUE(model.Load(*stream, 188, 188));
    model.SetEditText(4, 1, "1A");
    OtherWriter(file.Path(), 5, {0x77});
    const THexSaveResult saved = model.SaveChanges(*stream);
    EXPECT_TRUE(saved.ok) << saved.message;
    Bytes both = original;
    both[5] = 0x77;
    both[188 + 3] = 0x1A;
    EXPECT_EQ(test::ReadFileBytes(file.Path()), both);
  }
}

// 22 packets: the last, at 3948, goes on past the page boundary at 4096.
Bytes TwentyTwoPackets() {
  std::vector<Bytes> packets;
  packets.reserve(22);
  for (int i = 0; i < 22; ++i) packets.push_back(test::MakePacket({.pid = 0x0100, .cc = static_cast<uint8_t>(i % 16)}));
  return test::Slots(packets);
}

TEST(HexEditSave, AWriteThatFailsIsToldWithTheSystemsReason) {
  {
    SCOPED_TRACE("a stream opened for reading only");
    const Bytes original = TwoPackets();
    test::TempFile file(original);
    auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::Read);
    THexEditModel model;
    ASSERT_TRUE(model.Load(*stream, 0, 188));
    model.SetEditText(1, 1, "48");
    const THexSaveResult saved = model.SaveChanges(*stream);
    EXPECT_FALSE(saved.ok);
    EXPECT_EQ(saved.message, "The file is read-only and cannot be edited.");
    EXPECT_EQ(test::ReadFileBytes(file.Path()), original);
  }
  // A full disk: the byte in the packet's first page lands, the one in the
  // page that has no storage finds no room.
  const Bytes content = TwentyTwoPackets();
  test::FileOnFullDisk file(content, 4096);
  if (!file.Ok()) GTEST_SKIP() << file.Why();
  Bytes onDisk = content;
  std::fill(onDisk.begin() + 4096, onDisk.end(), 0x00);
  ASSERT_EQ(test::ReadFileBytes(file.Path()), onDisk);
  auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::ReadWrite);
  ASSERT_TRUE(stream);
  THexEditModel model;
  ASSERT_TRUE(model.Load(*stream, 3948, 188));
  model.SetEditText(12, 5, "C3");  // 3948 + 75 = 0xFB7
  model.SetEditText(6, 10, "C4");  // 3948 + 149 = 0x1001
  model.SetEditText(7, 10, "C5");  // 0x1002, after the failure: not tried
  const THexSaveResult saved = model.SaveChanges(*stream);
  EXPECT_FALSE(saved.ok);
  EXPECT_EQ(saved.message,
            "Cannot write to the file: No space left on device. The byte at offset 0x0000000000001001 could not be "
            "written. The byte written before it stays written: 0x0000000000000FB7.");
  onDisk[0xFB7] = 0xC3;
  EXPECT_EQ(test::ReadFileBytes(file.Path()), onDisk);
}

}  // namespace
}  // namespace tessaro
