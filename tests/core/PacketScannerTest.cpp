// The packet scanner: every rule visits exactly the packets its walk over the
// whole file in memory finds, whatever the block size and whether the bytes
// are read or mapped; progress and cancel; files cut during a walk.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <csignal>

#include <atomic>
#include <map>
#include <random>
#include <vector>

#include "core/FileMap.h"
#include "core/PacketScanner.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;

// count packets of PID 0x100 back to back, their continuity counters in turn.
Bytes PacketRun(int count) {
  Bytes bytes;
  for (int i = 0; i < count; ++i) {
    const Bytes packet = test::MakePacket({.pid = 0x100, .cc = static_cast<uint8_t>(i & 15)});
    bytes.insert(bytes.end(), packet.begin(), packet.end());
  }
  return bytes;
}

// The walks as the window's scans make them over bytes already in memory.
std::vector<int64_t> ByteResyncWalk(const Bytes& b, int64_t start, int64_t end, int ps, int need) {
  std::vector<int64_t> visited;
  for (int64_t i = start; i + need <= end;) {
    if (b[static_cast<size_t>(i)] == 0x47) {
      visited.push_back(i);
      i += ps;
    } else {
      ++i;
    }
  }
  return visited;
}

// The search: chunks of 1024 slots read one after another, each
// synchronised once, the next one starting a slot before the end of the last.
std::vector<int64_t> WindowWalk(const Bytes& b, int64_t start, int ps) {
  std::vector<int64_t> visited;
  const auto size = static_cast<int64_t>(b.size());
  for (int64_t chunk = start;;) {
    const int64_t read = std::min<int64_t>(int64_t{ps} * 1024, size - chunk);
    int64_t n = read;
    if (n <= ps) return visited;
    const uint8_t* p = b.data() + chunk;
    int64_t i = 0;
    while (n >= ps && !(p[i] == 0x47 && (n <= ps || p[i + ps] == 0x47))) {
      ++i;
      --n;
    }
    for (; n >= ps; i += ps, n -= ps)
      if (visited.empty() || chunk + i > visited.back()) visited.push_back(chunk + i);
    chunk += read - ps;
  }
}

// The nearest-PAT forward phase: one synchronisation, then slots while they hold sync bytes.
std::vector<int64_t> StopAtLossWalk(const Bytes& b, int64_t start, int64_t end, int ps) {
  std::vector<int64_t> visited;
  const int64_t n = end - start;
  const uint8_t* p = b.data() + start;
  int64_t q = 0;
  while (q + ps < n && !(p[q] == 0x47 && p[q + ps] == 0x47)) ++q;
  for (; q + 188 < n && p[q] == 0x47; q += ps) visited.push_back(start + q);
  return visited;
}

// TR 101 290 synchronisation: five sync bytes (or every slot left, at least
// two) give sync; two slots in a row without one lose it, and the search
// starts again a byte after the first of them.
std::vector<int64_t> HysteresisWalk(const Bytes& b, int ps, int acquire = 5) {
  std::vector<int64_t> visited;
  const auto size = static_cast<int64_t>(b.size());
  for (int64_t pos = 0;;) {
    for (;; ++pos) {
      if (pos + 188 > size) return visited;
      const int64_t slots = std::min<int64_t>(acquire, (size - pos - 188) / ps + 1);
      if (slots < 2) return visited;
      int64_t j = 0;
      while (j < slots && b[static_cast<size_t>(pos + j * ps)] == 0x47) ++j;
      if (j == slots) break;
    }
    for (int missing = 0; missing < 2; pos += ps) {
      if (pos + 188 > size) return visited;
      visited.push_back(pos);
      missing = b[static_cast<size_t>(pos)] == 0x47 ? 0 : missing + 1;
    }
    pos -= 2 * ps - 1;
  }
}

std::vector<int64_t> Scan(TPacketScanner& scanner, const TFileStream& stream, int ps, int64_t start, int64_t end,
                          const TScanRule& rule) {
  std::vector<int64_t> visited;
  scanner.Scan(stream, ps, start, end, rule, [&](const uint8_t*, int64_t at) {
    visited.push_back(at);
    return true;
  });
  return visited;
}

// The ways the bytes come in: read, and mapped in windows of one page (a
// packet often crosses them, and a walk going back often leaves its
// window) and of sixteen.
struct TWay {
  TPacketScanner::TReadWay way;
  int64_t window;
  std::string Name() const {
    return way == TPacketScanner::TReadWay::Read ? "read" : "map of " + std::to_string(window);
  }
};
const std::vector<TWay> kWays{
    {TPacketScanner::TReadWay::Read, 0}, {TPacketScanner::TReadWay::Map, 4096}, {TPacketScanner::TReadWay::Map, 65536}};

