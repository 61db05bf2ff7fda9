// The services observer and the timeline on crafted tables and packets:
// descriptors that name codecs and languages, versions, lying lengths,
// undecodable names; the timeline's bounds and sums.

#include <gtest/gtest.h>

#include <map>

#include "analysis/Services.h"
#include "analysis/Timeline.h"
#include "support/Builders.h"
#include "support/TestSupport.h"

namespace tessaro::test {
namespace {

void Feed(TPacketObserver& observer, const std::vector<Bytes>& packets) {
  int64_t offset = 0;
  for (const Bytes& p : packets) observer.Packet(TPacketHeaderView(p.data()), (offset += 188) - 188, 0, false);
}

Bytes PAT() { return SectionPacket(0, PATSection(1, {{1, 0x1000}})); }

// program 1, PCR on 0x1FF0; one stream per descriptor loop given.
Bytes PMT(uint8_t version, uint8_t cc, const std::vector<PMTStream>& streams) {
  return SectionPacket(0x1000, PMTSection(1, 0x1FF0, {}, streams, version), cc);
}

// Service 1, a digital television service of the given name.
Bytes SDT(uint8_t version, uint8_t cc, const Bytes& name) {
  return SectionPacket(0x11, SDTSection(1, ServiceDescriptor(0x19, name), version), cc);
}

TEST(Services, DescriptorsNameCodecsAndLanguages) {
  TServices services;
  Feed(services, {PAT(),
                  PMT(0, 0,
                      {{0x1B, 0x100, {0x0A, 4, 'd', 'e', 'u', 0}},
                       {0x06, 0x101, {0x6A, 1, 0x00}},
                       {0x06, 0x102, {0x05, 4, 'E', 'A', 'C', '3'}},
                       {0x06, 0x103, {0x59, 8, 'e', 'n', 'g', 0x10, 0, 1, 0, 1}},
                       // ISO_639_language_descriptor comes first, whatever the order.
                       {0x06, 0x104, {0x56, 5, 'e', 'n', 'g', 0x09, 0x00, 0x0A, 4, 'f', 'r', 'a', 0}},
                       {0x06, 0x105, {}},
                       {0x81, 0x106, {}}}),
                  SDT(0, 0, {0x15, 'T', 'e', 's', 't'})});
  ASSERT_EQ(services.Services().size(), 1u);
  const TService& s = services.Services()[0];
  EXPECT_EQ(s.serviceType, 0x19);
  const std::map<int32_t, std::string> descriptions = {{0x1000, "PMT of program 1"},
                                                       {0x0100, "video H.264 of program 1"},
                                                       {0x0101, "audio AC-3 of program 1"},
                                                       {0x0102, "audio E-AC-3 of program 1"},
                                                       {0x0103, "subtitles of program 1"},
                                                       {0x0104, "teletext of program 1"},
                                                       {0x0105, "data private PES of program 1"},
                                                       {0x0106, "audio AC-3 of program 1"},
                                                       {0x1FF0, "PCR of program 1"},
                                                       {0x0777, "unreferenced"}};
  for (const auto& [pid, text] : descriptions) EXPECT_EQ(services.Description(pid), text) << pid;
  ASSERT_EQ(s.streams.size(), 7u);
  EXPECT_EQ(s.streams[0].language, "deu");
  EXPECT_EQ(s.streams[3].language, "eng");
  EXPECT_EQ(s.streams[4].language, "fra");
  EXPECT_EQ(services.PCRPIDOf(0x101), 0x1FF0);
  EXPECT_EQ(services.PCRPIDOf(0x777), -1);
}

TEST(Services, VersionsUpdateAndBadSectionsAreIgnored) {
  TServices services;
  Bytes badCRC = SDT(2, 2, {'B', 'a', 'd'});
  badCRC[30] ^= 0x01;
  // A stream whose ES_info_length runs past the section, and a name whose
  // character table has no converter.
  const Bytes lying = SectionPacket(0x1000,
                                    WithSectionLengthAndCrc({0x02, 0xB0, 0, 0x00, 0x01, 0xC3, 0, 0, 0xFF, 0xF0, 0xF0,
                                                             0x00, 0x03, 0xE1, 0x02, 0xF0, 0xFF}),
                                    1);
  Feed(services,
       {PAT(), PMT(0, 0, {{0x02, 0x100, {}}}), SDT(0, 0, {0x08, 'A', 'B'}), lying,
        PMT(2, 2, {{0x02, 0x100, {}}, {0x04, 0x101, {0x0A, 3, 'i', 't', 'a'}}}), SDT(1, 1, {'N', 'e', 'w'}), badCRC});
  const TService& s = services.Services().at(0);
  EXPECT_EQ(s.name, "New");
  ASSERT_EQ(s.streams.size(), 3u);  // 0x100, the lying section's 0x102, and 0x101
  EXPECT_EQ(s.streams[2].language, "ita");
  EXPECT_EQ(services.Description(0x102), "audio MPEG-1 of program 1");

  TServices hex;
  Feed(hex, {PAT(), SDT(0, 0, {0x08, 'A', 'B'})});
  EXPECT_EQ(hex.Services().at(0).name, "084142");
}

// Packets that repeat the last one's bytes are passed over; a packet after
// others with the same bytes as an earlier one is read again.
TEST(Services, RepeatedPacketsAndVersionsGoingBack) {
  TServices services;
  const auto name = [&] { return services.Services().at(0).name; };
  Feed(services, {PAT(), SDT(0, 0, Text("One")), SDT(0, 1, Text("One"))});
  EXPECT_EQ(name(), "One");
  Feed(services, {SDT(1, 2, Text("Two")), SDT(0, 3, Text("One"))});
  EXPECT_EQ(name(), "One");
  // Two sections in one packet, then the bytes of the packet before them.
  const Bytes two = Cat({Bytes{0x00}, SDTSection(1, ServiceDescriptor(0x19, Text("Two")), 1),
                         SDTSection(1, ServiceDescriptor(0x19, Text("Three")), 2)});
  Feed(services, {MakePacket({.pid = 0x11, .pusi = true, .cc = 4, .payload = two})});
  EXPECT_EQ(name(), "Three");
  Feed(services, {SDT(0, 5, Text("One"))});
  EXPECT_EQ(name(), "One");
}

// A packet of the given PID for the timeline.
struct TimelineFeed {
  TTimeline timeline;
  std::map<int32_t, int64_t> counts;
  int64_t offset = 0;
  void Add(int32_t pid, double time, bool timed) {
    const Bytes p = MakePacket({.pid = static_cast<uint16_t>(pid)});
    timeline.Packet(TPacketHeaderView(p.data()), offset, time, timed);
    offset += 188;
    ++counts[pid];
  }
  void ExpectSums() const {
    std::map<int32_t, int64_t> sums;
    for (const auto& b : timeline.Buckets())
      for (const auto& c : b.cells) sums[c.pid] += c.packets;
    EXPECT_EQ(sums, counts);
  }
};

TEST(Timeline, StaysWithinItsBucketsAndKeepsEveryPacket) {
  TimelineFeed feed;
  for (int i = 0; i < 1000; ++i) feed.Add(0x100 + i % 3, 0, false);
  EXPECT_FALSE(feed.timeline.Timed());
  // Ten hours of stream time from the first PCR on.
  for (int i = 0; i < 400000; ++i) feed.Add(0x100 + i % 3, i * 0.09, true);
  feed.Add(0x200, 36000, true);
  const TTimeline& t = feed.timeline;
  EXPECT_TRUE(t.Timed());
  EXPECT_LE(t.Buckets().size(), 4096u);
  EXPECT_GT(t.Buckets().size(), 2048u);
  EXPECT_DOUBLE_EQ(t.Span(), 16.0);  // 2^-10 s doubled until 36000 s fit
  // What came before the first PCR is in the first bucket.
  EXPECT_EQ(t.Buckets()[0].offset, 0);
  EXPECT_EQ(t.Buckets()[0].cells.size(), 3u);
  feed.ExpectSums();

  // Thousands of PIDs merge buckets sooner than their count alone would.
  TimelineFeed many;
  for (int i = 0; i < 300000; ++i) many.Add(i % 8000, i * 0.001, true);
  int64_t cells = 0;
  for (const auto& b : many.timeline.Buckets()) cells += static_cast<int64_t>(b.cells.size());
  EXPECT_LE(cells, TTimeline::kMaxCells);
  many.ExpectSums();
}

TEST(Timeline, WithoutPCRsBucketsAreSpansOfBytes) {
  TimelineFeed feed;
  for (int i = 0; i < 2000000; ++i) feed.Add(0x100, 0, false);
  EXPECT_FALSE(feed.timeline.Timed());
  EXPECT_LE(feed.timeline.Buckets().size(), 4096u);
  EXPECT_GE(feed.timeline.Span() * 4096, 2000000.0 * 188);
  feed.ExpectSums();
}

}  // namespace
}  // namespace tessaro::test
