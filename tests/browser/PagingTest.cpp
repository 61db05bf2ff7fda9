// The paging rules of the packet list, at the browser: Up on row 0, Down on
// the last row, Page Up and Page Down, Home, End, the navigation scroll bar,
// a wheel step at an edge of the list, selecting a packet, the offset a search
// starts from, and the walk over every page that list --all and the tests use.
#include <gtest/gtest.h>

#include <set>

#include "browser/StreamBrowser.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;

constexpr int kRows = 20;

class Paging : public ::testing::Test {
 protected:
  void Open(const std::string& path) {
    browser.SetVisibleRows(kRows);
    ASSERT_TRUE(browser.LoadFile(path));
    ps = browser.PacketSize();
  }
  int64_t Top() const { return browser.TopOffset(); }
  int64_t LastRow() const { return browser.Row(browser.RowCount() - 1).Offset; }
  TStreamBrowser browser;
  int64_t ps = 188;
};

TEST_F(Paging, UpAndDownStepASlotOnlyAtTheEdgesOfThePage) {
  Open(test::TestDataPath("one-program.ts"));
  const int64_t size = browser.FileSize();
  EXPECT_FALSE(browser.KeyPaging(TPagingKey::Up, 3)) << "inside the page the list moves its selection";
  EXPECT_FALSE(browser.KeyPaging(TPagingKey::Down, kRows - 2));
  EXPECT_TRUE(browser.KeyPaging(TPagingKey::Up, 0));
  EXPECT_EQ(Top(), 0) << "the start of the file stays the top";
  EXPECT_TRUE(browser.KeyPaging(TPagingKey::Down, kRows - 1));
  EXPECT_EQ(Top(), ps);
  EXPECT_EQ(browser.Row(0).Offset, ps);
  EXPECT_EQ(browser.ScrollPosition(), 1);
  EXPECT_TRUE(browser.KeyPaging(TPagingKey::Up, 0));
  EXPECT_EQ(Top(), 0);
  EXPECT_EQ(browser.ScrollPosition(), 0);

  // At the end, Down on the last row keeps the last slot as the last row.
  EXPECT_TRUE(browser.KeyPaging(TPagingKey::End, 0));
  for (int i = 0; i < 3; ++i) browser.KeyPaging(TPagingKey::Down, browser.RowCount() - 1);
  EXPECT_LE(Top(), size - ps);
  EXPECT_EQ(LastRow(), size - ps);
}

TEST_F(Paging, PageKeysHomeEndAndTheScrollBarJumpBySlots) {
  Open(test::TestDataPath("slots-204.ts"));
  const int64_t slots = browser.SlotCount();
  EXPECT_TRUE(browser.KeyPaging(TPagingKey::PageDown, 0));
  EXPECT_EQ(browser.ScrollPosition(), kRows);
  EXPECT_EQ(Top(), kRows * ps);
  EXPECT_EQ(browser.Row(0).Offset, Top());
  EXPECT_TRUE(browser.KeyPaging(TPagingKey::PageUp, 5));
  EXPECT_TRUE(browser.KeyPaging(TPagingKey::PageUp, 5));
  EXPECT_EQ(browser.ScrollPosition(), 0) << "Page Up stops at the first slot";
  EXPECT_EQ(Top(), 0);

  // End: the last slot, with the last row second from the bottom of the list.
  EXPECT_TRUE(browser.KeyPaging(TPagingKey::End, 0));
  EXPECT_EQ(browser.ScrollPosition(), slots - 1);
  EXPECT_EQ(Top(), (slots - 1 - (kRows - 2)) * ps);
  EXPECT_EQ(LastRow(), (slots - 1) * ps);
  EXPECT_TRUE(browser.KeyPaging(TPagingKey::PageDown, 0));
  EXPECT_EQ(browser.ScrollPosition(), slots - 1) << "Page Down stops at the last slot";
  EXPECT_TRUE(browser.KeyPaging(TPagingKey::Home, 7));
  EXPECT_EQ(Top(), 0);

  // The scroll bar: a slot from the first sync byte on; its end shows the last three slots.
  browser.ScrollPaging(300);
  EXPECT_EQ(browser.Row(0).Offset, 300 * ps);
  browser.ScrollPaging(slots + 50);
  EXPECT_EQ(browser.ScrollPosition(), browser.ScrollMaximum());
  EXPECT_EQ(Top(), browser.FileSize() - 3 * ps);
  EXPECT_EQ(browser.RowCount(), 3);
}

