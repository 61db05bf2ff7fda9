// The real captures: the PIDs on which the stream checker finds a
// Continuity_count_error are those an independent reader flags (tshark's
// mp2t.cc.drop with TR 101 290's duplicate and discontinuity rules, by
// scripts/make_cc_expected.sh); and every finding is at a packet (of its
// PID, where it names one) whose stream time rises with its offset. Skipped
// when ../shared/streams is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "core/FileStream.h"
#include "core/PacketScanner.h"
#include "core/PacketSizeProbe.h"
#include "support/TestSupport.h"
#include "validation/FindingPlace.h"
#include "validation/ReportNames.h"
#include "validation/StreamChecker.h"

namespace tessaro {
namespace {

class CaptureCheckTest : public ::testing::TestWithParam<std::string> {};

// Runs the checks with the default settings over the capture; report gets each report.
void CheckCapture(const std::string& path, const TStreamChecker::TReport& report) {
  int32_t packetSize = 0;
  int32_t start = 0;
  ASSERT_TRUE(IsTS(path, packetSize, start)) << path;
  auto stream = TFileStream::Open(path, TFileStream::Mode::Read);
  ASSERT_TRUE(stream);
  TStreamChecker checker(TCheckSettings{}, report);
  TPacketScanner scanner;
  checker.Check(*stream, packetSize, start, scanner);
}

TEST_P(CaptureCheckTest, ContinuityErrorsAreOnThePIDsTsharkFlags) {
  TESSARO_REQUIRE_SHARED_STREAMS();
  const std::string prefix = "Continuity_count_error: PID ";
  std::set<std::string> pids;
  CheckCapture(test::SharedStreamPath(GetParam() + ".ts"), [&](int32_t type, const std::string& message) {
    if (type == kReportError && message.rfind(prefix, 0) == 0) pids.insert(message.substr(prefix.size(), 6));
  });
  const std::vector<std::string> expected = test::ReadLines(test::TestDataPath("expected/" + GetParam() + ".cc.tsv"));
  EXPECT_EQ(std::vector<std::string>(pids.begin(), pids.end()), expected);
}

TEST_P(CaptureCheckTest, EveryFindingIsAtAPacketOfItsPIDInTimeOrder) {
  TESSARO_REQUIRE_SHARED_STREAMS();
  const std::string path = test::SharedStreamPath(GetParam() + ".ts");
  const test::Bytes bytes = test::ReadFileBytes(path);
  std::map<int64_t, std::vector<int64_t>> times;  // offset: stream times in milliseconds
  int64_t findings = 0;
  CheckCapture(path, [&](int32_t type, const std::string& message) {
    if (type == kReportInfo) return;
    const TFindingPlace place = ReadFindingPlace(message);
    if (!place.indicator) return;  // the note of a stream without PCRs
    ++findings;
    ASSERT_TRUE(place.offset) << message;
    const auto at = static_cast<size_t>(*place.offset);
    ASSERT_LT(at + 188, bytes.size() + 1) << message;
    // A slot whose sync byte is the finding is a packet by its place.
    if (*place.indicator != TIndicator::Sync_byte_error && *place.indicator != TIndicator::TS_sync_loss) {
      EXPECT_EQ(bytes[at], 0x47) << message;
    }
    // What never came or stopped has no packet: a PID named by a PMT is found
    // at that PMT, a stream without a PAT at its first packet, a PAT, PMT or
    // PID that stopped (for a while or until the end) at the packet of any PID
    // where its limit ran out.
    const bool neverCame = message.find("and never present") != std::string::npos ||
                           message.find("no PAT section in the stream") != std::string::npos ||
                           message.find("no PAT section for ") != std::string::npos ||
                           message.find("no PMT section for ") != std::string::npos ||
                           message.find("not present for ") != std::string::npos;
    if (place.pid && !neverCame) {
      EXPECT_EQ(((bytes[at + 1] & 0x1F) << 8) | bytes[at + 2], *place.pid) << message;
    }
    if (place.milliseconds) times[*place.offset].push_back(*place.milliseconds);
  });
  int64_t latest = 0;
  for (const auto& [offset, at] : times) {
    for (const int64_t ms : at) EXPECT_EQ(ms, at.front()) << "two times at offset " << offset;
    EXPECT_GE(at.front(), latest) << "offset " << offset;
    latest = std::max(latest, at.front());
  }
  RecordProperty("findings", static_cast<int>(findings));
}

INSTANTIATE_TEST_SUITE_P(Captures, CaptureCheckTest, ::testing::ValuesIn(test::ExpectationNames(".cc.tsv")),
                         test::ParamName);

}  // namespace
}  // namespace tessaro
