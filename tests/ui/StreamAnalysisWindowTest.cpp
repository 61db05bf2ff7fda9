// The Stream Analysis window offscreen, worked as a user works it: Tools >
// Stream Analysis over the open file (and without one), the service tree
// against tessaro-cli analyze --json, reopening, Stop and the other ways a
// pass ends early, a PID's first packet shown in the main window, and the
// three saves read back.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <qcustomplot.h>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "analysis/AnalysisTable.h"
#include "support/TestSupport.h"
#include "ui/AnalysisPlots.h"
#include "ui/MainWindow.h"
#include "ui/StreamAnalysisWindow.h"
#include "ui/UiSupport.h"

namespace tessaro {
namespace {

using Form = TStreamAnalysisForm;
using test::ShowsPacket;
using test::TestDataPath;
using test::TWindow;

// Opens the window over the loaded file and waits for its pass to end.
Form* RunToEnd(TWindow& w) {
  w.form->StreamAnalysis1Click();
  Form* form = w.form->StreamAnalysisWindow();
  if (form == nullptr || !QTest::qWaitFor([&] { return !form->Running(); }, 20000)) return nullptr;
  return form;
}

nlohmann::json CliJSON(const std::string& path, std::string* text = nullptr) {
  const test::CliResult r = test::RunCli("analyze --json '" + path + "'");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  if (text != nullptr) *text = r.out;
  return nlohmann::json::parse(r.out);
}

void ForEachItem(QTreeWidgetItem* item, const std::function<void(QTreeWidgetItem*)>& visit) {
  visit(item);
  for (int i = 0; i < item->childCount(); ++i) ForEachItem(item->child(i), visit);
}

QTreeWidgetItem* PIDRow(QTreeWidget* tree, int pid) {
  QTreeWidgetItem* found = nullptr;
  ForEachItem(tree->invisibleRootItem(), [&](QTreeWidgetItem* item) {
    if (found == nullptr && item->data(Form::kName, Form::kPIDRole) == pid) found = item;
  });
  return found;
}

// A column's stored figure as the JSON has it: null where the row shows none.
nlohmann::json Figure(QTreeWidgetItem* item, int column) {
  const QVariant value = item->data(column, Qt::UserRole);
  return value.isValid() ? nlohmann::json(value.toDouble()) : nlohmann::json(nullptr);
}

class StreamAnalysisWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { test::IsolateSettings(); }
};

// Every PID row holds the command line's figures for its PID, every program
// its number, name, provider and PIDs; the summary its packets.
TEST_F(StreamAnalysisWindowTest, TheTreeHoldsTheCommandLinesFigures) {
  TWindow w;
  w.form->StreamAnalysis1Click();
  EXPECT_EQ(w.script.messages, std::vector<std::string>{"No file loaded."});
  EXPECT_EQ(w.form->StreamAnalysisWindow(), nullptr);

  for (const char* name : {"analysis-names.ts", "two-programs.ts", "analysis-unreferenced.ts"}) {
    SCOPED_TRACE(name);
    const std::string path = TestDataPath(name);
    ASSERT_TRUE(w.form->LoadFile(path));
    Form* form = RunToEnd(w);
    ASSERT_NE(form, nullptr);
    const nlohmann::json j = CliJSON(path);
    QTreeWidget* tree = form->ServiceTree();
    const std::string summary = form->SummaryLabel()->text().toStdString();
    EXPECT_NE(summary.find("Packets: " + std::to_string(j["packets"].get<int64_t>())), std::string::npos) << summary;
    EXPECT_EQ(summary.find("partial"), std::string::npos) << summary;

    std::set<int> shown;
    ForEachItem(tree->invisibleRootItem(), [&](QTreeWidgetItem* item) {
      const QVariant pid = item->data(Form::kName, Form::kPIDRole);
      if (!pid.isValid()) return;
      for (const auto& f : j["pids"]) {
        if (f["pid"] != pid.toInt()) continue;
        shown.insert(pid.toInt());
        SCOPED_TRACE(item->text(0).toStdString());
        EXPECT_EQ(Figure(item, Form::kPackets), f["packets"]);
        EXPECT_EQ(Figure(item, Form::kShare), f["share"]);
        EXPECT_EQ(Figure(item, Form::kBitrate), f["bitrate"]);
        EXPECT_EQ(Figure(item, Form::kBitrateMin), f["bitrate_min"]);
        EXPECT_EQ(Figure(item, Form::kBitrateMax), f["bitrate_max"]);
        EXPECT_EQ(Figure(item, Form::kCCErrors), f["cc_errors"]);
        EXPECT_EQ(Figure(item, Form::kScrambled), f["scrambled"]);
        EXPECT_EQ(item->data(Form::kName, Form::kOffsetRole).toLongLong(), f["first_offset"].get<int64_t>());
      }
    });
    EXPECT_EQ(shown.size(), j["pids"].size());

    std::vector<int> programs;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
      QTreeWidgetItem* program = tree->topLevelItem(i);
      if (!program->data(Form::kName, Form::kProgramRole).isValid()) continue;
      const int number = program->data(Form::kName, Form::kProgramRole).toInt();
      programs.push_back(number);
      for (const auto& s : j["services"]) {
        if (s["program_number"] != number) continue;
        const std::string label = program->text(0).toStdString();
        EXPECT_NE(label.find("\"" + s["name"].get<std::string>() + "\" (" + s["provider"].get<std::string>() + ")"),
                  std::string::npos)
            << label;
        std::set<int> theirs{s["pmt_pid"].get<int>(), s["pcr_pid"].get<int>()};
        for (const auto& es : s["streams"]) theirs.insert(es["pid"].get<int>());
        std::set<int> ours;
        for (int c = 0; c < program->childCount(); ++c)
          ours.insert(program->child(c)->data(Form::kName, Form::kPIDRole).toInt());
        EXPECT_EQ(ours, theirs);
        EXPECT_EQ(test::FindItem(program, "PMT PID")->data(Form::kName, Form::kPIDRole).toInt(), s["pmt_pid"]);
        EXPECT_EQ(test::FindItem(program, "PCR PID")->data(Form::kName, Form::kPIDRole).toInt(), s["pcr_pid"]);
      }
    }
    std::vector<int> theirs;
    for (const auto& s : j["services"]) theirs.push_back(s["program_number"].get<int>());
    EXPECT_EQ(programs, theirs);
  }
}