std::vector<std::pair<TWay, int64_t>> WaysAndBlocks(const std::vector<int64_t>& blocks) {
  std::vector<std::pair<TWay, int64_t>> all;
  for (const TWay& way : kWays)
    for (const int64_t block : blocks) all.emplace_back(way, block);
  return all;
}

struct TStreamFile {
  explicit TStreamFile(const std::string& name)
      : bytes(test::ReadFileBytes(test::TestDataPath(name))),
        stream(TFileStream::Open(test::TestDataPath(name), TFileStream::Mode::Read)) {}
  Bytes bytes;
  std::unique_ptr<TFileStream> stream;
};

// Garbage before and between packets, a cut last packet, and slots of 192
// and 204 bytes; reads of one packet up to 8 MiB, and sizes that cut
// packets anywhere. The read end, which the validator's byte count and the
// analysis's reach come from, is the same whatever the way, also where the
// walk's last step looks past the end of the file (slots-192.ts).
TEST(PacketScanner, EveryRuleFindsTheWalksPacketsAtEveryBlockSize) {
  const std::vector<int64_t> blocks{188, 189, 1000, 4096, 65536, 1 << 20, 8 << 20};
  for (const auto& [name, ps] : std::vector<std::pair<std::string, int>>{
           {"garbage.ts", 188}, {"slots-192.ts", 192}, {"slots-204.ts", 204}, {"two-programs.ts", 188}}) {
    TStreamFile file(name);
    ASSERT_TRUE(file.stream) << name;
    const auto size = static_cast<int64_t>(file.bytes.size());
    const int64_t seenEnd = std::min<int64_t>(int64_t{ps} * 10000, 2097152);
    const std::vector<int64_t> byteResync = ByteResyncWalk(file.bytes, 0, std::min(size, seenEnd), ps, ps);
    const std::vector<int64_t> window = WindowWalk(file.bytes, 0, ps);
    const std::vector<int64_t> window77 = WindowWalk(file.bytes, 77, ps);
    const int64_t pageEnd = std::min<int64_t>(size, 47000 + 37600);
    const std::vector<int64_t> stopAtLoss = StopAtLossWalk(file.bytes, 47000, pageEnd, ps);
    const std::vector<int64_t> hysteresis = HysteresisWalk(file.bytes, ps);
    ASSERT_GT(byteResync.size(), 400u) << name;
    ASSERT_GT(window.size(), 400u) << name;
    std::map<int64_t, std::vector<int64_t>> readEnds;  // of the walks with sync hysteresis, by block
    for (const auto& [way, block] : WaysAndBlocks(blocks)) {
      TPacketScanner scanner(block);
      scanner.SetReadWay(way.way, way.window);
      const std::string what = name + ", block " + std::to_string(block) + ", " + way.Name();
      EXPECT_EQ(Scan(scanner, *file.stream, ps, 0, seenEnd, {TSyncRule::ByteResync, ps}), byteResync) << what;
      EXPECT_EQ(Scan(scanner, *file.stream, ps, 0, TPacketScanner::kToEndOfFile, {TSyncRule::WindowSync}), window)
          << what;
      EXPECT_EQ(Scan(scanner, *file.stream, ps, 77, TPacketScanner::kToEndOfFile, {TSyncRule::WindowSync}), window77)
          << what;
      EXPECT_EQ(Scan(scanner, *file.stream, ps, 47000, pageEnd, {TSyncRule::SyncOnceStopAtLoss}), stopAtLoss) << what;
      EXPECT_EQ(Scan(scanner, *file.stream, ps, 0, TPacketScanner::kToEndOfFile, {TSyncRule::Hysteresis}), hysteresis)
          << what;
      readEnds[block].push_back(scanner.ReadEnd());
      const std::vector<int64_t> strides = Scan(scanner, *file.stream, ps, 5, size, {TSyncRule::Stride});
      ASSERT_FALSE(strides.empty()) << what;
      EXPECT_EQ(strides.front(), 5);
      EXPECT_EQ(strides.back(), 5 + (size - 5 - 188) / ps * ps) << what;
    }
    for (const auto& [block, ends] : readEnds)
      EXPECT_EQ(ends, std::vector<int64_t>(ends.size(), ends.front())) << name << ", block " << block;
  }
}

