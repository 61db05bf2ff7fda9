// The open-stream state, page loading, row texts, searches and seen lists.

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "browser/PIDText.h"
#include "browser/StreamBrowser.h"
#include "support/Builders.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::MakePacket;

Bytes PATPacket(const std::vector<test::PATEntry>& programs, uint8_t cc = 0) {
  return test::SectionPacket(0x0000, test::PATSection(1, programs), cc);
}

Bytes Null() { return test::NullPacket(); }

std::vector<Bytes> Repeat(const Bytes& packet, int count) {
  return std::vector<Bytes>(static_cast<size_t>(count), packet);
}

std::vector<Bytes> Join(std::initializer_list<std::vector<Bytes>> parts) {
  std::vector<Bytes> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

TEST(Browser, RefusedFilesEndWithNothingOpen) {
  test::DebugCapture capture;
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(test::TestDataPath("one-program.ts")));
  test::TempFile small(test::Slots({Null(), Null()}));  // 376 bytes: never a stream
  EXPECT_FALSE(browser.LoadFile(small.Path()));
  EXPECT_FALSE(browser.LoadFile("/nonexistent.ts"));
  EXPECT_FALSE(browser.RefreshPosition(0));
  EXPECT_EQ(browser.FindNext(*FindNextCommand("pat"), 0).message, "No file loaded.");
  EXPECT_EQ(browser.FindPID(0, 0).message, "No file loaded.");
}

TEST(Browser, RowKindsAndTexts) {
  // PAT with the NIT on 0x10 and program 1 on 0x100; a PMT continuation packet;
  // an EIT section start and continuation; a PCR; a null packet; a PES with PTS+DTS.
  Bytes pes = MakePacket({.pid = 0x101,
                          .pusi = true,
                          .payload = {0, 0, 1, 0xE0, 0, 0, 0x80, 0xC0, 10, 0x31, 0x00, 0x01, 0x00, 0x01,  // PTS 0
                                      0x11, 0x00, 0x37, 0x77, 0x41}});                                    // DTS 900000
  Bytes pcr = MakePacket({.pid = 0x100, .cc = 2, .afc = 2, .adaptation = {0x10, 0x00, 0x14, 0x99, 0x70, 0x7E, 0x00}});
  const Bytes file = test::Slots({PATPacket({{0, 0x10}, {1, 0x100}}), MakePacket({.pid = 0x100, .cc = 1}),
                                  MakePacket({.pid = 0x12, .pusi = true, .cc = 3, .payload = {0x00, 0x50, 0xF0, 0x40}}),
                                  MakePacket({.pid = 0x12, .cc = 4}), pcr, Null(), pes,
                                  MakePacket({.pid = 0x14, .pusi = true, .payload = {0, 0x73}})});
  test::TempFile tmp(file);
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(tmp.Path()));
  ASSERT_EQ(browser.RowCount(), 8);
  // A payload start without payload shows no stream_id, not even after a PES row.
  const Bytes noPayload =
      test::Slots({pes, MakePacket({.pid = 0x101, .pusi = true, .afc = 2, .adaptation = {0}}), Null()});
  test::TempFile tmp2(noPayload);
  TStreamBrowser second;
  ASSERT_TRUE(second.LoadFile(tmp2.Path()));
  EXPECT_EQ(second.RowText(0, TColumn::ES), "0xE0");
  EXPECT_EQ(second.RowText(1, TColumn::ES), "");
  auto texts = [&](int row) {
    std::string line;
    for (int c = 0; c < kColumnCount; ++c) line += browser.RowText(row, static_cast<TColumn>(c)) + "|";
    return line;
  };
  EXPECT_EQ(texts(0), "0x0000000000000000|0x0000|||||1|1|0|PAT|PLD|");
  EXPECT_EQ(texts(1), "0x00000000000000BC|0x0100|||||0|1|1|PMT|PLD|");
  EXPECT_EQ(texts(2), "0x0000000000000178|0x0012|||||1|1|3|EIT-ATSS|PLD|");
  EXPECT_EQ(texts(3), "0x0000000000000234|0x0012|||||0|1|4|EIT-ATSS|PLD|");
  EXPECT_EQ(texts(4), "0x00000000000002F0|0x0100||00:00:30.00|||0|2|2|PMT|AF|");
  EXPECT_EQ(texts(5), "0x00000000000003AC|0x1FFF|||||0|1|0||NULL|");
  EXPECT_EQ(texts(6), "0x0000000000000468|0x0101|0xE0||00:00:00.00|00:00:10.00|1|1|0||PLD|");
  EXPECT_EQ(texts(7), "0x0000000000000524|0x0014|||||1|1|0|TOT|PLD|");
  EXPECT_TRUE(browser.IsNIT(0x10));
  EXPECT_FALSE(browser.IsPMT(0x10));
}