// Columns sort by their numbers: 1000 comes after 999, and rows without the
// figure come first.
TEST_F(StreamAnalysisWindowTest, ColumnsSortByNumberNotByText) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("two-programs.ts")));
  Form* form = RunToEnd(w);
  ASSERT_NE(form, nullptr);
  QTreeWidget* tree = form->ServiceTree();
  QTreeWidgetItem* group = test::FindItem(tree->invisibleRootItem(), "Other PIDs");
  ASSERT_NE(group, nullptr);
  auto* small = new TFigureItem(group);
  small->setData(Form::kPackets, Qt::UserRole, 999.0);
  small->setText(Form::kPackets, "999");
  auto* large = new TFigureItem(group);
  large->setData(Form::kPackets, Qt::UserRole, 1000.0);
  large->setText(Form::kPackets, "1000");
  new TFigureItem(group);  // no figure
  tree->sortByColumn(Form::kPackets, Qt::AscendingOrder);
  EXPECT_FALSE(group->child(0)->data(Form::kPackets, Qt::UserRole).isValid());
  EXPECT_LT(group->indexOfChild(small), group->indexOfChild(large));
}

// The window fills in while the pass runs; Stop keeps what was measured and
// says "partial". Closing the window, opening another file or closing the
// main window during a pass stops it at once. The same file, unchanged,
// shows its whole result again without a pass; a changed one is analysed anew.
TEST_F(StreamAnalysisWindowTest, APassFillsInStopsAndIsKept) {
  auto w = std::make_unique<TWindow>();
  test::TempDir folder;
  const std::string path = folder.Path("copy.ts");
  std::filesystem::copy_file(TestDataPath("two-programs.ts"), path);
  ASSERT_TRUE(w->form->LoadFile(path));
  const int64_t whole = CliJSON(path)["packets"].get<int64_t>();
  w->form->StreamAnalysis1Click();
  Form* form = w->form->StreamAnalysisWindow();
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Running(); }, 20000));
  form->close();
  // The same file, unchanged: its result at once, without a pass.
  w->form->StreamAnalysis1Click();
  EXPECT_FALSE(form->Running());
  EXPECT_TRUE(form->isVisible());
  EXPECT_GT(form->ServiceTree()->topLevelItemCount(), 0);
  form->close();

  // Slow reads of ten packets (three seconds for the file), a snapshot after each.
  form->SetTuning({188 * 10, 0, 0, [](int64_t) { std::this_thread::sleep_for(std::chrono::milliseconds(25)); }});
  std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(2));
  w->form->StreamAnalysis1Click();
  EXPECT_TRUE(form->Running());
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->SnapshotsShown() >= 2; }, 20000));
  EXPECT_GT(form->ServiceTree()->topLevelItemCount(), 0);
  EXPECT_GT(form->ProgressBar()->value(), 0);
  EXPECT_EQ(form->SummaryLabel()->text().toStdString().find("partial"), std::string::npos);
  QTest::mouseClick(form->StopButton(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Running(); }, 20000));
  QApplication::processEvents();
  EXPECT_NE(form->SummaryLabel()->text().toStdString().find("| partial"), std::string::npos);
  EXPECT_LT(form->Analysis().packets, whole);
  EXPECT_GT(form->Analysis().packets, 0);
  EXPECT_LT(form->ProgressBar()->value(), form->ProgressBar()->maximum());

  // A stopped result is no reason not to look again.
  w->form->StreamAnalysis1Click();
  EXPECT_TRUE(form->Running());
  form->close();
  EXPECT_FALSE(form->Running());
  w->form->StreamAnalysis1Click();
  EXPECT_TRUE(form->Running());
  ASSERT_TRUE(w->form->LoadFile(TestDataPath("one-program.ts")));
  EXPECT_FALSE(form->Running());
  EXPECT_FALSE(form->isVisible());
  ASSERT_TRUE(w->form->LoadFile(path));
  w->form->StreamAnalysis1Click();
  EXPECT_TRUE(form->Running());
  w.reset();  // the main window goes while the pass runs
}

