// The analysis plots on the analysis fixtures: the points' values and the
// packets they lead to, the legend, saving, and streams with little to draw.

#include <gtest/gtest.h>

#include <qcustomplot.h>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "analysis/StreamAnalysis.h"
#include "support/TestSupport.h"
#include "ui/AnalysisPlots.h"

namespace tessaro::test {
namespace {

TStreamAnalysis AnalyzeFixture(const std::string& name) {
  const auto stream = TFileStream::Open(TestDataPath(name), TFileStream::Mode::Read);
  EXPECT_TRUE(stream) << name;
  return stream ? AnalyzeStream(*stream) : TStreamAnalysis{};
}

// Shown offscreen at a fixed size, so pixels and coordinates agree.
struct TShownPlots {
  TAnalysisPlots plots;
  TShownPlots() {
    plots.resize(900, 700);
    plots.show();
    QApplication::processEvents();
  }
  void Draw(const TStreamAnalysis& a) {
    plots.SetAnalysis(a);
    for (QCustomPlot* p : {plots.BitratePlot(), plots.IntervalPlot(), plots.AccuracyPlot(), plots.TimestampPlot()})
      p->replot();
  }
  // Plots on other tabs are drawn when their tab is shown.
  QCustomPlot* Showing(QCustomPlot* plot) {
    for (int i = 0; i < plots.count(); ++i)
      if (plots.widget(i) == plot || plots.widget(i)->isAncestorOf(plot)) plots.setCurrentIndex(i);
    QApplication::processEvents();
    plot->replot();
    return plot;
  }
};

QCPGraph* GraphNamed(QCustomPlot* plot, const QString& name) {
  for (int i = 0; i < plot->graphCount(); ++i)
    if (plot->graph(i)->name() == name) return plot->graph(i);
  return nullptr;
}

// The packets of PID 0x0100 that carry a PCR, read straight from the file.
std::vector<int64_t> PCRPackets(const std::string& name) {
  std::ifstream in(TestDataPath(name), std::ios::binary);
  std::vector<int64_t> offsets;
  uint8_t p[188];
  for (int64_t offset = 0; in.read(reinterpret_cast<char*>(p), 188); offset += 188)
    if (p[0] == 0x47 && ((p[1] & 0x1F) << 8 | p[2]) == 0x100 && (p[3] & 0x20) && p[4] > 0 && (p[5] & 0x10))
      offsets.push_back(offset);
  return offsets;
}

TEST(AnalysisPlots, MovedPCRIsThePointThatLeadsToItsPacket) {
  // The fixture's 20th PCR (counted from 0) is 1 us late.
  const std::vector<int64_t> pcrs = PCRPackets("analysis-pcr-moved.ts");
  ASSERT_GT(pcrs.size(), 20u);
  const int64_t moved = pcrs[20];
  TShownPlots shown;
  shown.Draw(AnalyzeFixture("analysis-pcr-moved.ts"));
  EXPECT_TRUE(shown.plots.PCRNote().isEmpty() && shown.plots.TimestampNote().isEmpty());
  QCustomPlot* plot = shown.Showing(shown.plots.AccuracyPlot());
  QCPGraph* graph = GraphNamed(plot, "PID 0x0100");
  ASSERT_NE(graph, nullptr);
  const QCPGraphData* worst = nullptr;
  for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
    if (worst == nullptr || std::fabs(it->value) > std::fabs(worst->value)) worst = &*it;
  ASSERT_NE(worst, nullptr);
  EXPECT_NEAR(worst->value, 1000, 50);  // ns
  EXPECT_EQ(shown.plots.OffsetAt(plot, "PID 0x0100", worst->key), moved);
  EXPECT_EQ(shown.plots.OffsetAt(plot, "PID 0x0100", worst->key + 100), -1);
  // (A double-click on a point: ManyBucketsAreReducedToPixelsWithoutLosingASpike.)

  // The PCR interval plot has its points where the PCRs close intervals.
  QCPGraph* intervals = GraphNamed(shown.plots.IntervalPlot(), "PID 0x0100");
  ASSERT_NE(intervals, nullptr);
  for (auto it = intervals->data()->constBegin(); it != intervals->data()->constEnd(); ++it) {
    const int64_t offset = shown.plots.OffsetAt(shown.plots.IntervalPlot(), "PID 0x0100", it->key);
    EXPECT_TRUE(std::find(pcrs.begin() + 1, pcrs.end(), offset) != pcrs.end()) << offset;
  }
}

TEST(AnalysisPlots, ConstantRateBitrateIsPacketsTimes1504PerBucket) {
  const TStreamAnalysis a = AnalyzeFixture("analysis-cbr.ts");
  ASSERT_TRUE(a.timeline.bucket);
  const double bucket = *a.timeline.bucket;
  TShownPlots shown;
  shown.Draw(a);
  QCustomPlot* plot = shown.plots.BitratePlot();
  QCPGraph* total = GraphNamed(plot, "Total");
  QCPGraph* video = GraphNamed(plot, "PID 0x0100");
  ASSERT_TRUE(total && video);
  auto valueAt = [](QCPGraph* graph, double key) {
    const auto it = graph->data()->findBegin(key, false);
    EXPECT_TRUE(it != graph->data()->constEnd() && it->key == key) << key;
    return it == graph->data()->constEnd() ? -1.0 : it->value;
  };
  for (size_t r = 0; r < a.timeline.rows.size(); ++r) {
    const TTimelineRow& row = a.timeline.rows[r];
    int64_t packets = 0;
    int64_t videoPackets = 0;
    for (const TTimelinePID& p : row.pids) {
      packets += p.packets;
      if (p.pid == 0x100) videoPackets = p.packets;
    }
    EXPECT_DOUBLE_EQ(valueAt(total, *row.time), packets * 1504 / bucket);
    EXPECT_DOUBLE_EQ(valueAt(video, *row.time), videoPackets * 1504 / bucket);
    EXPECT_EQ(shown.plots.OffsetAt(plot, "Total", *row.time), row.offset);
    // A bucket without packets, between two rows, reads zero.
    if (r > 0 && *row.time - *a.timeline.rows[r - 1].time > 1.5 * bucket) {
      EXPECT_EQ(valueAt(total, *a.timeline.rows[r - 1].time + bucket), 0);
      EXPECT_EQ(shown.plots.OffsetAt(plot, "Total", *a.timeline.rows[r - 1].time + bucket), row.offset);
    }
  }
  // The mean over the stream's duration is its constant rate.
  double bits = 0;
  for (auto it = total->data()->constBegin(); it != total->data()->constEnd(); ++it) bits += it->value * bucket;
  EXPECT_NEAR(bits / *a.duration, 600000, 600000 * 0.03);

  // Stacked, the top service area meets the total at every point.
  shown.plots.StackByService()->setChecked(true);
  ASSERT_EQ(GraphNamed(plot, "PID 0x0100"), nullptr);
  total = GraphNamed(plot, "Total");
  QCPGraph* top = plot->graph(plot->graphCount() - 2);
  EXPECT_TRUE(top->name().startsWith("Program 1") || top->name() == "Other PIDs") << top->name().toStdString();
  ASSERT_EQ(top->data()->size(), total->data()->size());
  for (int i = 0; i < total->data()->size(); ++i)
    EXPECT_NEAR(top->data()->at(i)->value, total->data()->at(i)->value, 1e-6);
}

TEST(AnalysisPlots, LegendClickAndZoomSurviveRedraws) {
  const TStreamAnalysis a = AnalyzeFixture("analysis-cbr.ts");
  TStreamAnalysis first = a;
  first.timeline.rows.resize(a.timeline.rows.size() / 2);
  TShownPlots shown;
  shown.Draw(first);
  QCustomPlot* plot = shown.plots.BitratePlot();
  QCPGraph* video = GraphNamed(plot, "PID 0x0100");
  ASSERT_NE(video, nullptr);
  const QRect item = plot->legend->itemWithPlottable(video)->rect();
  QTest::mouseClick(plot, Qt::LeftButton, {}, item.center());
  EXPECT_FALSE(video->visible());

  // A growing timeline: the hidden series stays hidden; the untouched
  // timestamp plot, drawn when its tab is shown, fits the longer data; the
  // zoomed bitrate plot keeps its range.
  const double firstEnd = shown.Showing(shown.plots.TimestampPlot())->xAxis->range().upper;
  shown.Showing(plot)->xAxis->setRange(0.1, 0.2);
  shown.Draw(a);
  EXPECT_FALSE(video->visible());
  EXPECT_EQ(plot->xAxis->range(), QCPRange(0.1, 0.2));
  EXPECT_GT(shown.Showing(shown.plots.TimestampPlot())->xAxis->range().upper, firstEnd * 1.5);
  shown.Showing(plot);

  QTest::mouseClick(plot, Qt::LeftButton, {}, plot->legend->itemWithPlottable(video)->rect().center());
  EXPECT_TRUE(video->visible());
}

// Far more buckets than pixels: the graph draws each pixel column's lowest
// and highest point, so a one-bucket spike still shows; zoomed in, it holds
// the buckets themselves; the pointer finds the bucket under it either way.
TEST(AnalysisPlots, ManyBucketsAreReducedToPixelsWithoutLosingASpike) {
  constexpr int kRows = 4096;
  constexpr int kSpike = 1234;
  const double bucket = 1e-3;
  auto packets = [](int r) { return r == kSpike ? 10 : 1 + r % 3; };
  TStreamAnalysis a;
  a.timeline.bucket = bucket;
  for (int r = 0; r < kRows; ++r) {
    TTimelineRow row;
    row.time = r * bucket;
    row.offset = int64_t{r} * 188 * 10;
    row.pids.push_back({});
    row.pids.back().pid = 0x100;
    row.pids.back().packets = packets(r);
    row.pids.back().offset = row.offset;
    a.timeline.rows.push_back(row);
  }
  const double spikeRate = 10 * 1504 / bucket;
  TShownPlots shown;
  shown.Draw(a);
  QCustomPlot* plot = shown.plots.BitratePlot();
  QCPGraph* graph = GraphNamed(plot, "PID 0x0100");
  ASSERT_NE(graph, nullptr);
  EXPECT_LE(graph->data()->size(), 2 * plot->axisRect()->width() + 4);
  double highest = 0;
  for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
    highest = std::max(highest, it->value);
  EXPECT_EQ(highest, spikeRate);
  const double spikeKey = kSpike * bucket;
  const int64_t spikeOffset = a.timeline.rows[kSpike].offset;
  QSignalSpy chosen(&shown.plots, &TAnalysisPlots::PacketChosen);
  QTest::mouseDClick(plot, Qt::LeftButton, {}, graph->coordsToPixels(spikeKey, spikeRate).toPoint());
  ASSERT_EQ(chosen.count(), 1);
  EXPECT_EQ(chosen.at(0).at(0).toLongLong(), spikeOffset);

  // Zoomed in, every bucket in sight is a point of its own, as measured.
  plot->xAxis->setRange(spikeKey - 20.5 * bucket, spikeKey + 20.5 * bucket);
  plot->replot();
  int inSight = 0;
  for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it) {
    const auto r = static_cast<int>(std::lround(it->key / bucket));
    EXPECT_DOUBLE_EQ(it->key, r * bucket);
    EXPECT_EQ(it->value, packets(r) * 1504 / bucket) << r;
    inSight += plot->xAxis->range().contains(it->key) ? 1 : 0;
  }
  EXPECT_EQ(inSight, 41);
  QTest::mouseDClick(plot, Qt::LeftButton, {},
                     graph->coordsToPixels(spikeKey + bucket, packets(kSpike + 1) * 1504 / bucket).toPoint());
  ASSERT_EQ(chosen.count(), 2);
  EXPECT_EQ(chosen.at(1).at(0).toLongLong(), a.timeline.rows[kSpike + 1].offset);

