// The demultiplexer: file names, the buffer budget and the descriptor limit
// with thousands of PIDs, and files replaced only when complete.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "extract/Demultiplexer.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::MakePacket;
namespace fs = std::filesystem;

class DemuxTest : public ::testing::Test {
 protected:
  std::string Base(const std::string& name = "movie.ts") const { return dir_.Path(name); }
  std::vector<std::string> Files() const { return dir_.Names(); }
  test::TempDir dir_;
};

// Feeds every slot of stream (whole 188-byte packets) and finishes.
bool Demultiplex(TMPEGTSDemultiplexer& demux, const Bytes& stream) {
  bool ok = true;
  for (size_t at = 0; at + 188 <= stream.size(); at += 188) ok = demux.AddPacket(stream.data() + at, 188) && ok;
  return demux.Finish() && ok;
}

TEST_F(DemuxTest, NamesAFilePerPIDBesideTheChosenName) {
  EXPECT_EQ(TMPEGTSDemultiplexer::OutputFileName("/a.b/out", 0x1FFF), "/a.b/out.$1FFF");
  TMPEGTSDemultiplexer demux;
  demux.SetSettings(Base(), -1);
  // A packet without payload still gets its PID's file; it just adds nothing.
  const Bytes stream = test::Slots({MakePacket({.pid = 0x0000, .payload = {1}}), MakePacket({.pid = 0x0100}),
                                    MakePacket({.pid = 0x1FFF, .afc = 2, .adaptationLength = 183})});
  ASSERT_TRUE(Demultiplex(demux, stream));
  EXPECT_EQ(Files(), (std::vector<std::string>{"movie.$0000", "movie.$0100", "movie.$1FFF"}));
  EXPECT_EQ(fs::file_size(Base("movie.$1FFF")), 0u);
}

TEST_F(DemuxTest, ThousandsOfPIDsStayWithinTheBufferBudgetAndTheDescriptorLimit) {
  std::vector<Bytes> packets;
  for (int round = 0; round < 3; ++round)
    for (int pid = 0; pid < 3000; ++pid)
      packets.push_back(MakePacket({.pid = static_cast<uint16_t>(pid),
                                    .cc = static_cast<uint8_t>(round),
                                    .payload = Bytes(184, static_cast<uint8_t>(round + pid))}));
  TMPEGTSDemultiplexer demux;
  demux.SetOpenFileLimit(16);
  demux.SetSettings(Base("many.ts"), -1);
  const Bytes stream = test::Slots(packets);
  for (size_t at = 0; at < stream.size(); at += 188) ASSERT_TRUE(demux.AddPacket(stream.data() + at, 188));
  int64_t buffers = 0;
  for (int32_t i = 0; i < demux.OutputCount(); ++i) buffers += demux.Output(i).Capacity();
  EXPECT_LE(buffers, TMPEGTSDemultiplexer::kBufferBudget);
  ASSERT_TRUE(demux.Finish());
  demux.RemoveOutputs();
  EXPECT_EQ(Files().size(), 3000u) << "files in place are the user's";
}

TEST_F(DemuxTest, ExistingFilesAreReplacedOnlyByACompleteRun) {
  const Bytes old{1, 2, 3};
  const auto write = [&](const std::string& name) {
    FILE* f = std::fopen(Base(name).c_str(), "wb");
    std::fwrite(old.data(), 1, old.size(), f);
    std::fclose(f);
  };
  write("movie.$0100");
  ::chmod(Base("movie.$0100").c_str(), 0600);
  fs::create_symlink(Base("movie.$0100"), Base("movie.$0101"));
  const Bytes stream = test::Slots({MakePacket({.pid = 0x100}), MakePacket({.pid = 0x101})});
  {
    // Dropped before it finishes: as good as a failure.
    TMPEGTSDemultiplexer demux;
    demux.SetSettings(Base(), -1);
    for (size_t at = 0; at < stream.size(); at += 188) EXPECT_TRUE(demux.AddPacket(stream.data() + at, 188));
    EXPECT_EQ(Files().size(), 4u) << "two unfinished files beside the old ones";
  }
  EXPECT_EQ(Files(), (std::vector<std::string>{"movie.$0100", "movie.$0101"}));
  EXPECT_EQ(test::ReadFileBytes(Base("movie.$0100")), old);

  // Complete: each takes its file's place, the file behind a link included,
  // keeping its permissions, and the link stays a link.
  TMPEGTSDemultiplexer demux;
  demux.SetSettings(Base(), -1);
  ASSERT_TRUE(Demultiplex(demux, stream));
  EXPECT_EQ(Files(), (std::vector<std::string>{"movie.$0100", "movie.$0101"}));
  EXPECT_TRUE(fs::is_symlink(Base("movie.$0101")));
  EXPECT_EQ(test::ReadFileBytes(Base("movie.$0100")).size(), 184u) << "PID 0x101 wrote through the link last";
  EXPECT_EQ(fs::status(Base("movie.$0100")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
}  // namespace tessaro