// A double-click on a PID row (Enter gives the same activation): the main
// window shows that PID's first packet (row selected, its tree, its bytes marked).
TEST_F(StreamAnalysisWindowTest, APIDRowShowsItsFirstPacket) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("two-programs.ts")));
  Form* form = RunToEnd(w);
  ASSERT_NE(form, nullptr);
  QTreeWidget* tree = form->ServiceTree();
  QTreeWidgetItem* row = PIDRow(tree, 0x0102);
  ASSERT_NE(row, nullptr);
  const int64_t first = row->data(Form::kName, Form::kOffsetRole).toLongLong();
  // Elsewhere first: the PID's packet is not shown before it is chosen.
  w.form->ShowFinding(form->Analysis().pids.back().lastOffset);
  ASSERT_FALSE(ShowsPacket(*w.form, first));
  tree->scrollToItem(row);
  const QPoint cell = tree->visualItemRect(row).center();
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, cell);
  QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, cell);
  EXPECT_TRUE(ShowsPacket(*w.form, first));
}

// The last validation run's findings are marked on the Errors tab, and a
// double-click on one shows its packet in the main window.
TEST_F(StreamAnalysisWindowTest, APlotPointShowsItsPacket) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("analysis-pcr-moved.ts")));
  Form* form = RunToEnd(w);
  ASSERT_NE(form, nullptr);
  form->resize(1000, 800);
  form->show();
  form->SetFindings({{1, 3, "Transport_error: PID 0x0100, offset 0x0000000000000BC0"}, {1, 1, "Validation started"}});
  TAnalysisPlots* plots = form->Plots();
  QCustomPlot* errors = plots->ErrorPlot();
  plots->setCurrentIndex(3);
  QApplication::processEvents();
  errors->replot();
  ASSERT_EQ(errors->graphCount(), 1);
  EXPECT_EQ(errors->graph(0)->name(), "Transport_error");
  const QCPGraphData point = *errors->graph(0)->data()->constBegin();
  ASSERT_FALSE(ShowsPacket(*w.form, 0xBC0));
  QTest::mouseDClick(errors, Qt::LeftButton, {}, errors->graph(0)->coordsToPixels(point.key, point.value).toPoint());
  EXPECT_TRUE(ShowsPacket(*w.form, 0xBC0)) << w.form->SelectedRow();
}