// Sync lost again and again, so the walk goes back to bytes it has passed:
// at every block size they are the file's bytes, even after the reads have
// moved what the buffer keeps to its front.
TEST(PacketScanner, HysteresisGoesBackOverTheFilesOwnBytesAtEveryBlockSize) {
  // Packets, pairs of them without a sync byte, and random bytes between.
  std::mt19937 random(7);
  Bytes bytes;
  for (int i = 0; i < 600; ++i) {
    if (random() % 6 == 0)
      for (uint32_t n = random() % 300 + 1; n > 0; --n) bytes.push_back(static_cast<uint8_t>(random()));
    for (int copy = random() % 8 == 0 ? 2 : 0; copy >= 0; --copy) {
      Bytes packet = test::MakePacket({.pid = 0x100, .cc = static_cast<uint8_t>(i & 15)});
      if (copy > 0) packet[0] = 0x00;
      bytes.insert(bytes.end(), packet.begin(), packet.end());
    }
  }
  test::TempFile file(bytes);
  auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::Read);
  ASSERT_TRUE(stream);
  const std::vector<int64_t> expected = HysteresisWalk(bytes, 188);
  ASSERT_GT(expected.size(), 300u);
  // Among these, some move the kept bytes just before the walk goes back.
  for (int64_t block = 3300; block < 3800; ++block) {
    TPacketScanner scanner(block);
    EXPECT_EQ(Scan(scanner, *stream, 188, 0, TPacketScanner::kToEndOfFile, {TSyncRule::Hysteresis}), expected)
        << "block " << block;
  }
  // Mapped, the walk goes back over the start of its window now and then.
  for (const auto& [way, block] : WaysAndBlocks({188, 3301, 4096, 70000})) {
    TPacketScanner scanner(block);
    scanner.SetReadWay(way.way, way.window);
    EXPECT_EQ(Scan(scanner, *stream, 188, 0, TPacketScanner::kToEndOfFile, {TSyncRule::Hysteresis}), expected)
        << "block " << block << ", " << way.Name();
  }
  // Sync from 60 sync bytes: a span of 11,280 bytes, more than a block and
  // more than the pages kept before each read, so the kept bytes need room
  // of their own, reads longer than the block, and now and then a larger
  // buffer. Runs of 80 packets, where sync comes back, and of 30, too short
  // for it, apart by random bytes.
  Bytes runs;
  for (int i = 0; i < 880; ++i) {
    if (i % 110 == 0 || i % 110 == 80)
      for (uint32_t n = random() % 300 + 1; n > 0; --n) runs.push_back(static_cast<uint8_t>(random()));
    const Bytes packet = test::MakePacket({.pid = 0x100, .cc = static_cast<uint8_t>(i & 15)});
    runs.insert(runs.end(), packet.begin(), packet.end());
  }
  test::TempFile runsFile(runs);
  auto runsStream = TFileStream::Open(runsFile.Path(), TFileStream::Mode::Read);
  ASSERT_TRUE(runsStream);
  TScanRule longAcquire{TSyncRule::Hysteresis};
  longAcquire.acquire = 60;
  const std::vector<int64_t> expectedLong = HysteresisWalk(runs, 188, 60);
  ASSERT_GT(expectedLong.size(), 600u);
  ASSERT_NE(expectedLong, HysteresisWalk(runs, 188));
  for (int64_t block = 188; block < 70000; block = block * 3 / 2) {
    for (const TWay& way : kWays) {
      TPacketScanner scanner(block);
      scanner.SetReadWay(way.way, way.window);
      EXPECT_EQ(Scan(scanner, *runsStream, 188, 0, TPacketScanner::kToEndOfFile, longAcquire), expectedLong)
          << "block " << block << ", " << way.Name();
    }
  }
}