TEST_F(Paging, AWheelStepMovesTheSelectionAndPagesAtAnEdge) {
  Open(test::TestDataPath("one-program.ts"));
  const auto step = [&](int row, bool up) { return browser.WheelStep(row, kRows, up); };
  EXPECT_EQ(step(5, false).row, 6);
  EXPECT_FALSE(step(5, false).atEdge);
  EXPECT_EQ(step(5, true).row, 4);
  EXPECT_EQ(step(0, true).row, 0);
  EXPECT_TRUE(step(0, true).atEdge);
  EXPECT_EQ(step(kRows - 1, false).row, kRows - 1);
  EXPECT_TRUE(step(kRows - 1, false).atEdge);
  // A list of one row: both directions are at an edge.
  EXPECT_TRUE(browser.WheelStep(0, 1, false).atEdge);
  EXPECT_TRUE(browser.WheelStep(0, 1, true).atEdge);
}

TEST_F(Paging, SelectingAPacketAndWhereASearchStarts) {
  Open(test::TestDataPath("one-program.ts"));
  // The PMT at 0x178: its page is loaded and its tree built.
  ASSERT_TRUE(browser.SelectPacket(0x178));
  EXPECT_EQ(Top(), 0x178);
  ASSERT_FALSE(browser.Tree().children.empty());
  EXPECT_EQ(browser.SelectedHeader().PID, 0x1000);
  // Off the packet grid there is no packet to select; the tree stays.
  EXPECT_FALSE(browser.SelectPacket(0x178 + 1));
  EXPECT_EQ(browser.SelectedHeader().PID, 0x1000);
  // The last packet, where too few bytes remain for a page of its own.
  const int64_t last = browser.FileSize() - ps;
  EXPECT_TRUE(browser.SelectPacket(last));
  EXPECT_EQ(browser.RowCount(), 1);

  browser.RefreshPosition(0);
  EXPECT_EQ(browser.SelectedOffset(3), 3 * ps);
  EXPECT_EQ(browser.SelectedOffset(-1), 0) << "no selection: the first row";
  EXPECT_EQ(browser.SelectedOffset(kRows + 5), 0);
}

TEST_F(Paging, TheWalkVisitsEveryPacketOncePastGarbageInTheMiddle) {
  // 300 packets, then 40,000 bytes (more than a page) without a sync byte, then 300 more.
  std::vector<Bytes> packets;
  for (int i = 0; i < 300; ++i) packets.push_back(test::MakePacket({.pid = 0x100, .cc = static_cast<uint8_t>(i)}));
  Bytes file = test::Slots(packets);
  file.insert(file.end(), 40000, 0x00);
  const Bytes tail = test::Slots(packets);
  file.insert(file.end(), tail.begin(), tail.end());
  test::TempFile stream(file);
  Open(stream.Path());
  std::set<int64_t> seen;
  int pages = 0;
  browser.WalkPages([&] {
    ++pages;
    for (int row = 0; row < browser.RowCount(); ++row) EXPECT_TRUE(seen.insert(browser.Row(row).Offset).second);
    return true;
  });
  EXPECT_EQ(seen.size(), 600u);
  EXPECT_TRUE(seen.count(300 * 188 + 40000)) << "the first packet after the garbage";
  // false from the visitor ends the walk.
  int visited = 0;
  browser.WalkPages([&] { return ++visited < 2; });
  EXPECT_EQ(visited, 2);
  EXPECT_GT(pages, 2);
}

}  // namespace
}  // namespace tessaro
