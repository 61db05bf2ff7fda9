// The published version list: finding a program's line and reading its
// version, and when a published version counts as newer.
#include <gtest/gtest.h>

#include "version/PublishedVersion.h"
#include "version/VersionInfo.h"

namespace tessaro {
namespace {

using namespace std::string_literals;

std::string Find(const std::string& list, bool cut = false) {
  const std::optional<TVersionNumber> found = FindPublishedVersion(list, "tessaro-cli", cut);
  return found ? VersionText(*found) : "none";
}

TEST(PublishedVersion, TheFirstLineWithTheKeyGivesTheVersion) {
  EXPECT_EQ(Find("viewer;9.9.9.9\r\ntessaro-cli;1.4.0.18\r\ntessaro-cli;3.0.0.0\r\n"), "1.4.0.18");
  EXPECT_EQ(Find("/usr/bin/tessaro-cli (Linux);2.1.65535.0;notes\r\n"), "2.1.65535.0");
  EXPECT_EQ(Find("tessaro-cli;1.4.0.18"), "1.4.0.18");    // the last line needs no CR LF
  EXPECT_EQ(Find("tessaro-cli;1.4.0.18.5"), "1.4.0.18");  // a fifth part is not looked at
  EXPECT_EQ(Find("viewer;1.0.0.0\r\nother;1.0.0.0"), "none");
  EXPECT_EQ(Find(""), "none");
  // An empty line ends the list.
  EXPECT_EQ(Find("viewer;1.0.0.0\r\n\r\ntessaro-cli;1.4.0.18\r\n"), "none");
  // The text ends at a zero byte.
  EXPECT_EQ(Find("viewer;1.0.0.0\r\n\0tessaro-cli;1.4.0.18"s), "none");
  EXPECT_EQ(Find("tessaro-cli;1.4.0.18\0garbage"s), "1.4.0.18");
  EXPECT_EQ(FindPublishedVersion("tessaro-cli;1.0.0.0", "", false), std::nullopt);
}

TEST(PublishedVersion, AMalformedVersionIsNoVersion) {
  for (const char* line :
       {"tessaro-cli;1.4.x.18", "tessaro-cli;1.4.0", "tessaro-cli;1.4.0.", "tessaro-cli;1..0.18",
        "tessaro-cli;1.4.0.65536", "tessaro-cli;1.4.0.100000", "tessaro-cli; 1.4.0.18", "tessaro-cli;1.4.0.18 ",
        "tessaro-cli;-1.4.0.18", "tessaro-cli;+1.4.0.18", "tessaro-cli;0x1.4.0.18", "tessaro-cli;", "tessaro-cli",
        "tessaro-cli;1.4.0.18\n", "tessaro-cli;1.4.0.18\r"}) {
    EXPECT_EQ(Find(line), "none") << line;
  }
  // The first matching line decides, even when a later one would be good.
  EXPECT_EQ(Find("tessaro-cli;bad\r\ntessaro-cli;1.4.0.18\r\n"), "none");
}

TEST(PublishedVersion, OnlyTheFirst10240BytesAreReadAndACutLineIsNotTrusted) {
  // (A line before or after the limit: FetchTest.AHugeResponseIsReadOnlyUpToTheLimit.)
  // The limit falls inside the matching line: "1.4.0.1" must not be taken for 1.4.0.18.
  std::string head(kPublishedListLimit - std::string("tessaro-cli;1.4.0.1").size() - 2, 'x');
  head += "\r\n";
  const std::string cutThere = head + "tessaro-cli;1.4.0.18\r\n";
  EXPECT_EQ(Find(cutThere.substr(0, kPublishedListLimit), true), "none");
  // The same bytes as a whole response that ends there are a last line like any other.
  EXPECT_EQ(Find(cutThere.substr(0, kPublishedListLimit), false), "1.4.0.1");
}

TEST(PublishedVersion, NewerIsGreaterAsOneOrderedNumber) {
  EXPECT_TRUE(IsNewerVersion({1, 4, 0, 17}, {1, 4, 0, 18}));
  EXPECT_FALSE(IsNewerVersion({2, 0, 0, 0}, {1, 5, 0, 0}));  // an older program is never offered
  EXPECT_FALSE(IsNewerVersion({1, 4, 0, 17}, {1, 4, 0, 17}));
  EXPECT_FALSE(IsNewerVersion({1, 4, 1, 0}, {1, 4, 0, 9}));  // release before build
  EXPECT_TRUE(IsNewerVersion({1, 4, 0, 9}, {1, 4, 1, 0}));
  EXPECT_TRUE(IsNewerVersion({1, 65535, 65535, 65535}, {2, 0, 0, 0}));
}

}  // namespace
}  // namespace tessaro