// One destroyed sync byte keeps sync; three in a row lose it after the second,
// and sync comes back at the next five good ones. Near the end, the slots left
// are enough, but one alone is not.
TEST(PacketScanner, HysteresisKeepsSyncOverOneBadSyncByteAndLosesItOverTwo) {
  Bytes bytes = PacketRun(20);
  for (const int i : {5, 10, 11, 12}) bytes[static_cast<size_t>(i) * 188] = 0x00;
  bytes.push_back(0x47);  // a lone sync byte in a cut last slot
  bytes.resize(bytes.size() + 150, 0xFF);
  test::TempFile file(bytes);
  auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::Read);
  ASSERT_TRUE(stream);
  std::vector<int64_t> expected;
  for (int i = 0; i < 20; ++i)
    if (i < 12 || i > 12) expected.push_back(int64_t{i} * 188);
  TPacketScanner scanner;
  EXPECT_EQ(Scan(scanner, *stream, 188, 0, TPacketScanner::kToEndOfFile, {TSyncRule::Hysteresis}), expected);
  EXPECT_EQ(HysteresisWalk(bytes, 188), expected);

  // Two packets after garbage are enough to synchronise on at the end of the range.
  EXPECT_EQ(Scan(scanner, *stream, 188, 15 * 188 + 3, 20 * 188, {TSyncRule::Hysteresis}),
            (std::vector<int64_t>{16 * 188, 17 * 188, 18 * 188, 19 * 188}));
  EXPECT_EQ(Scan(scanner, *stream, 188, 18 * 188 + 1, 20 * 188, {TSyncRule::Hysteresis}), std::vector<int64_t>{});
}

// Cancelled from the visitor in the middle of the file: no packet of a later
// block is visited.
TEST(PacketScanner, CancelStopsWithinABlock) {
  TStreamFile file("two-programs.ts");
  const auto size = static_cast<int64_t>(file.bytes.size());
  constexpr int64_t kBlock = 16 * 1024;
  TPacketScanner scanner(kBlock);
  std::atomic<bool> cancel{false};
  scanner.SetCancel(&cancel);
  int64_t last = -1;
  const TScanEnd end = scanner.Scan(*file.stream, 188, 0, TPacketScanner::kToEndOfFile, {TSyncRule::WindowSync},
                                    [&](const uint8_t*, int64_t at) {
                                      last = at;
                                      if (at >= size / 2) cancel = true;
                                      return true;
                                    });
  EXPECT_EQ(end, TScanEnd::Cancelled);
  EXPECT_GE(last, size / 2);
  EXPECT_LT(last, size / 2 + 1024 * 188 + kBlock);
  EXPECT_LT(last, size - 188);

  // A stop asked by the visitor is not a cancel.
  cancel = false;
  EXPECT_EQ(
      scanner.Scan(*file.stream, 188, 0, size, {TSyncRule::Stride}, [](const uint8_t*, int64_t) { return false; }),
      TScanEnd::Stopped);
}

// Files too short for a packet, or just long enough: every rule walks them as
// the walks over memory do, for block sizes below, at and above a slot.
TEST(PacketScanner, FilesAroundOnePacketLongWalkAlikeAtEveryBlockSize) {
  Bytes two = test::MakePacket({.pid = 0x100});
  const Bytes second = test::MakePacket({.pid = 0x101});
  two.insert(two.end(), second.begin(), second.end());
  for (const size_t size : {0, 1, 187, 188, 189, 188 + 187, 376, 377}) {
    const Bytes bytes(two.begin(), two.begin() + static_cast<std::ptrdiff_t>(std::min(size, two.size())));
    test::TempFile file(bytes);
    auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::Read);
    ASSERT_TRUE(stream);
    const auto end = static_cast<int64_t>(bytes.size());
    std::vector<int64_t> strides;
    for (int64_t at = 0; at + 188 <= end; at += 188) strides.push_back(at);
    for (const auto& [way, block] : WaysAndBlocks({1, 187, 188, 189, 4096, 1 << 20})) {
      TPacketScanner scanner(block);
      scanner.SetReadWay(way.way, way.window);
      const std::string what = std::to_string(size) + " bytes, block " + std::to_string(block) + ", " + way.Name();
      EXPECT_EQ(Scan(scanner, *stream, 188, 0, end, {TSyncRule::ByteResync}), ByteResyncWalk(bytes, 0, end, 188, 188))
          << what;
      EXPECT_EQ(Scan(scanner, *stream, 188, 0, TPacketScanner::kToEndOfFile, {TSyncRule::WindowSync}),
                WindowWalk(bytes, 0, 188))
          << what;
      EXPECT_EQ(Scan(scanner, *stream, 188, 0, end, {TSyncRule::SyncOnceStopAtLoss}),
                StopAtLossWalk(bytes, 0, end, 188))
          << what;
      EXPECT_EQ(Scan(scanner, *stream, 188, 0, TPacketScanner::kToEndOfFile, {TSyncRule::Hysteresis}),
                HysteresisWalk(bytes, 188))
          << what;
      EXPECT_EQ(Scan(scanner, *stream, 188, 0, end, {TSyncRule::Stride}), strides) << what;
    }
  }
}

