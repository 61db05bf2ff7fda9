// The real captures: the PIDs on which the stream checker finds a
// Continuity_count_error are those an independent reader flags (tshark's
// mp2t.cc.drop with TR 101 290's duplicate and discontinuity rules, by
// scripts/make_cc_expected.sh). Skipped when ../shared/streams is absent.
#include <gtest/gtest.h>

#include <set>

#include "core/FileStream.h"
#include "core/PacketScanner.h"
#include "core/PacketSizeProbe.h"
#include "support/TestSupport.h"
#include "validation/ReportNames.h"
#include "validation/StreamChecker.h"

namespace tessaro {
namespace {

class CaptureCheckTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CaptureCheckTest, ContinuityErrorsAreOnThePIDsTsharkFlags) {
  TESSARO_REQUIRE_SHARED_STREAMS();
  const std::string path = test::SharedStreamPath(GetParam() + ".ts");
  int32_t packetSize = 0;
  int32_t start = 0;
  ASSERT_TRUE(IsTS(path, packetSize, start)) << path;
  auto stream = TFileStream::Open(path, TFileStream::Mode::Read);
  ASSERT_TRUE(stream);
  const std::string prefix = "Continuity_count_error: PID ";
  std::set<std::string> pids;
  TStreamChecker checker(TCheckSettings{}, [&](int32_t type, const std::string& message) {
    if (type == kReportError && message.rfind(prefix, 0) == 0) pids.insert(message.substr(prefix.size(), 6));
  });
  TPacketScanner scanner;
  checker.Check(*stream, packetSize, start, scanner);
  const std::vector<std::string> expected = test::ReadLines(test::TestDataPath("expected/" + GetParam() + ".cc.tsv"));
  EXPECT_EQ(std::vector<std::string>(pids.begin(), pids.end()), expected);
}

INSTANTIATE_TEST_SUITE_P(Captures, CaptureCheckTest, ::testing::ValuesIn(test::ExpectationNames(".cc.tsv")),
                         test::ParamName);

}  // namespace
}  // namespace tessaro