  // A double-click beside the points fits the whole timeline again.
  QTest::mouseDClick(plot, Qt::LeftButton, {}, graph->coordsToPixels(spikeKey, spikeRate * 0.6).toPoint());
  plot->replot();
  EXPECT_EQ(plot->xAxis->range(), QCPRange(0, (kRows - 1) * bucket));
}

TEST(AnalysisPlots, SavePlotWritesPNGAndSVGOrSaysItDidNot) {
  TShownPlots shown;
  shown.Draw(AnalyzeFixture("analysis-cbr.ts"));
  TempDir folder;
  const QString png = QString::fromStdString(folder.Path("bitrate.png"));
  ASSERT_TRUE(shown.plots.SavePlot(png));
  const QImage image(png);
  EXPECT_EQ(image.size(), shown.plots.BitratePlot()->size());

  const QString svg = QString::fromStdString(folder.Path("bitrate.svg"));
  ASSERT_TRUE(shown.plots.SavePlot(svg));
  QFile file(svg);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray start = file.read(64).trimmed();
  EXPECT_TRUE(start.startsWith("<?xml") || start.startsWith("<svg")) << start.toStdString();

  EXPECT_FALSE(shown.plots.SavePlot(QString::fromStdString(folder.Path("plot.bmpx"))));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(folder.Path("plot.bmpx"))));
}

