// The extraction commands over the fixtures: what each writes, read back
// independently of the code that wrote it, and how each fault ends: a clear
// message, no "Done" and no partial file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <map>

#include "browser/ExtractionCommands.h"
#include "core/Crc32.h"
#include "core/PacketParser.h"
#include "core/PacketScanner.h"
#include "support/Builders.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::TestDataPath;
using TStatus = TExtractionOutcome::TStatus;
namespace fs = std::filesystem;

class ExtractionTest : public ::testing::Test {
 protected:
  std::string Out(const std::string& name) const { return dir_.Path(name); }
  std::vector<std::string> Files() const { return dir_.Names(); }
  test::TempDir dir_;
};

// A fixture's slots as its README describes them: size, offset of the first
// sync byte, slots whose prefix comes before it (192).
struct TFixture {
  std::string name;
  int slot;
  int firstSync;
};
const std::vector<TFixture> kFixtures{{"one-program.ts", 188, 0}, {"slots-192.ts", 192, 4}, {"slots-204.ts", 204, 0}};

int PIDAt(const Bytes& file, size_t sync) { return ((file[sync + 1] & 0x1F) << 8) | file[sync + 2]; }

// Each slot of the fixture: its bytes and the offset of its sync byte.
std::vector<std::pair<Bytes, size_t>> SlotsOf(const TFixture& f) {
  const Bytes file = test::ReadFileBytes(TestDataPath(f.name));
  const size_t before = f.slot == 192 ? 4 : 0;
  std::vector<std::pair<Bytes, size_t>> slots;
  for (size_t sync = static_cast<size_t>(f.firstSync); sync + 188 <= file.size(); sync += static_cast<size_t>(f.slot)) {
    const size_t start = sync - before;
    const size_t end = std::min(start + static_cast<size_t>(f.slot), file.size());
    slots.emplace_back(Bytes(file.begin() + long(start), file.begin() + long(end)), sync - start);
  }
  return slots;
}

TEST_F(ExtractionTest, ExtractPIDsWritesThosePacketsInFileOrder) {
  for (const TFixture& f : kFixtures) {
    TStreamBrowser browser;
    ASSERT_TRUE(browser.LoadFile(TestDataPath(f.name)));
    TExtractionCommands commands(browser);
    const std::string out = Out(f.name + ".pids");
    EXPECT_EQ(commands.ExtractPIDs({0x0101, 0x0011}, out).status, TStatus::Done);
    Bytes expected;
    for (const auto& [slot, sync] : SlotsOf(f)) {
      const int pid = PIDAt(slot, sync);
      if (pid == 0x0101 || pid == 0x0011) expected.insert(expected.end(), slot.begin(), slot.end());
    }
    EXPECT_EQ(test::ReadFileBytes(out), expected) << f.name;
  }
  // Garbage before and inside the stream is all that is left out.
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(TestDataPath("garbage.ts")));
  const std::string out = Out("garbage.all");
  std::vector<uint16_t> all;
  for (int32_t pid : browser.Seen().SeenPIDs()) all.push_back(static_cast<uint16_t>(pid));
  EXPECT_EQ(TExtractionCommands(browser).ExtractPIDs(all, out).status, TStatus::Done);
  const Bytes original = test::ReadFileBytes(TestDataPath("one-program.ts"));
  EXPECT_EQ(test::ReadFileBytes(out), Bytes(original.begin(), original.begin() + 500 * 188));
}

// Extract PES and ES of the audio PID, and the demultiplexer's file of every
// PID, hold the payloads, whole or after their PES headers.
TEST_F(ExtractionTest, PayloadsOfOnePIDOrOfEveryPIDWithAndWithoutPESHeaders) {
  for (const TFixture& f : kFixtures) {
    std::map<int, std::pair<Bytes, Bytes>> expected;  // PES and ES of each PID
    TMPEGTSBasePacketParser parser;
    for (const auto& [slot, sync] : SlotsOf(f)) {
      parser.ParseData(slot.data() + sync, 188);
      auto& [pes, es] = expected[parser.Header.PID];
      if (parser.PayloadLength <= 0) continue;
      const uint8_t* p = parser.Payload;
      pes.insert(pes.end(), p, p + parser.PayloadLength);
      const int skip = parser.Header.payload_unit_start_indicator == 1 ? 9 + p[8] : 0;
      if (skip < parser.PayloadLength) es.insert(es.end(), p + skip, p + parser.PayloadLength);
    }
    TStreamBrowser browser;
    ASSERT_TRUE(browser.LoadFile(TestDataPath(f.name)));
    TExtractionCommands commands(browser);
    // Audio: PES headers with a PTS only, 14 bytes each.
    const TExtractionOutcome pes = commands.ExtractPES(0x0101, Out("a.pes"));
    const TExtractionOutcome es = commands.ExtractES(0x0101, Out("a.es"));
    EXPECT_EQ(pes.status, TStatus::Done);
    EXPECT_EQ(pes.message, "");
    EXPECT_EQ(es.message, "Done");
    EXPECT_EQ(test::ReadFileBytes(Out("a.pes")), expected[0x0101].first) << f.name;
    EXPECT_EQ(test::ReadFileBytes(Out("a.es")), expected[0x0101].second) << f.name;
    for (const bool toES : {false, true}) {
      const TExtractionOutcome outcome = commands.Demultiplex(Out("out.ts"), toES);
      EXPECT_EQ(outcome.status, TStatus::Done);
      EXPECT_EQ(outcome.message, "Done");
      for (const auto& [pid, bytes] : expected) {
        char name[16];
        std::snprintf(name, sizeof name, "out.$%04X", pid);
        EXPECT_EQ(test::ReadFileBytes(Out(name)), toES ? bytes.second : bytes.first)
            << f.name << " " << name << (toES ? " ES" : " PES");
      }
    }
  }
}