// Each save writes a file that reads back; a file that cannot be written says so.
TEST_F(StreamAnalysisWindowTest, TheSavesReadBack) {
  TWindow w;
  const std::string path = TestDataPath("analysis-names.ts");
  ASSERT_TRUE(w.form->LoadFile(path));
  Form* form = RunToEnd(w);
  ASSERT_NE(form, nullptr);
  test::TempDir folder;
  const std::string csv = folder.Path("table.csv");
  const std::string json = folder.Path("analysis.json");
  const std::string png = folder.Path("plot.png");
  w.script.saveFiles = {csv, json, png};
  QTest::mouseClick(form->SaveTableButton(), Qt::LeftButton);
  QTest::mouseClick(form->SaveAnalysisButton(), Qt::LeftButton);
  QTest::mouseClick(form->SavePlotButton(), Qt::LeftButton);
  EXPECT_TRUE(w.script.messages.empty()) << w.script.messages.front();

  // The table's text itself is the CSV writer's test; here, that it is this analysis's.
  const test::Bytes table = test::ReadFileBytes(csv);
  EXPECT_EQ(std::string(table.begin(), table.end()), PIDTableCSV(form->Analysis()));

  std::string cli;
  CliJSON(path, &cli);
  const test::Bytes saved = test::ReadFileBytes(json);
  EXPECT_EQ(std::string(saved.begin(), saved.end()), cli);
  EXPECT_FALSE(QImage(QString::fromStdString(png)).isNull());

  // The analysed stream, by its name or through a link, is never an output.
  const test::Bytes stream = test::ReadFileBytes(path);
  const std::string link = folder.Path("link.ts");
  std::filesystem::create_symlink(path, link);
  w.script.messages.clear();
  w.script.saveFiles = {path, link, path};
  QTest::mouseClick(form->SaveAnalysisButton(), Qt::LeftButton);
  QTest::mouseClick(form->SaveTableButton(), Qt::LeftButton);
  QTest::mouseClick(form->SavePlotButton(), Qt::LeftButton);
  EXPECT_EQ(w.script.messages, std::vector<std::string>(3, "The output file is the open stream."));
  EXPECT_EQ(test::ReadFileBytes(path), stream);

  w.script.messages.clear();
  const std::string nowhere = folder.Path("missing/folder/out");
  w.script.saveFiles = {nowhere + ".csv", nowhere + ".json", nowhere + ".png"};
  QTest::mouseClick(form->SaveTableButton(), Qt::LeftButton);
  QTest::mouseClick(form->SaveAnalysisButton(), Qt::LeftButton);
  QTest::mouseClick(form->SavePlotButton(), Qt::LeftButton);
  ASSERT_EQ(w.script.messages.size(), 3u);
  for (const std::string& m : w.script.messages) EXPECT_EQ(m.rfind("Cannot write " + nowhere, 0), 0u) << m;
}

}  // namespace
}  // namespace tessaro