// A walk of 2000 packets to the end of the file, cut to cut bytes by someone
// else when the walk visits the packet at 18,800.
struct TCutWalk {
  TScanEnd end = TScanEnd::Finished;
  int64_t readEnd = 0;
  int64_t last = -1;     // the last slot visited
  int64_t unsynced = 0;  // slots visited without a sync byte
};
TCutWalk CutDuringWalk(TPacketScanner& scanner, TSyncRule rule, int64_t cut) {
  test::TempFile file(PacketRun(2000));
  auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::Read);
  EXPECT_TRUE(stream);
  if (!stream) return {};
  TCutWalk walk;
  walk.end =
      scanner.Scan(*stream, 188, 0, TPacketScanner::kToEndOfFile, {rule}, [&](const uint8_t* packet, int64_t at) {
        if (at == 100 * 188) {
          EXPECT_EQ(::truncate(file.Path().c_str(), cut), 0);
        }
        // Every byte of the slot, as a visitor may read it.
        volatile uint8_t tail = packet[187];
        static_cast<void>(tail);
        walk.unsynced += packet[0] != 0x47;
        walk.last = at;
        return true;
      });
  walk.readEnd = scanner.ReadEnd();
  return walk;
}

constexpr TSyncRule kRules[] = {TSyncRule::ByteResync, TSyncRule::WindowSync, TSyncRule::SyncOnceStopAtLoss,
                                TSyncRule::Stride, TSyncRule::Hysteresis};

// A file cut short by someone else while a walk reads it: the walk ends
// without a crash, and its read end tells the caller that the file did not
// last as long as it was. Read, the cut lies past the step being walked.
// Mapped, it lies inside it: the pages past the cut, which would end the
// process with SIGBUS, read as zeros, the walk ends at the next step, and
// its read end is the cut. (A cut ahead of a mapped step is found by the
// step's own look at the size, as a read would find it.)
TEST(PacketScanner, AFileCutDuringAWalkEndsItShortOfTheSize) {
  constexpr int64_t kSize = 2000 * 188;
  constexpr int64_t kReadCut = 500 * 188 + 100;
  constexpr int64_t kBlock = 16 * 1024;
  constexpr int64_t kMapCut = 30000;
  constexpr int64_t kWindow = 65536;  // one step, the window
  for (const TSyncRule rule : kRules) {
    const std::string what = "rule " + std::to_string(static_cast<int>(rule));
    TPacketScanner reads(kBlock);
    reads.SetReadWay(TPacketScanner::TReadWay::Read);
    const TCutWalk read = CutDuringWalk(reads, rule, kReadCut);
    EXPECT_EQ(read.end, TScanEnd::Finished) << what;
    EXPECT_LT(read.readEnd, kSize) << what;
    EXPECT_LE(read.readEnd, kReadCut + kBlock) << what;
    EXPECT_GE(read.last, 100 * 188) << what;
    EXPECT_LT(read.last, kReadCut + kBlock) << what;
    EXPECT_EQ(read.unsynced, 0) << what;  // nothing it did not read

    TPacketScanner mapped(kWindow);
    mapped.SetReadWay(TPacketScanner::TReadWay::Map, kWindow);
    const TCutWalk map = CutDuringWalk(mapped, rule, kMapCut);
    EXPECT_EQ(map.end, TScanEnd::Finished) << what;
    EXPECT_EQ(map.readEnd, kMapCut) << what;
    EXPECT_GE(map.last, 100 * 188) << what;
    EXPECT_LT(map.last, kWindow) << what;
  }
  // The chunks of Blocks likewise.
  test::TempFile file(PacketRun(2000));
  auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::Read);
  ASSERT_TRUE(stream);
  TPacketScanner scanner;
  scanner.SetReadWay(TPacketScanner::TReadWay::Map, 1 << 20);
  int64_t handed = 0;
  EXPECT_EQ(scanner.Blocks(*stream, 0, 20000,
                           [&](const uint8_t* data, int64_t length, int64_t offset) {
                             if (offset == 0) {
                               EXPECT_EQ(::truncate(file.Path().c_str(), kMapCut), 0);
                             }
                             for (int64_t i = 0; i < length; i += 1000) handed += data[i] == 0x47;
                             return true;
                           }),
            TScanEnd::Finished);
  EXPECT_EQ(scanner.ReadEnd(), kMapCut);
  EXPECT_GT(handed, 0);
}

