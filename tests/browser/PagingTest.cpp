// The paging rules of the packet list, at the browser, where the window's
// tests (MainWindowTest: keys, wheel and scroll bar through the widgets) do
// not reach: Page keys, Home and End over 204-byte slots, a one-row list,
// selecting a packet, the offset a search starts from, and the walk over
// every page that list --all and the tests use.
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

TEST_F(Paging, PageKeysHomeAndEndJumpBySlots) {
  Open(test::TestDataPath("slots-204.ts"));
  const int64_t slots = browser.SlotCount();
  EXPECT_TRUE(browser.KeyPaging(TPagingKey::PageDown, 0));
  EXPECT_EQ(browser.ScrollPosition(), kRows);
  EXPECT_EQ(Top(), kRows * ps);
  EXPECT_EQ(browser.Row(0).Offset, Top());

  // End: the last slot, with the last row second from the bottom of the list.
  EXPECT_TRUE(browser.KeyPaging(TPagingKey::End, 0));
  EXPECT_EQ(browser.ScrollPosition(), slots - 1);
  EXPECT_EQ(Top(), (slots - 1 - (kRows - 2)) * ps);
  EXPECT_EQ(LastRow(), (slots - 1) * ps);
  EXPECT_TRUE(browser.KeyPaging(TPagingKey::PageDown, 0));
  EXPECT_EQ(browser.ScrollPosition(), slots - 1) << "Page Down stops at the last slot";
  EXPECT_TRUE(browser.KeyPaging(TPagingKey::Home, 7));
  EXPECT_EQ(Top(), 0);
}

// A list of one row: a wheel step either way is at an edge.
TEST_F(Paging, AWheelStepInAOneRowListIsAtAnEdge) {
  Open(test::TestDataPath("one-program.ts"));
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
