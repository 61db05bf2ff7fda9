// Broken streams in the window: every fixture with 50 seeded mutations (bit
// flips, lying length fields, truncation, bursts of junk) is opened offscreen,
// paged through to its end with every row selected. Nothing may crash, and
// the sanitizer build runs this too.
#include <gtest/gtest.h>

#include <QTest>

#include <random>

#include "support/TestSupport.h"
#include "ui/UiSupport.h"

namespace tessaro {
namespace {

using test::Bytes;

constexpr int kMutationsPerFixture = 50;
constexpr size_t kMaxBytes = 48 * 1024;

// One seeded mutation of a stream.
Bytes Mutate(Bytes bytes, uint32_t seed) {
  std::mt19937 random(seed);
  auto below = [&](size_t n) { return n == 0 ? size_t{0} : std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  // Packet starts (at the first sync byte's stride) are where length fields lie.
  auto packetStart = [&] { return (below(bytes.size() / 188 + 1) * 188) % std::max<size_t>(bytes.size(), 1); };
  const int rounds = 1 + static_cast<int>(below(6));
  for (int round = 0; round < rounds && !bytes.empty(); ++round) {
    switch (below(4)) {
      case 0:  // bit flips
        for (int i = 0, n = 1 + static_cast<int>(below(64)); i < n; ++i)
          bytes[below(bytes.size())] ^= static_cast<uint8_t>(1u << below(8));
        break;
      case 1: {  // a lying length: adaptation_field_length, pointer_field or section_length
        const size_t at = packetStart() + 4 + below(4);
        if (at < bytes.size()) bytes[at] = static_cast<uint8_t>(below(2) == 0 ? 0xFF : below(256));
        break;
      }
      case 2:  // truncation
        bytes.resize(below(bytes.size()) + 1);
        break;
      default: {  // a burst of junk
        const size_t at = below(bytes.size());
        const size_t length = 1 + below(600);
        for (size_t i = at; i < std::min(bytes.size(), at + length); ++i) bytes[i] = static_cast<uint8_t>(below(256));
        break;
      }
    }
  }
  return bytes;
}

// Pages from the first page to the last one, selecting every row on the way.
void PageThrough(test::TWindow& w) {
  TForm1& form = *w.form;
  int64_t lastTop = -1;
  for (int page = 0; page < 2000 && form.Browser().IsLoaded(); ++page) {
    const int rows = form.PacketList()->model()->rowCount();
    for (int row = 0; row < rows; ++row) {
      form.SelectRow(row);
      form.RefreshSelectedPacket();
    }
    if (form.Browser().TopOffset() == lastTop) break;
    lastTop = form.Browser().TopOffset();
    QTest::keyClick(form.PacketList(), Qt::Key_PageDown);
  }
  QTest::keyClick(form.PacketList(), Qt::Key_End);
  QTest::keyClick(form.PacketList(), Qt::Key_Down);
  QTest::keyClick(form.PacketList(), Qt::Key_Home);
}

class CorruptedStreams : public ::testing::TestWithParam<std::string> {};

TEST_P(CorruptedStreams, OpenPageAndSelectEveryRow) {
  test::IsolateSettings();
  Bytes original = test::ReadFileBytes(test::TestDataPath(GetParam()));
  ASSERT_FALSE(original.empty());
  original.resize(std::min(original.size(), kMaxBytes));
  test::TWindow w;
  int opened = 0;
  for (int k = 0; k < kMutationsPerFixture; ++k) {
    const uint32_t seed = static_cast<uint32_t>(std::hash<std::string>{}(GetParam()) + k);
    test::TempFile file(Mutate(original, seed));
    if (!w.form->LoadFile(file.Path())) continue;
    ++opened;
    PageThrough(w);
    w.form->UnloadFile();
  }
  // Most mutations keep enough of the stream to be opened and paged.
  EXPECT_GT(opened, kMutationsPerFixture / 2);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CorruptedStreams,
                         ::testing::Values("one-program.ts", "two-programs.ts", "slots-192.ts", "slots-204.ts",
                                           "garbage.ts"),
                         [](const auto& info) { return test::TestNameOf(info.param); });

}  // namespace
}  // namespace tessaro