// A SIGBUS that is no mapped window's is not the map's to handle: a page
// lost from a mapping of someone else's still ends the process while a
// window is mapped, and so does a SIGBUS sent to it.
TEST(PacketScannerDeathTest, ASIGBUSOutsideTheWindowsStillEndsTheProcess) {
  const Bytes bytes = PacketRun(100);
  test::TempFile ours(bytes);
  test::TempFile theirs(bytes);
  EXPECT_DEATH(
      {
        auto stream = TFileStream::Open(ours.Path(), TFileStream::Mode::Read);
        TFileMap map;
        if (stream == nullptr || map.Map(stream->Descriptor(), 0, 8192) == nullptr) std::_Exit(0);
        const int fd = ::open(theirs.Path().c_str(), O_RDONLY);
        auto* other = static_cast<volatile uint8_t*>(::mmap(nullptr, 8192, PROT_READ, MAP_SHARED, fd, 0));
        if (other == MAP_FAILED || ::truncate(theirs.Path().c_str(), 0) != 0) std::_Exit(0);
        static_cast<void>(other[4096]);
        std::_Exit(0);
      },
      "");
  // Nor is one sent to the process.
  EXPECT_DEATH(
      {
        std::raise(SIGBUS);
        std::_Exit(0);
      },
      "");
}

// The raw walk of the extractions reads several chunks at once, yet hands
// them over one by one as reads of one chunk would: whole chunks in file
// order, the last one shorter, the bytes as they are.
TEST(PacketScanner, BlocksHandsTheFileOverInChunksOfTheAskedSize) {
  constexpr int64_t kChunk = 102400;
  for (const int64_t size : {int64_t{0}, kChunk - 1, kChunk, 3 * TPacketScanner::kBlocksRead + 12345}) {
    Bytes bytes(static_cast<size_t>(size));
    std::mt19937 random(static_cast<uint32_t>(size));
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    test::TempFile file(bytes);
    auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::Read);
    ASSERT_TRUE(stream);
    TPacketScanner scanner;
    Bytes seen;
    std::vector<int64_t> lengths;
    EXPECT_EQ(scanner.Blocks(*stream, 0, kChunk,
                             [&](const uint8_t* data, int64_t length, int64_t offset) {
                               EXPECT_EQ(offset, static_cast<int64_t>(seen.size()));
                               seen.insert(seen.end(), data, data + length);
                               lengths.push_back(length);
                               return true;
                             }),
              TScanEnd::Finished);
    EXPECT_EQ(seen, bytes) << size;
    ASSERT_EQ(static_cast<int64_t>(lengths.size()), (size + kChunk - 1) / kChunk) << size;
    for (size_t i = 0; i + 1 < lengths.size(); ++i) EXPECT_EQ(lengths[i], kChunk) << size;
  }
}

// Progress over a walk to the end of a file that keeps its size, grows or
// shrinks: the reports climb, and the last is the bytes there were, out of as
// many.
TEST(PacketScanner, ProgressReachesTheTotalOfAFileThatGrowsOrShrinks) {
  const Bytes bytes = PacketRun(1000);
  const auto size = static_cast<int64_t>(bytes.size());
  constexpr int64_t kBlock = 16 * 1024;
  for (const int64_t newSize : {size, size + 300 * 188, int64_t{500 * 188 + 100}}) {
    test::TempFile file(bytes);
    auto stream = TFileStream::Open(file.Path(), TFileStream::Mode::Read);
    ASSERT_TRUE(stream);
    TPacketScanner scanner(kBlock);
    std::vector<std::pair<int64_t, int64_t>> reports;
    scanner.SetProgress([&](int64_t done, int64_t total) { reports.emplace_back(done, total); });
    scanner.Scan(*stream, 188, 0, TPacketScanner::kToEndOfFile, {TSyncRule::Stride}, [&](const uint8_t*, int64_t at) {
      if (at == 100 * 188) {
        EXPECT_EQ(::truncate(file.Path().c_str(), newSize), 0);
      }
      return true;
    });
    ASSERT_GT(reports.size(), 5u) << newSize;
    EXPECT_EQ(reports.back(), std::make_pair(newSize, newSize)) << newSize;
    for (size_t i = 1; i < reports.size(); ++i) EXPECT_LE(reports[i - 1].first, reports[i].first) << newSize;
    for (const auto& [done, total] : reports) EXPECT_LE(done, total);
  }
}

}  // namespace
}  // namespace tessaro
