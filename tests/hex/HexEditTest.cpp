// The Hex Edit model without widgets: the typing rules and the changed
// cells, and Save Changes: exactly the changed bytes, nothing over a file
// that another program changed after the dialog read it, and a write to a
// stream that cannot be written told as such.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "hex/HexEdit.h"
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

// The dialog read the range; another program changes the file before Save.
// Only a change outside the range shown, with the size kept, lets the edit through.
TEST(HexEditSave, NothingIsWrittenOverAFileChangedSinceTheDialogOpened) {
  const Bytes original = TwoPackets();
  struct Change {
    const char* what;
    int64_t shown;  // the 188 bytes read from here
    int row, column;
    int64_t edited;  // the byte that edit stands for
    int64_t at;      // where the other program writes, or cuts the file when it writes nothing
    Bytes theirs;
    bool saved;
  };
  const Change changes[] = {
      {"cut to 8 bytes: no byte at 0x10, and no gap of zeros up to it", 0, 1, 2, 0x10, 8, {}, false},
      {"same size, other bytes in the range shown", 188, 4, 1, 188 + 3, 188 + 100, {0xC0, 0xDE}, false},
      {"grown: bytes appended after the range shown", 0, 4, 1, 3, 376, {0x47, 0x1F, 0xFF}, false},
      {"same size, a byte outside the range shown: the edit is saved beside it", 188, 4, 1, 188 + 3, 5, {0x77}, true},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.what);
    test::TempFile file(original);
    auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::ReadWrite);
    THexEditModel model;
    ASSERT_TRUE(model.Load(*stream, c.shown, 188));
    model.SetEditText(c.row, c.column, "1A");
    Bytes expected = original;
    if (c.theirs.empty()) {
      ASSERT_EQ(::truncate(file.Path().c_str(), c.at), 0);
      expected.resize(static_cast<size_t>(c.at));
    } else {
      OtherWriter(file.Path(), c.at, c.theirs);
      expected.resize(std::max(expected.size(), static_cast<size_t>(c.at) + c.theirs.size()));
      std::copy(c.theirs.begin(), c.theirs.end(), expected.begin() + c.at);
    }
    const THexSaveResult saved = model.SaveChanges(*stream);
    EXPECT_EQ(saved.ok, c.saved) << saved.message;
    if (c.saved)
      expected[static_cast<size_t>(c.edited)] = 0x1A;
    else
      EXPECT_EQ(saved.message, kFileChanged);
    EXPECT_EQ(test::ReadFileBytes(file.Path()), expected);
  }
}

// A stream opened for reading only. (A write that fails on a full disk is
// HexWindowTest's HexEditWriteThatFailsIsToldWithTheSystemsReason.)
TEST(HexEditSave, AWriteThatFailsIsToldWithTheSystemsReason) {
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

}  // namespace
}  // namespace tessaro