TEST(Browser, SearchCommands) {
  const Bytes file = test::Slots(Join({{PATPacket({{1, 0x100}})},
                                       Repeat(Null(), 3),
                                       {MakePacket({.pid = 0x100, .pusi = true, .payload = {0, 2}})},
                                       {MakePacket({.pid = 0x12, .cc = 7})},  // its section start is missing
                                       {MakePacket({.pid = 0x12, .pusi = true, .cc = 8, .payload = {0, 0x4E}})},
                                       Repeat(Null(), 1500),
                                       {MakePacket({.pid = 0x0ABC})}}));
  test::TempFile tmp(file);
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(tmp.Path()));

  // Find PID starts at the selected packet itself; Search Again at the next one.
  TSearchOutcome found = browser.FindPID(0x0000, 0);
  ASSERT_TRUE(found.found);
  EXPECT_EQ(found.offset, 0);
  EXPECT_EQ(browser.SearchAgain(0).message, "Not found");
  EXPECT_EQ(browser.FindNext(*FindNextCommand("pmt"), 0).offset, 4 * 188);
  EXPECT_EQ(browser.TopOffset(), 4 * 188);
  EXPECT_EQ(browser.Row(0).Offset, 4 * 188);
  EXPECT_EQ(browser.ScrollPosition(), 4);
  // The EIT packet whose start cannot be found is skipped.
  EXPECT_EQ(browser.FindNext(*FindNextCommand("eit"), 0).offset, 6 * 188);
  EXPECT_EQ(browser.FindNext(*FindNextCommand("tdt"), 0).message, "Not found");
  // A hit in the last packet, several chunks on.
  const int64_t last = browser.FileSize() - 188;
  EXPECT_EQ(browser.FindPID(0x0ABC, 0).offset, last);
  EXPECT_EQ(browser.FindNext(*FindNextCommand("pat"), last).message, "Not found");
}

TEST(Browser, FindNextPMTNeedsADecodedPAT) {
  const Bytes file = test::Slots(Join({Repeat(Null(), 300), {MakePacket({.pid = 0x100, .pusi = true})}}));
  test::TempFile tmp(file);
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(tmp.Path()));
  EXPECT_EQ(browser.FindNext(*FindNextCommand("pmt"), 0).message, "Not found");
}

TEST(PIDText, AcceptsOnlyLowerCaseXAndFourHexDigits) {
  uint16_t pid = 0;
  EXPECT_EQ(CheckPIDText("0x01aF", pid), std::nullopt);
  EXPECT_EQ(pid, 0x01AF);
  EXPECT_EQ(CheckPIDText("0X0100", pid), "PID must be in 0xXXXX format.");
  EXPECT_EQ(CheckPIDText("0x100", pid), "PID must be in 0xXXXX format.");
  EXPECT_EQ(CheckPIDText("0x01G0", pid), "0x01G0 is invalid PID.");
  EXPECT_EQ(CheckPIDText("0x2000", pid), "0x2000 is out of range.");
}

TEST(SeenLists, TextOrderAndNearestPAT) {
  // Programs 1, 2 and 10 list as 1, 10, 2. Far into the file, with no PAT
  // near the page, the PAT decoded before stays current.
  const Bytes file = test::Slots(Join({{PATPacket({{1, 0x100}, {2, 0x200}, {10, 0x300}})},
                                       Repeat(Null(), 600),
                                       {MakePacket({.pid = 0x300, .cc = 1})},
                                       Repeat(Null(), 99)}));
  test::TempFile tmp(file);
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(tmp.Path()));
  EXPECT_EQ(browser.Seen().ProgramTexts(), (std::vector<std::string>{"# 1", "# 10", "# 2"}));
  EXPECT_EQ(browser.Seen().PIDTexts(), (std::vector<std::string>{"0x0000", "0x0300", "0x1FFF"}));
  ASSERT_TRUE(browser.RefreshPosition(601 * 188));
  EXPECT_EQ(browser.RowText(0, TColumn::PSI), "PMT");

  // Opening another file empties both lists first.
  ASSERT_TRUE(browser.LoadFile(test::TestDataPath("slots-204.ts")));
  EXPECT_EQ(std::count(browser.Seen().PIDTexts().begin(), browser.Seen().PIDTexts().end(), "0x0300"), 0);
}

TEST(SeenLists, OpenScanStopsAtTheBufferFor212ByteSlots) {
  // 10000 slots of 212 bytes exceed the 2 MiB buffer: only 9892 are scanned.
  std::vector<Bytes> packets = Repeat(Null(), 9990);
  packets[9890] = MakePacket({.pid = 0x0777});
  packets[9893] = MakePacket({.pid = 0x0778});
  test::TempFile tmp(test::Slots(packets, 212));
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(tmp.Path()));
  const auto& texts = browser.Seen().PIDTexts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "0x0777"), texts.end());
  EXPECT_EQ(std::find(texts.begin(), texts.end(), "0x0778"), texts.end());
}

TEST(Browser, FileThatShrinksWhileOpen) {
  test::TempFile tmp(test::Slots(Join({{PATPacket({{1, 0x100}})}, Repeat(Null(), 2000)})));
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(tmp.Path()));
  std::filesystem::resize_file(tmp.Path(), 188 * 3 + 50);
  EXPECT_FALSE(browser.RefreshPosition(188 * 1500));
  EXPECT_EQ(browser.FindPID(0x1234, 0).message, "Not found");
  EXPECT_EQ(browser.LoadRowsFrom(0), 3);
  EXPECT_EQ(browser.SlotCount(), 3);
}

}  // namespace
}  // namespace tessaro