// The expectation made with ffprobe from the stream tessaro-cli wrote then.
std::map<std::string, std::string> ProbeExpectation(const std::string& name, int program) {
  std::map<std::string, std::string> fields;
  for (const std::string& line :
       test::ReadLines(TestDataPath("expected/" + name + ".program-" + std::to_string(program) + ".ffprobe.txt"))) {
    const size_t space = line.find(' ');
    const std::string key = line.rfind("program ", 0) == 0 ? "program" : line.substr(0, line.find('='));
    fields[key] = key == "program" ? line.substr(space + 1) : line;
  }
  return fields;
}

TEST_F(ExtractionTest, ExtractProgramIsOneProgramAsAnIndependentReaderSeesIt) {
  struct TCase {
    std::string fixture;
    int program;
    int pmt;
    std::string streams;
  };
  const std::vector<TCase> cases{{"two-programs", 2, 0x1001, "0x102:video:mpeg2video,0x103:audio:mp2"},
                                 {"two-programs", 1, 0x1000, "0x100:video:mpeg2video,0x101:audio:mp2"},
                                 {"slots-192", 1, 0x1000, "0x100:video:mpeg2video,0x101:audio:mp2"}};
  for (const TCase& c : cases) {
    TStreamBrowser browser;
    ASSERT_TRUE(browser.LoadFile(TestDataPath(c.fixture + ".ts")));
    const std::string out = Out(c.fixture + "-" + std::to_string(c.program) + ".spts");
    const TExtractionOutcome outcome = TExtractionCommands(browser).ExtractProgram(c.program, out);
    EXPECT_EQ(outcome.status, TStatus::Done);
    EXPECT_EQ(outcome.message, "Done");
    const Bytes written = test::ReadFileBytes(out);
    char crc[16];
    std::snprintf(crc, sizeof crc, "0x%08X", CalcCRC32(written.data(), static_cast<int32_t>(written.size())));
    // ffprobe read these very bytes as one program with the program's streams.
    auto probe = ProbeExpectation(c.fixture, c.program);
    EXPECT_EQ(probe["bytes"], "bytes=" + std::to_string(written.size()) + " crc32=" + crc) << c.fixture;
    EXPECT_EQ(probe["programs"], "programs=1");
    char program[96];
    std::snprintf(program, sizeof program, "program_num=%d pmt_pid=0x%04X", c.program, c.pmt);
    EXPECT_EQ(probe["program"].rfind(program, 0), 0u) << probe["program"];
    EXPECT_NE(probe["program"].find("streams=" + c.streams), std::string::npos);
  }
}

TEST_F(ExtractionTest, AProgramClockOnItsOwnPIDGoesWithTheProgram) {
  // PAT: program 1 on PMT 0x1000; PMT: PCR_PID 0x0200, one stream 0x0100.
  std::vector<Bytes> packets{test::SectionPacket(0, test::PATSection(1, {{1, 0x1000}})),
                             test::SectionPacket(0x1000, test::PMTSection(1, 0x0200, {}, {{0x02, 0x0100, {}}}))};
  for (int i = 0; i < 4; ++i) {
    packets.push_back(test::MakePacket({.pid = 0x0200, .afc = 2, .adaptation = {0x10, 0, 0, 0, 0, 0x7E, 0}}));
    packets.push_back(test::MakePacket({.pid = 0x0100}));
    packets.push_back(test::MakePacket({.pid = 0x0300}));
  }
  test::TempFile input(test::Slots(packets));
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(input.Path()));
  ASSERT_EQ(TExtractionCommands(browser).ExtractProgram(1, Out("clock.ts")).status, TStatus::Done);
  const Bytes out = test::ReadFileBytes(Out("clock.ts"));
  std::vector<int> pids;
  for (size_t at = 0; at < out.size(); at += 188) pids.push_back(PIDAt(out, at));
  EXPECT_EQ(pids, (std::vector<int>{0, 0x1000, 0x200, 0x100, 0x200, 0x100, 0x200, 0x100, 0x200, 0x100}));
}

