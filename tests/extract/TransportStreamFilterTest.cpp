// The PID filter: identical output whatever the chunk sizes, only garbage
// lost, every slot size, the lists and their 8192 PIDs.
#include <gtest/gtest.h>

#include <random>

#include "extract/TransportPacket.h"
#include "extract/TransportStreamFilter.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::TestDataPath;

// Concatenated slots the filter passes on, fed in chunks of the given sizes
// (cycled), then flushed. type 0: the filter finds the slot size itself.
Bytes Filtered(const Bytes& input, const std::vector<size_t>& chunks, int32_t type = 1,
               std::function<void(TIncExcTransportStreamFilter&)> setUp = {}) {
  TIncExcTransportStreamFilter filter;
  if (type != 0) filter.SetPacketType(type);
  Bytes out;
  filter.SetOnSendData([&](const uint8_t* packet, int32_t length) {
    out.insert(out.end(), packet, packet + length);
    return 0;
  });
  if (setUp) setUp(filter);
  size_t i = 0;
  for (size_t at = 0; at < input.size(); ++i) {
    const size_t n = std::min(chunks[i % chunks.size()], input.size() - at);
    EXPECT_EQ(filter.AddData(input.data() + at, static_cast<int32_t>(n)), S_OK);
    at += n;
  }
  filter.Flush();
  return out;
}

// Slots of the given size around the fixture's packets: a 192-byte slot puts
// 4 bytes before the packet, the others their extra bytes after it; none of
// the extra bytes is 0x47.
Bytes SlotStream(const std::vector<Bytes>& packets, int32_t slot) {
  Bytes out;
  uint8_t fill = 0;
  auto extra = [&](int count) {
    for (int i = 0; i < count; ++i, ++fill) out.push_back(fill == 0x47 ? 0x48 : fill);
  };
  for (const Bytes& packet : packets) {
    if (slot == 192) extra(4);
    out.insert(out.end(), packet.begin(), packet.end());
    if (slot != 192) extra(slot - 188);
  }
  return out;
}

std::vector<Bytes> FixturePackets(size_t count) {
  const Bytes file = test::ReadFileBytes(TestDataPath("one-program.ts"));
  std::vector<Bytes> packets;
  for (size_t at = 0; at + 188 <= file.size() && packets.size() < count; at += 188)
    packets.emplace_back(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at + 188));
  return packets;
}

Bytes Garbage(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes out(count);
  for (uint8_t& b : out) {
    b = static_cast<uint8_t>(random());
    if (b == 0x47) b = 0x46;
  }
  return out;
}

TEST(Filter, OutputIsTheSameWhateverTheChunkSizes) {
  const Bytes garbage = test::ReadFileBytes(TestDataPath("garbage.ts"));
  const Bytes m2ts = test::ReadFileBytes(TestDataPath("slots-192.ts"));
  const Bytes whole = Filtered(garbage, {garbage.size()});
  const Bytes whole192 = Filtered(m2ts, {m2ts.size()}, 5);
  ASSERT_FALSE(whole.empty());
  // An M2TS file passes whole, its prefixes included, the last slot too
  // though only 188 bytes follow its sync byte.
  EXPECT_EQ(whole192, m2ts);
  const std::vector<std::vector<size_t>> chunkings{
      {1}, {2}, {3}, {7}, {187}, {188}, {189}, {191, 193}, {1000}, {4096}, {102400}, {1 << 20}, {1, 5000, 3, 188 * 3}};
  for (const auto& chunks : chunkings) {
    EXPECT_EQ(Filtered(garbage, chunks), whole) << "chunks of " << chunks[0];
    EXPECT_EQ(Filtered(m2ts, chunks, 5), whole192) << "chunks of " << chunks[0];
    // The slot size found from the data, as a filter fed without one does.
    EXPECT_EQ(Filtered(garbage, chunks, 0), whole) << "chunks of " << chunks[0];
  }
}

TEST(Filter, APacketCutShortAndPaddingAfterTheLastAreLost) {
  // (What passes of garbage.ts, packets 0..499 of one-program.ts, is checked
  // through Extract PIDs by ExtractionTest.ExtractPIDsWritesThosePacketsInFileOrder;
  // garbage between slots is EverySlotSizeIsCutAtItsStart's.) A packet cut short by the chain that starts inside it is
  // garbage; the whole packet before it and the file's last packet, padding after it, pass.
  const std::vector<Bytes> packets = FixturePackets(40);
  Bytes input;
  Bytes expected;
  for (size_t i = 0; i < packets.size(); ++i) {
    const Bytes& p = packets[i];
    if (i == 10) {
      input.insert(input.end(), p.begin(), p.begin() + 100);
      continue;
    }
    input.insert(input.end(), p.begin(), p.end());
    expected.insert(expected.end(), p.begin(), p.end());
  }
  input.insert(input.end(), 300, 0x00);
  for (const auto& chunks : std::vector<std::vector<size_t>>{{input.size()}, {1}, {333}})
    EXPECT_EQ(Filtered(input, chunks), expected);
}

