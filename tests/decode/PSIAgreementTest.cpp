// The PAT and PMT decoders against an independent reading of the same packets.
//
// tests/data/expected/<capture>.psi.tsv holds, for every packet of a real
// capture whose pointer_field leads to a PAT or PMT section, what tshark's PSI
// dissectors read from that section (scripts/make_psi_expected.sh): section
// length, transport_stream_id or program_number, version, PCR_PID, the
// program entries or the stream entries, and the tag and length of every
// descriptor. Each such packet is selected as the window selects it (its page
// loaded, then RefreshTSPacket) and the decoder that table 3 of the decode
// tree picks must hold the same values. Sections that span packets are keyed
// by the packet they start in, which is where the decoders gather them from.
//
// Descriptor loops: the list walk ends at a tag it has no decoder for (the DVB
// and user-defined descriptors are still being added, and tags such as
// carousel_identifier 0x13 are not accepted by the PMT loops at all). The
// expected loop is therefore compared up to the first such tag; once a
// decoder is plugged in for a tag, the comparison covers it with no change here.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "decode/TsharkAgreement.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

constexpr const char* kSuffix = ".psi.tsv";

// Columns of an expectation line.
enum Column { kOffset, kPid, kTable, kSectionLength, kId, kVersion, kPcrPid, kProgramInfo, kEntries, kColumnCount };
const char* const kColumnNames[] = {"offset",  "pid",     "table",        "section_length", "id",
                                    "version", "pcr_pid", "program_info", "entries"};

using test::DecodableEntries;
using test::DecodableLoop;
using test::Hex;
using test::Join;
using test::LoopText;
using test::ReadLines;
using test::Split;
using test::TestDataPath;
using test::TreeTableName;

// The expectation line with every descriptor loop cut where the list walk ends.
std::vector<std::string> DecodableExpectation(std::vector<std::string> columns) {
  columns[kProgramInfo] = DecodableLoop(columns[kProgramInfo], kProgramLoops);
  columns[kEntries] = DecodableEntries(columns[kEntries], kProgramLoops);
  return columns;
}

// The same columns from the PAT decoder.
std::vector<std::string> PATColumns(const TMPEGTSPATPacketParserEx& pat) {
  std::vector<std::string> programs;
  for (int32_t i = 0; i < pat.EntryCount(); ++i)
    programs.push_back(std::to_string(pat.program_number[static_cast<size_t>(i)]) + "/" +
                       Hex(static_cast<uint32_t>(pat.PID[static_cast<size_t>(i)]), 4));
  return {"PAT",
          std::to_string(pat.section_length),
          std::to_string(pat.transport_stream_id),
          std::to_string(pat.version_number),
          "",
          "",
          Join(programs, ';')};
}

// The same columns from the PMT decoder's table.
std::vector<std::string> PMTColumns(const TProgramMapTable& t) {
  std::vector<std::string> streams;
  for (const auto& stream : t.Streams)
    streams.push_back(Hex(static_cast<uint32_t>(stream->stream_type), 2) + "/" +
                      Hex(static_cast<uint32_t>(stream->elementary_PID), 4) + "/" +
                      LoopText(stream->ES_info_length, &stream->Descriptors));
  return {"PMT",
          std::to_string(t.section_length),
          std::to_string(t.program_number),
          std::to_string(t.version_number),
          Hex(static_cast<uint32_t>(t.PCR_PID), 4),
          LoopText(t.program_info_length, &t.Descriptors),
          Join(streams, ';')};
}

// True when some loop of the entries text ("...:TT/L,...") holds a descriptor.
bool HasDescriptor(const std::string& entries) {
  for (size_t colon = entries.find(':'); colon != std::string::npos; colon = entries.find(':', colon + 1))
    if (colon + 3 < entries.size() && entries[colon + 3] == '/') return true;
  return false;
}

std::vector<std::string> CaptureNames() { return test::ExpectationNames(kSuffix); }

class CapturePSITest : public ::testing::TestWithParam<std::string> {};