TEST(AnalysisPlots, StreamsWithLittleToDraw) {
  TShownPlots shown;
  // No timeline at all: nothing is drawn, and a double-click finds nothing.
  shown.Draw(TStreamAnalysis{});
  QSignalSpy chosen(&shown.plots, &TAnalysisPlots::PacketChosen);
  for (QCustomPlot* p : {shown.plots.BitratePlot(), shown.plots.AccuracyPlot()}) {
    shown.Showing(p);
    for (int i = 0; i < p->graphCount(); ++i) EXPECT_TRUE(p->graph(i)->data()->isEmpty());
    QTest::mouseDClick(p, Qt::LeftButton, {}, p->rect().center());
  }
  EXPECT_EQ(chosen.count(), 0);
  EXPECT_EQ(shown.plots.OffsetAt(shown.plots.BitratePlot(), "Total", 0), -1);

  // No PCR: packets per span of bytes over file offset; the points still lead to packets.
  const TStreamAnalysis a = AnalyzeFixture("analysis-no-pcr.ts");
  ASSERT_FALSE(a.timeline.bucket);
  shown.Draw(a);
  QCustomPlot* plot = shown.Showing(shown.plots.BitratePlot());
  EXPECT_TRUE(plot->yAxis->label().contains("no PCR"));
  QCPGraph* total = GraphNamed(plot, "Total");
  ASSERT_NE(total, nullptr);
  ASSERT_EQ(total->data()->size(), static_cast<int>(a.timeline.rows.size()));
  for (size_t r = 0; r < a.timeline.rows.size(); ++r) {
    const TTimelineRow& row = a.timeline.rows[r];
    EXPECT_EQ(shown.plots.OffsetAt(plot, "Total", static_cast<double>(row.offset)), row.offset);
    int64_t packets = 0;
    for (const TTimelinePID& p : row.pids) packets += p.packets;
    EXPECT_EQ(total->data()->at(static_cast<int>(r))->value, packets);
  }
  EXPECT_EQ(shown.Showing(shown.plots.AccuracyPlot())->graphCount(), 0);
  // The empty timing tabs say why: PES packets carry a PTS, but no PCR times them.
  ASSERT_FALSE(a.timestamps.empty());
  EXPECT_EQ(shown.plots.PCRNote(), "No PCR in the stream");
  EXPECT_TRUE(shown.plots.TimestampNote().startsWith("No PTS - PCR: ")) << shown.plots.TimestampNote().toStdString();

  shown.plots.Clear();
  EXPECT_EQ(plot->graphCount(), 0);
  EXPECT_TRUE(shown.plots.PCRNote().isEmpty() && shown.plots.TimestampNote().isEmpty());
}