TEST(Filter, EverySlotSizeIsCutAtItsStart) {
  const std::vector<Bytes> packets = FixturePackets(300);
  for (int32_t slot : {188, 192, 196, 204, 212}) {
    const int32_t type = PacketTypeOfSize(slot);
    const Bytes slots = SlotStream(packets, slot);
    // Garbage before, and between slots 99 and 100: only the garbage goes.
    const Bytes lead = Garbage(1000, static_cast<uint32_t>(slot));
    Bytes input(lead);
    const auto cut = slots.begin() + 100 * slot;
    input.insert(input.end(), slots.begin(), cut);
    const Bytes run = Garbage(77, 1);
    input.insert(input.end(), run.begin(), run.end());
    input.insert(input.end(), cut, slots.end());
    for (const auto& chunks : std::vector<std::vector<size_t>>{{input.size()}, {1}, {4099}}) {
      EXPECT_EQ(Filtered(input, chunks, type), slots) << slot;
      EXPECT_EQ(Filtered(input, chunks, 0), slots) << slot << ", size found from the data";
    }
  }
}

TEST(Filter, TheSlotSizeStaysWhatTheStreamWasOpenedWith) {
  // A 204-byte stream whose byte 212 after a sync byte is 0x47 too, and
  // garbage that would make 196-byte slots of a 188 stream.
  std::vector<Bytes> packets = FixturePackets(50);
  Bytes input = SlotStream(packets, 204);
  for (size_t i = 0; i + 212 < input.size(); i += 204) input[i + 212] = 0x47;
  size_t passed = 0;
  Filtered(input, {1000}, 2, [&](TIncExcTransportStreamFilter& f) {
    f.SetOnSendData([&](const uint8_t*, int32_t length) {
      EXPECT_EQ(length, 204);
      ++passed;
      return 0;
    });
  });
  EXPECT_EQ(passed, 50u);
}

TEST(Filter, IncludeAndExcludeListsKeepFileOrder) {
  const Bytes file = test::ReadFileBytes(TestDataPath("two-programs.ts"));
  auto pidsOf = [](const Bytes& out) {
    std::vector<int32_t> pids;
    for (size_t at = 0; at + 188 <= out.size(); at += 188) pids.push_back(GetPacketPID(out.data() + at, 188));
    return pids;
  };
  std::vector<int32_t> inFile;
  for (size_t at = 0; at + 188 <= file.size(); at += 188) inFile.push_back(GetPacketPID(file.data() + at, 188));

  // (An include list is Extract PIDs, whose output ExtractionTest checks packet by packet.)
  std::vector<int32_t> wanted;
  // An empty exclude list passes everything; an unknown type passes everything too.
  EXPECT_EQ(Filtered(file, {102400}, 1, [](auto& f) { f.SetTSFilterType(2); }), file);
  EXPECT_EQ(Filtered(file, {102400}, 1, [](auto& f) { EXPECT_EQ(f.SetTSFilterType(7), E_FAIL); }), file);
  const Bytes without = Filtered(file, {102400}, 1, [](auto& f) {
    f.SetTSFilterType(2);
    f.SetExcludeCount(1);
    f.SetExcludeArray(0, 0x0100);
  });
  for (int32_t pid : inFile)
    if (pid != 0x0100) wanted.push_back(pid);
  EXPECT_EQ(pidsOf(without), wanted);

  // All 8192 PIDs fit in the include list; index 8192 is ignored.
  std::vector<Bytes> many;
  for (int pid = 0; pid < 8192; ++pid) many.push_back(test::MakePacket({.pid = static_cast<uint16_t>(pid)}));
  const Bytes all = test::Slots(many);
  EXPECT_EQ(Filtered(all, {102400}, 1,
                     [](auto& g) {
                       g.SetTSFilterType(1);
                       g.SetIncludeCount(8192);
                       for (int32_t pid = 0; pid <= 8192; ++pid) g.SetIncludeArray(pid, pid);
                     }),
            all);
}

// (A cut last packet is garbage.ts's, which ExtractionTest reads back.)
TEST(Filter, RefusesMissingDataAndPassesNoGarbage) {
  TIncExcTransportStreamFilter filter;
  EXPECT_EQ(filter.AddData(nullptr, 10), E_FAIL);
  const uint8_t byte = 0x47;
  EXPECT_EQ(filter.AddData(&byte, 0), E_FAIL);
  EXPECT_TRUE(Filtered(Garbage(100000, 3), {4096}).empty());
}

}  // namespace
}  // namespace tessaro
