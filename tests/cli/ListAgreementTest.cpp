// `tessaro-cli list --all` against an independent reading of the same files.
//
// tests/data/expected/<name>.list.tsv holds, per packet, the Offset, PID, PLD,
// AF, CC, PCR and INFO column texts as tshark's MPEG-2 TS dissector reads the
// transport header (scripts/make_expected.sh). The listing of every real
// capture and of every 188-byte fixture must match them line for line. The
// fixtures with other slot sizes and with garbage carry the packets of
// one-program.ts at known offsets (tests/data/README.md); their listings must
// put every row on its packet slot and show the same packets.

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "support/TreeText.h"

namespace tessaro::test {
namespace {

namespace fs = std::filesystem;

constexpr size_t kColumnCount = 11;
enum Column { kOffset = 0, kPid = 1, kPcr = 3, kPld = 6, kAf = 7, kCc = 8, kInfo = 10 };
// The columns an expectation line holds, in its order.
constexpr int kHeaderColumns[] = {kOffset, kPid, kPld, kAf, kCc, kPcr, kInfo};

struct Listing {
  std::vector<std::string> lines;
  int exitStatus = -1;
};

Listing RunListAll(const std::string& stream) {
  const CliResult r = RunCli("list '" + stream + "' --all");
  Listing listing{Split(r.out, '\n'), r.exitCode};
  if (!listing.lines.empty() && listing.lines.back().empty()) listing.lines.pop_back();
  return listing;
}

// Several tests read the listing of one-program.ts; each file is listed once.
const Listing& ListAll(const std::string& stream) {
  static std::map<std::string, Listing> listings;
  auto found = listings.find(stream);
  if (found == listings.end()) found = listings.emplace(stream, RunListAll(stream)).first;
  return found->second;
}

std::string OffsetText(int64_t offset) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%016" PRIX64, offset);
  return text;
}

std::string ExpectationPath(const std::string& name) { return TestDataPath("expected/" + name + ".list.tsv"); }

bool IsFixture(const std::string& name) { return fs::exists(TestDataPath(name + ".ts")); }

// Names (file names without ".list.tsv") of the expectation files, fixtures
// or real captures.
std::vector<std::string> ExpectationNames(bool fixtures) {
  std::vector<std::string> names;
  for (const std::string& name : test::ExpectationNames(".list.tsv"))
    if (IsFixture(name) == fixtures) names.push_back(name);
  return names;
}

// Lists the stream and compares the header columns of every row with the
// expectation file; reports the first differing line with both texts.
void ExpectListingMatches(const std::string& stream, const std::string& expectationPath) {
  const std::vector<std::string> expected = ReadLines(expectationPath);
  ASSERT_FALSE(expected.empty()) << "empty or unreadable: " << expectationPath;
  const Listing& listing = ListAll(stream);
  ASSERT_EQ(listing.exitStatus, 0) << "tessaro-cli list " << stream << " --all";

  const size_t common = std::min(listing.lines.size(), expected.size());
  for (size_t i = 0; i < common; ++i) {
    const std::vector<std::string> columns = Split(listing.lines[i], '\t');
    if (columns.size() != kColumnCount) {
      ADD_FAILURE() << stream << " line " << i + 1 << " has " << columns.size()
                    << " columns instead of 11: " << listing.lines[i];
      return;
    }
    std::string picked;
    for (int column : kHeaderColumns) picked += (picked.empty() ? "" : "\t") + columns[column];
    if (picked != expected[i]) {
      ADD_FAILURE() << stream << ": first difference at line " << i + 1
                    << " (Offset PID PLD AF CC PCR INFO)\n  tessaro-cli: " << picked
                    << "\n  tshark:      " << expected[i];
      return;
    }
  }
  EXPECT_EQ(listing.lines.size(), expected.size())
      << stream << ": tessaro-cli lists " << listing.lines.size() << " packets, tshark reads " << expected.size();
}

// --- real captures -----------------------------------------------------------

class CaptureListTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CaptureListTest, HeaderColumnsAgreeWithTshark) {
  TESSARO_REQUIRE_SHARED_STREAMS();
  const std::string stream = SharedStreamPath(GetParam() + ".ts");
  ASSERT_TRUE(fs::exists(stream)) << "capture without its stream: " << stream;
  ExpectListingMatches(stream, ExpectationPath(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Captures, CaptureListTest, ::testing::ValuesIn(ExpectationNames(false)), test::ParamName);
// An empty expectation folder is caught by CaptureExpectations.EveryCaptureHasOne.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CaptureListTest);

TEST(CaptureExpectations, EveryCaptureHasOne) {
  const std::vector<std::string> names = ExpectationNames(false);
  EXPECT_FALSE(names.empty()) << "no capture expectations in " << TestDataPath("expected");
  TESSARO_REQUIRE_SHARED_STREAMS();
  for (const std::string& name : test::SharedCaptureNames()) {
    EXPECT_TRUE(std::find(names.begin(), names.end(), name) != names.end())
        << name << ".ts has no expectation; run scripts/make_expected.sh";
  }
}

// --- fixtures ----------------------------------------------------------------

TEST(FixtureListTest, HeaderColumnsAgreeWithTshark) {
  const std::vector<std::string> names = ExpectationNames(true);
  ASSERT_GE(names.size(), 2u) << "one-program and two-programs expectations are missing";
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    ExpectListingMatches(TestDataPath(name + ".ts"), ExpectationPath(name));
  }
}

// Where the packets of a fixture lie: packet k starts at
// firstOffset + k * slot, plus gapBytes from packet gapAfter on.
struct FixtureLayout {
  const char* file;
  int slot;
  int64_t firstOffset;
  int gapAfter = -1;
  int64_t gapBytes = 0;
};

void PrintTo(const FixtureLayout& layout, std::ostream* os) { *os << layout.file; }

// The fixtures rewritten from one-program.ts: packet k is its packet k. (The
// 188-byte fixtures' offsets are compared with tshark's above.)
const FixtureLayout kRewrittenLayouts[] = {
    {"slots-192.ts", 192, 4},
    {"slots-204.ts", 204, 0},
    {"garbage.ts", 188, 1000, 250, 77},
};

std::string LayoutName(const ::testing::TestParamInfo<FixtureLayout>& info) { return TestNameOf(info.param.file); }

class FixtureLayoutTest : public ::testing::TestWithParam<FixtureLayout> {};

// Every packet whose 188 bytes lie in the file is listed once, at its offset,
// even the last one of slots-192.ts, which lacks the 4 bytes that would
// complete its slot; a packet cut short (garbage.ts ends in 100 bytes of a
// packet) is not. Apart from the offset, each row shows what the row of
// one-program.ts shows: the slot padding and the garbage must not leak into
// any column.
TEST_P(FixtureLayoutTest, RowsSitOnThePacketSlotsAndShowOneProgramsPackets) {
  const FixtureLayout& layout = GetParam();
  const std::string stream = TestDataPath(layout.file);
  const auto size = static_cast<int64_t>(fs::file_size(stream));
  const int64_t packets = (size - layout.firstOffset - layout.gapBytes - 188) / layout.slot + 1;
  ASSERT_GT(packets, layout.gapAfter);

  const Listing& original = ListAll(TestDataPath("one-program.ts"));
  const Listing& listing = ListAll(stream);
  ASSERT_EQ(original.exitStatus, 0);
  ASSERT_EQ(listing.exitStatus, 0) << "tessaro-cli list " << stream << " --all";
  ASSERT_EQ(static_cast<int64_t>(listing.lines.size()), packets);
  ASSERT_LE(listing.lines.size(), original.lines.size());
  for (size_t k = 0; k < listing.lines.size(); ++k) {
    std::vector<std::string> columns = Split(listing.lines[k], '\t');
    std::vector<std::string> originalColumns = Split(original.lines[k], '\t');
    ASSERT_EQ(columns.size(), kColumnCount) << "row " << k << ": " << listing.lines[k];
    ASSERT_EQ(originalColumns.size(), kColumnCount) << original.lines[k];
    const int64_t offset = layout.firstOffset + static_cast<int64_t>(k) * layout.slot +
                           (layout.gapAfter >= 0 && static_cast<int>(k) >= layout.gapAfter ? layout.gapBytes : 0);
    ASSERT_EQ(columns[kOffset], OffsetText(offset)) << "row " << k;
    columns.erase(columns.begin());
    originalColumns.erase(originalColumns.begin());
    ASSERT_EQ(columns, originalColumns) << "packet " << k << "\n  " << layout.file << ": " << listing.lines[k]
                                        << "\n  one-program.ts: " << original.lines[k];
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureLayoutTest, ::testing::ValuesIn(kRewrittenLayouts), LayoutName);

}  // namespace
}  // namespace tessaro::test