// Every PAT/PMT section start tshark reads: the tree shows that table and its
// decoder holds what tshark read.
TEST_P(CapturePSITest, SectionsAgreeWithTshark) {
  TESSARO_REQUIRE_SHARED_STREAMS();
  const std::string stream = test::SharedStreamPath(GetParam() + ".ts");
  const std::vector<std::string> expected = ReadLines(TestDataPath("expected/" + GetParam() + kSuffix));
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(stream)) << stream;
  int differences = 0;
  for (const std::string& line : expected) {
    std::vector<std::string> columns = Split(line, '\t');
    ASSERT_EQ(columns.size(), static_cast<size_t>(kColumnCount)) << "malformed line: " << line;
    const int64_t offset = std::stoll(columns[kOffset], nullptr, 16);
    // Selecting the packet: its page is loaded first, as the list shows it
    // (near the end of a file, where too few bytes remain for a page load,
    // as the list shows the last packets).
    ASSERT_TRUE(browser.SelectPacket(offset)) << OffsetText(offset);
    ASSERT_FALSE(browser.Tree().children.empty()) << OffsetText(offset);
    const TTSHeader& header = browser.SelectedHeader();
    std::vector<std::string> ours{OffsetText(offset), Hex(static_cast<uint32_t>(header.PID), 4)};
    const std::string shown = TreeTableName(browser);
    if (shown != columns[kTable]) {
      ADD_FAILURE() << GetParam() << " " << columns[kOffset] << ": the tree shows \"" << shown << "\", tshark reads a "
                    << columns[kTable];
      if (++differences == 10) return;
      continue;
    }
    const std::vector<std::string> fields =
        shown == "PAT" ? PATColumns(browser.Decoders().PAT) : PMTColumns(browser.Decoders().PMT.Table);
    ours.insert(ours.end(), fields.begin(), fields.end());
    const std::vector<std::string> wanted = DecodableExpectation(columns);
    for (int c = 0; c < kColumnCount; ++c) {
      if (ours[static_cast<size_t>(c)] == wanted[static_cast<size_t>(c)]) continue;
      ADD_FAILURE() << GetParam() << " " << columns[kOffset] << " " << columns[kTable] << " " << kColumnNames[c]
                    << "\n  decoder: " << ours[static_cast<size_t>(c)]
                    << "\n  tshark:  " << wanted[static_cast<size_t>(c)];
      if (++differences == 10) return;
    }
  }
}

// The converse: every packet the decode tree would decode as a PAT or a PMT
// (a section start on PID 0x0000 or on a PMT PID of the current PAT) is one
// that tshark reads as a PAT or PMT section start.
TEST_P(CapturePSITest, EveryDecodedSectionStartIsExpected) {
  TESSARO_REQUIRE_SHARED_STREAMS();
  const std::string stream = test::SharedStreamPath(GetParam() + ".ts");
  std::set<int64_t> expected;
  for (const std::string& line : ReadLines(TestDataPath("expected/" + GetParam() + kSuffix)))
    expected.insert(std::stoll(Split(line, '\t')[kOffset], nullptr, 16));
  TStreamBrowser browser;
  ASSERT_TRUE(browser.LoadFile(stream)) << stream;
  int unexpected = 0;
  size_t seen = 0;
  // Page after page, as the list shows them; each row is checked with the
  // PAT that was current when its page was loaded.
  browser.WalkPages([&] {
    for (int row = 0; row < browser.RowCount(); ++row) {
      const TPacketRow& r = browser.Row(row);
      if (r.Header.payload_unit_start_indicator != 1) continue;
      if (r.Header.PID != 0x0000 && !browser.IsPMT(r.Header.PID)) continue;
      ++seen;
      if (expected.count(r.Offset) == 0 && ++unexpected <= 10)
        ADD_FAILURE() << GetParam() << " " << OffsetText(r.Offset) << ": a section start on PID "
                      << Hex(static_cast<uint32_t>(r.Header.PID), 4) << " that tshark does not read as a PAT or PMT";
    }
    return true;
  });
  EXPECT_EQ(unexpected, 0);
  if (!expected.empty()) {
    EXPECT_GT(seen, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Captures, CapturePSITest, ::testing::ValuesIn(CaptureNames()), test::ParamName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CapturePSITest);

// Every capture has its expectation file, and the files hold what they should.
TEST(CapturePSIExpectations, EveryCaptureHasOne) {
  TESSARO_REQUIRE_SHARED_STREAMS();
  const std::vector<std::string> names = CaptureNames();
  for (const std::string& name : test::SharedCaptureNames()) {
    EXPECT_TRUE(std::find(names.begin(), names.end(), name) != names.end())
        << "no expected/" << name << kSuffix << "; run scripts/make_psi_expected.sh";
  }
  // The captures hold sections that span packets and PMTs with descriptor
  // loops; the comparison above is only worth something if it meets them.
  int gathered = 0;
  int loops = 0;
  for (const std::string& name : names) {
    for (const std::string& line : ReadLines(TestDataPath("expected/" + name + kSuffix))) {
      const std::vector<std::string> columns = Split(line, '\t');
      if (columns.size() != static_cast<size_t>(kColumnCount)) continue;
      if (std::stoi(columns[kSectionLength]) + 3 > 183) ++gathered;
      if (columns[kTable] == "PMT" && HasDescriptor(columns[kProgramInfo] + ";" + columns[kEntries])) ++loops;
    }
  }
  EXPECT_GT(gathered, 0);
  EXPECT_GT(loops, 0);
}

}  // namespace
}  // namespace tessaro