TEST(AnalysisPlots, FindingsAreMarkedPerIndicatorAndLeadToTheirPackets) {
  const TStreamAnalysis a = AnalyzeFixture("analysis-cbr.ts");
  TShownPlots shown;
  shown.Draw(a);
  const TTimelineRow& row = a.timeline.rows[100];
  shown.plots.SetFindings({{"PCR_accuracy_error", 5000, 0.5},
                           {"Continuity_count_error", row.offset, std::nullopt},
                           {"Continuity_count_error", -1, std::nullopt},
                           {"Sync_byte_error", a.fileSize * 2, std::nullopt}});
  QCustomPlot* plot = shown.Showing(shown.plots.ErrorPlot());
  ASSERT_EQ(plot->graphCount(), 2);
  EXPECT_EQ(shown.plots.OffsetAt(plot, "PCR_accuracy_error", 0.5), 5000);
  // Placed by its offset in the row that holds it.
  EXPECT_EQ(shown.plots.OffsetAt(plot, "Continuity_count_error", *row.time), row.offset);
  EXPECT_EQ(GraphNamed(plot, "Continuity_count_error")->data()->size(), 1);
  // The two without a place are counted where the reader sees them.
  bool noted = false;
  for (int i = 0; i < plot->itemCount(); ++i)
    if (auto* text = qobject_cast<QCPItemText*>(plot->item(i))) noted = noted || text->text().startsWith("2 findings");
  EXPECT_TRUE(noted);
}

}  // namespace
}  // namespace tessaro::test
