// The hex view without widgets: its lines, its keys and scroll bar over the
// whole file (one larger than 4 GiB too) and the bytes it marks for a field
// that lies in two packets.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <numeric>

#include "hex/HexView.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;

Bytes Counting(size_t size) {
  Bytes bytes(size);
  std::iota(bytes.begin(), bytes.end(), uint8_t{0});
  return bytes;
}

// End on a 1,000-byte file: one line of 8 bytes at 0x3E0, its hex part padded to 50.
TEST(HexView, TheLastLineIsPaddedAtTheEndOfTheFile) {
  test::TempFile file(Counting(1000));
  THexView view;
  ASSERT_TRUE(view.OpenFile(file.Path()));
  view.SetLineCount(10);
  EXPECT_EQ(view.KeyDown(THexKey::End, 0), 0);
  ASSERT_EQ(view.Lines().size(), 1u);
  EXPECT_EQ(view.Lines()[0],
            "0x00000000000003E0   E0 E1 E2 E3 E4 E5 E6 E7" + std::string(27, ' ') + "\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7");
  EXPECT_EQ(view.ScrollPosition(), 99900);
}

TEST(HexView, ControlBytesAndAnEmptyFile) {
  std::vector<std::string> lines;
  const Bytes bytes{0x13, 0x14, 0x00, 0x41};
  ASSERT_TRUE(MemToStrLines2(bytes.data(), 4, lines));
  EXPECT_EQ(lines, std::vector<std::string>{"13 14 00 41" + std::string(39, ' ') + ".\x14.A"});
  EXPECT_FALSE(MemToStrLines2(bytes.data(), 0, lines));

  test::TempFile empty({});
  THexView view;
  ASSERT_TRUE(view.OpenFile(empty.Path()));
  EXPECT_FALSE(view.RefreshFileData(0));
  EXPECT_TRUE(view.Lines().empty());
}

TEST(HexView, KeysStopAtTheEdgesOfTheFile) {
  test::TempFile file(Counting(64 * 16));
  THexView view;
  ASSERT_TRUE(view.OpenFile(file.Path()));
  view.SetLineCount(4);
  ASSERT_TRUE(view.RefreshFileData(0));
  // Up on the first line at offset 0 changes nothing.
  const std::vector<std::string> start = view.Lines();
  EXPECT_EQ(view.KeyDown(THexKey::Up, 0), 0);
  EXPECT_EQ(view.Lines(), start);
  // Inside the lines shown the list moves its own selection.
  EXPECT_EQ(view.KeyDown(THexKey::Down, 1), std::nullopt);
  EXPECT_EQ(view.KeyDown(THexKey::Down, 3), 3);
  EXPECT_EQ(view.FirstLineOffset(), 16);
  EXPECT_EQ(view.KeyDown(THexKey::PageDown, 3), 3);
  EXPECT_EQ(view.FirstLineOffset(), 80);
  EXPECT_EQ(view.KeyDown(THexKey::PageUp, 0), 0);
  EXPECT_EQ(view.FirstLineOffset(), 16);
  EXPECT_EQ(view.KeyDown(THexKey::Home, 2), 0);
  EXPECT_EQ(view.FirstLineOffset(), 0);
  EXPECT_EQ(view.KeyDown(THexKey::End, 0), 0);
  EXPECT_EQ(view.FirstLineOffset(), 63 * 16);
  EXPECT_EQ(view.KeyDown(THexKey::Down, 0), 0);  // the last line stays the last
  EXPECT_EQ(view.FirstLineOffset(), 63 * 16);
  EXPECT_EQ(view.Scroll(THexScroll::LineUp, 0, 0), 0);
  EXPECT_EQ(view.FirstLineOffset(), 62 * 16);
}

TEST(HexView, ThumbTrackingReachesAFileLargerThan4GiB) {
  test::TempFile file({});
  constexpr int64_t kSize = int64_t{5} << 30;
  ASSERT_EQ(::truncate(file.Path().c_str(), kSize), 0);
  // A few bytes written near the end of the sparse file.
  const int fd = ::open(file.Path().c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const Bytes tail{0x47, 0x1F, 0xFF, 0x10};
  ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), kSize - 4), 4);
  ::close(fd);
  THexView view;
  ASSERT_TRUE(view.OpenFile(file.Path()));
  view.SetLineCount(12);
  EXPECT_EQ(view.Scroll(THexScroll::ThumbTrack, 50000, 3), 3);
  EXPECT_EQ(view.CurrentOffset(), kSize / 2);
  EXPECT_EQ(view.Lines()[0].substr(0, 18), "0x00000000A0000000");
  EXPECT_EQ(view.ScrollPosition(), 50000);
  view.Scroll(THexScroll::ThumbTrack, 100000, 0);
  EXPECT_EQ(view.CurrentOffset(), kSize - 1);
  ASSERT_EQ(view.Lines().size(), 1u);
  EXPECT_EQ(view.Lines()[0].substr(0, 18), "0x000000013FFFFFF0");
  EXPECT_NE(view.Lines()[0].find("47 1F FF 10"), std::string::npos);
  view.Scroll(THexScroll::ThumbTrack, 1, 0);
  EXPECT_EQ(view.CurrentOffset(), (kSize + 50000) / 100000);
  EXPECT_EQ(view.Scroll(THexScroll::Other, 7, 0), std::nullopt);
}

// The second stream's elementary_PID of a PMT gathered from two packets lies
// in the last byte of one packet and the first payload byte of the next.
TEST(HexView, FieldInTwoPacketsMarksAByteOfEach) {
  test::TempFile file(Counting(1024));
  THexView view;
  ASSERT_TRUE(view.OpenFile(file.Path()));
  view.SetHighlight({{375, 3, 5}, {568, 0, 8}});
  view.SetLineCount(1);
  ASSERT_TRUE(view.RefreshFileData(375));
  std::array<bool, 16> first{};
  first[7] = true;
  EXPECT_EQ(view.HighlightedBytes(0), first);
  EXPECT_FALSE(view.Shows(568));
  view.SetLineCount(20);
  ASSERT_TRUE(view.RefreshFileData(368));
  EXPECT_TRUE(view.Shows(568));
  EXPECT_EQ(view.HighlightedBytes(0), first);
  std::array<bool, 16> second{};
  second[8] = true;
  EXPECT_EQ(view.HighlightedBytes(12), second);
  EXPECT_EQ(view.HighlightedBytes(1), (std::array<bool, 16>{}));
}

TEST(HexView, FileThatShrinksAndGrowsUnderTheView) {
  test::TempFile file(Counting(4096));
  THexView view;
  ASSERT_TRUE(view.OpenFile(file.Path()));
  view.SetLineCount(8);
  ASSERT_TRUE(view.RefreshFileData(4000));
  ASSERT_EQ(::truncate(file.Path().c_str(), 1000), 0);
  EXPECT_FALSE(view.RefreshFileData(4000));  // past the new end: the lines stay
  EXPECT_EQ(view.Lines().front().substr(0, 18), "0x0000000000000FA0");
  EXPECT_EQ(view.KeyDown(THexKey::Down, static_cast<int>(view.Lines().size()) - 1), 0);
  ASSERT_TRUE(view.RefreshFileData(992));
  EXPECT_EQ(view.Lines().size(), 1u);
  ASSERT_EQ(::truncate(file.Path().c_str(), 8192), 0);
  ASSERT_TRUE(view.RefreshFileData(8000));
  EXPECT_EQ(view.Lines().size(), 8u);
}

}  // namespace
}  // namespace tessaro