// ---- Faults -------------------------------------------------------------------------

TEST_F(ExtractionTest, OutputsThatCannotBeMadeOrWrittenEndWithTheirName) {
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(TestDataPath("one-program.ts")));
  TExtractionCommands commands(browser);
  // A file that cannot be created.
  TExtractionOutcome outcome = commands.ExtractPES(0x0100, Out("missing/a.pes"));
  EXPECT_EQ(outcome.status, TStatus::Failed);
  EXPECT_EQ(outcome.message, "Cannot create file " + Out("missing/a.pes") + ": No such file or directory");
  // A per-PID file that cannot be created: the whole run fails and leaves nothing.
  fs::create_directory(Out("out.$0100"));
  outcome = commands.Demultiplex(Out("out.ts"), false);
  EXPECT_EQ(outcome.status, TStatus::Failed);
  EXPECT_EQ(outcome.message, "Cannot create file " + Out("out.$0100") + ": Is a directory");
  EXPECT_EQ(Files(), std::vector<std::string>{"out.$0100"});
}

TEST_F(ExtractionTest, AMissingOrUnreadablePMTLeavesNoFile) {
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(TestDataPath("two-programs.ts")));
  TExtractionOutcome outcome = TExtractionCommands(browser).ExtractProgram(3, Out("p3.ts"));
  EXPECT_EQ(outcome.status, TStatus::NotFound);
  EXPECT_EQ(outcome.message, "PMT not found.");
  EXPECT_TRUE(Files().empty());

  // The file is cut short while the PMT search reads it: the PMT packet
  // found cannot be read whole.
  test::TempFile cut(test::ReadFileBytes(TestDataPath("one-program.ts")));
  TStreamBrowser cutBrowser;
  ASSERT_TRUE(cutBrowser.LoadFile(cut.Path()));
  cutBrowser.SetScanProgress([&](int64_t, int64_t) { ::truncate(cut.Path().c_str(), 2 * 188 + 100); });
  outcome = TExtractionCommands(cutBrowser).ExtractProgram(1, Out("p1.ts"));
  EXPECT_EQ(outcome.status, TStatus::Failed);
  EXPECT_EQ(outcome.message, "Error reading PMT");
  EXPECT_TRUE(Files().empty());
}

TEST_F(ExtractionTest, ACancelOrAReadThatEndsEarlyRemovesTheOutputs) {
  // 4 MiB of packets: several reads, the cancel comes after the first.
  std::vector<Bytes> packets;
  for (int i = 0; i < 4 * 1024 * 1024 / 188; ++i) packets.push_back(test::MakePacket({.pid = uint16_t(i % 3)}));
  test::TempFile input(test::Slots(packets));
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(input.Path()));
  std::atomic<bool> cancel{false};
  browser.SetScanCancel(&cancel);
  browser.SetScanProgress([&](int64_t done, int64_t) { cancel = done > 200000; });
  TExtractionCommands commands(browser);
  for (const TExtractionOutcome& outcome :
       {commands.ExtractPIDs({1}, Out("a.ts")), commands.ExtractES(1, Out("a.es")),
        commands.ExtractProgram(1, Out("p.ts")), commands.Demultiplex(Out("d.ts"), true)}) {
    EXPECT_EQ(outcome.status, TStatus::Cancelled);
    EXPECT_EQ(outcome.message, kExtractionCancelled);
  }
  EXPECT_TRUE(Files().empty());

  // The input shrinks while it is read or mapped (to a size past the bytes
  // a step may already hold): what was read is not passed off as the file.
  for (const TPacketScanner::TReadWay way : {TPacketScanner::TReadWay::Read, TPacketScanner::TReadWay::Map}) {
    TPacketScanner::SetDefaultReadWay(way);
    test::TempFile shrinking(test::Slots(packets));
    TStreamBrowser reader;
    TPacketScanner::SetDefaultReadWay(TPacketScanner::TReadWay::Measured);
    ASSERT_TRUE(reader.LoadFile(shrinking.Path()));
    const int64_t size = reader.FileSize();
    reader.SetScanProgress([&](int64_t done, int64_t) {
      if (done > 200000) ::truncate(shrinking.Path().c_str(), 1000000);
    });
    const TExtractionOutcome outcome = TExtractionCommands(reader).ExtractPIDs({1}, Out("a.ts"));
    EXPECT_EQ(outcome.status, TStatus::Failed);
    EXPECT_EQ(outcome.message, "Cannot read file " + shrinking.Path() + ": only 1000000 of " + std::to_string(size) +
                                   " bytes could be read.");
    EXPECT_TRUE(Files().empty());
  }
}

}  // namespace
}  // namespace tessaro
