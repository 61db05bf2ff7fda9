// The main window offscreen, driven as a user drives it: opening and
// dropping files, paging with keys and the wheel, the Search menu with its
// input box and messages, a cancelled search, Go To Offset, the status bar,
// Copy, the settings, and the decode tree against the command line's. (The
// seen lists' order is SeenLists.TextOrderAndNearestPAT's.)
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QListWidget>
#include <QProgressDialog>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWheelEvent>

#include <fstream>

#include "support/TestSupport.h"
#include "ui/HexViewPanel.h"
#include "ui/UiSupport.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::FindItem;
using test::Items;
using test::MakePacket;
using test::TestDataPath;
using test::TWindow;

constexpr const char* kFilter =
    "MPEG TS Files (*.ts; *.m2t, *.mpg, *.mpeg)|*.ts;*.m2t;*.mpg;*.mpeg|All Files (*.*)|*.*";

std::string Title(const TWindow& w) { return w.form->windowTitle().toStdString(); }
int Rows(const TWindow& w) { return w.form->PacketList()->model()->rowCount(); }
std::string Cell(const TWindow& w, int row, int column = 0) {
  return w.form->PacketList()->model()->index(row, column).data().toString().toStdString();
}
int64_t RowOffset(const TWindow& w, int row) { return std::stoll(Cell(w, row), nullptr, 16); }

void AddItemText(const QTreeWidgetItem* item, int depth, std::string& out) {
  out += std::string(static_cast<size_t>(depth) * 2, ' ') + item->text(0).toLatin1().toStdString() + "\n";
  for (int i = 0; i < item->childCount(); ++i) AddItemText(item->child(i), depth + 1, out);
}
std::string TreeText(const TWindow& w) {
  std::string out;
  for (int i = 0; i < w.form->DecodeTree()->topLevelItemCount(); ++i)
    AddItemText(w.form->DecodeTree()->topLevelItem(i), 0, out);
  return out;
}

void Key(TWindow& w, Qt::Key key) { QTest::keyClick(w.form->PacketList(), key); }

// Ctrl+C in a view, and an item of its context menu.
std::string CopyIn(QWidget* view) {
  QApplication::clipboard()->clear();
  view->setFocus();
  QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
  return QApplication::clipboard()->text().toLatin1().toStdString();
}
std::string MenuItem(QWidget* view, const char* caption) {
  QApplication::clipboard()->clear();
  for (QAction* action : view->actions())
    if (action->text() == caption) action->trigger();
  return QApplication::clipboard()->text().toLatin1().toStdString();
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { test::IsolateSettings(); }
};

// ---- Opening, closing and dropping ------------------------------------------------

TEST_F(WindowTest, OpenShowsTheFirstPageAndRefusesANonStream) {
  TWindow w;
  EXPECT_EQ(Title(w), "Tessaro ");
  const std::string path = TestDataPath("one-program.ts");
  w.script.openFiles = {path};
  w.form->Open1Click();
  ASSERT_EQ(w.script.filters, std::vector<std::string>{kFilter});
  EXPECT_EQ(Title(w), "Tessaro (" + path + ")");
  EXPECT_EQ(Rows(w), w.form->PacketList()->VisibleRowCount());
  EXPECT_EQ(w.form->SelectedRow(), 0);
  EXPECT_EQ(TreeText(w).rfind("Packet\n", 0), 0u);
  EXPECT_FALSE(Items(w.form->SeenPIDsBox()).empty());

  test::TempFile junk(Bytes(5000, 0x00));
  w.script.openFiles = {junk.Path()};
  w.form->Open1Click();
  EXPECT_EQ(w.script.messages, std::vector<std::string>{"Not valid transport stream"});
  EXPECT_EQ(Title(w), "Tessaro ");
  EXPECT_EQ(Rows(w), 0);
  EXPECT_EQ(w.form->DecodeTree()->topLevelItemCount(), 0);
  EXPECT_TRUE(Items(w.form->SeenPIDsBox()).empty());

  // A dialog left with Cancel, and a name that does not exist, do nothing.
  w.script.openFiles = {"", "/nonexistent/stream.ts"};
  w.form->Open1Click();
  w.form->Open1Click();
  EXPECT_EQ(w.script.messages.size(), 1u);
}

TEST_F(WindowTest, DroppedFilesLeaveTheLastValidOneOpen) {
  TWindow w;
  const std::string one = TestDataPath("one-program.ts");
  const std::string two = TestDataPath("two-programs.ts");
  test::TempFile junk(Bytes(5000, 0x00));
  w.form->DropFiles({one, two});
  EXPECT_EQ(Title(w), "Tessaro (" + two + ")");
  EXPECT_EQ(Items(w.form->SeenProgramsBox()), (std::vector<std::string>{"# 1", "# 2"}));
  w.form->DropFiles({one, junk.Path()});
  EXPECT_EQ(Title(w), "Tessaro (" + one + ")");
  // Every file refused: the user is told, and the open file stays.
  w.form->DropFiles({junk.Path(), "/nonexistent/stream.ts"});
  EXPECT_EQ(w.script.messages, std::vector<std::string>{"Not valid transport stream"});
  EXPECT_EQ(Title(w), "Tessaro (" + one + ")");
  w.form->Close1Click();
  EXPECT_EQ(Title(w), "Tessaro ");
  EXPECT_EQ(Rows(w), 0);
}

// ---- Paging --------------------------------------------------------------------------

TEST_F(WindowTest, KeysPageThroughTheFileAndStopAtItsEdges) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("one-program.ts")));
  const TStreamBrowser& b = w.form->Browser();
  const int rows = Rows(w);
  ASSERT_GT(rows, 5);
  const int64_t size = b.FileSize();

  Key(w, Qt::Key_Up);  // row 0 of the first page
  EXPECT_EQ(b.TopOffset(), 0);

  w.form->SelectRow(rows - 1);
  Key(w, Qt::Key_Down);  // the last row steps one slot
  EXPECT_EQ(b.TopOffset(), 188);
  EXPECT_EQ(RowOffset(w, 0), 188);
  EXPECT_EQ(w.form->NavigationBar()->value(), 1);

  Key(w, Qt::Key_PageDown);
  EXPECT_EQ(w.form->NavigationBar()->value(), 1 + rows);
  EXPECT_EQ(b.TopOffset(), int64_t{1 + rows} * 188);
  Key(w, Qt::Key_PageUp);
  Key(w, Qt::Key_PageUp);
  EXPECT_EQ(b.TopOffset(), 0);
  EXPECT_EQ(w.form->NavigationBar()->value(), 0);

  Key(w, Qt::Key_End);
  // End selects the last row, as in a list, and the list keeps its first columns in view.
  EXPECT_EQ(w.form->SelectedRow(), Rows(w) - 1);
  EXPECT_EQ(w.form->PacketList()->horizontalScrollBar()->value(), 0);
  EXPECT_EQ(w.form->StatusFields()[2].toStdString(), Cell(w, Rows(w) - 1));
  // Down on the last row of the last page keeps the page at the last slot.
  for (int i = 0; i < 3; ++i) {
    w.form->SelectRow(Rows(w) - 1);
    Key(w, Qt::Key_Down);
  }
  EXPECT_LE(b.TopOffset(), size - 188);
  EXPECT_EQ(RowOffset(w, Rows(w) - 1), size - 188);

  Key(w, Qt::Key_Home);
  EXPECT_EQ(b.TopOffset(), 0);
  EXPECT_EQ(w.form->SelectedRow(), 0);
}

TEST_F(WindowTest, WheelStepsAreUpAndDownKeysThatPageAtTheEdges) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("one-program.ts")));
  const TStreamBrowser& b = w.form->Browser();
  QWidget* viewport = w.form->PacketList()->viewport();
  w.form->PacketList()->setFocus();
  auto wheel = [&](int delta) {
    QWheelEvent event(QPointF(10, 10), viewport->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &event);
  };
  // Down inside the page moves the selection; the tree follows it.
  wheel(-120);
  EXPECT_EQ(w.form->SelectedRow(), 1);
  EXPECT_NE(TreeText(w).find(" : 0x1000 (13 bits)"), std::string::npos);  // the PMT at 0x178 is row 2
  // Down on the last row loads the next slot's page, and the tree shows the selected row there.
  w.form->SelectRow(Rows(w) - 1);
  wheel(-120);
  EXPECT_EQ(b.TopOffset(), 188);
  const std::string tree = TreeText(w);
  w.form->RefreshSelectedPacket();
  EXPECT_EQ(TreeText(w), tree);
  // Up on row 0 goes back a slot; at the start of the file it stays there.
  w.form->SelectRow(0);
  wheel(120);
  EXPECT_EQ(b.TopOffset(), 0);
  wheel(120);
  EXPECT_EQ(b.TopOffset(), 0);
}

TEST_F(WindowTest, ScrollBarPagesAndResizingChangesTheRowsShown) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("slots-204.ts")));
  const TStreamBrowser& b = w.form->Browser();
  QScrollBar* bar = w.form->NavigationBar();
  EXPECT_EQ(bar->maximum(), 600 - 1);
  EXPECT_EQ(bar->pageStep(), Rows(w));
  // Dragged to its end, the bar shows the last three slots.
  bar->setValue(bar->maximum());
  EXPECT_EQ(b.TopOffset(), b.FileSize() - 3 * 204);
  EXPECT_EQ(Rows(w), 3);
  EXPECT_EQ(RowOffset(w, 0), b.FileSize() - 3 * 204);
  // The middle: slot 300, from the first sync byte on.
  bar->setValue(300);
  EXPECT_EQ(RowOffset(w, 0), 300 * 204);
  // A taller window shows more rows of the same page.
  const int before = Rows(w);
  w.form->resize(w.form->width(), w.form->height() + 200);
  QApplication::processEvents();
  EXPECT_GT(Rows(w), before);
  EXPECT_EQ(RowOffset(w, 0), 300 * 204);
}

// ---- Search menu ---------------------------------------------------------------------

TEST_F(WindowTest, FindNextCommandsShowTheCommandLinesHitAsTheFirstRow) {
  TWindow w;
  const std::string path = TestDataPath("two-programs.ts");
  ASSERT_TRUE(w.form->LoadFile(path));
  int hits = 0;
  for (size_t i = 0; i < FindNextCommands().size(); ++i) {
    const TFindNextCommand& command = FindNextCommands()[i];
    w.form->SelectRow(0);
    const int64_t from = RowOffset(w, 0);
    const test::CliResult expected =
        test::RunCli("find '" + path + "' --next " + command.word + " --from " + std::to_string(from));
    w.script.messages.clear();
    w.form->FindNextActions()[i]->trigger();
    if (expected.exitCode == 0) {
      ++hits;
      EXPECT_EQ(Cell(w, 0), expected.out.substr(0, 18)) << command.word;
      EXPECT_TRUE(w.script.messages.empty()) << command.word;
    } else {
      EXPECT_EQ(w.script.messages, std::vector<std::string>{"Not found"}) << command.word;
      EXPECT_EQ(RowOffset(w, 0), from) << command.word;
    }
  }
  EXPECT_GE(hits, 5);
}

TEST_F(WindowTest, FindPIDChecksTheTextAndSearchAgainGoesOn) {
  TWindow w;
  w.form->FindnextPID1Click();
  w.form->Searchagain1Click();
  w.form->FindNextClick(FindNextCommands()[0]);
  EXPECT_EQ(w.script.messages, std::vector<std::string>(3, "No file loaded."));
  EXPECT_TRUE(w.script.inputCalls.empty());
  w.script.messages.clear();

  ASSERT_TRUE(w.form->LoadFile(TestDataPath("one-program.ts")));
  w.script.inputs = {"0x01G0", std::nullopt, "0x1000"};
  for (int i = 0; i < 3; ++i) w.form->FindnextPID1Click();
  EXPECT_EQ(w.script.messages, (std::vector<std::string>{"0x01G0 is invalid PID."}));
  EXPECT_EQ(w.script.inputCalls.front(), "Extract PES from PID|Enter valid PID (0x0000-0x1FFF)|0x0000");
  // Find PID starts at the selected packet itself: the PMT at 0x178.
  EXPECT_EQ(Cell(w, 0), "0x0000000000000178");
  // Search Again starts one slot later; the input box now offers the PID searched.
  // The hit is the selected row, whichever row was selected, and its tree and bytes are shown.
  w.form->SelectRow(0);
  w.form->Searchagain1Click();
  EXPECT_GT(RowOffset(w, 0), 0x178);
  EXPECT_EQ(Cell(w, 0, 1), "0x1000");
  w.form->SelectRow(4);
  w.form->Searchagain1Click();
  const int64_t hit = RowOffset(w, 0);
  EXPECT_EQ(w.form->SelectedRow(), 0);
  const test::CliResult cli = test::RunCli("tree '" + TestDataPath("one-program.ts") + "' --offset " + Cell(w, 0));
  EXPECT_EQ(TreeText(w), cli.out);
  EXPECT_TRUE(w.form->DecodeTree()->topLevelItem(0)->isExpanded());
  EXPECT_TRUE(w.form->DecodeTree()->font().fixedPitch());
  EXPECT_TRUE(w.form->HexView()->View().Shows(hit));
  EXPECT_EQ(w.form->HexView()->View().Highlight().front().offset, hit);
  w.script.inputs = {std::nullopt};
  w.form->FindnextPID1Click();
  EXPECT_EQ(w.script.inputCalls.back(), "Extract PES from PID|Enter valid PID (0x0000-0x1FFF)|0x1000");
}

TEST_F(WindowTest, CancelledSearchChangesNothingAndSaysSo) {
  // 20 MiB of null packets: the searched PID is absent, the scan reads every block.
  test::TempFile file(test::Slots(std::vector<Bytes>(20 * 1024 * 1024 / 188, MakePacket({.pid = 0x1FFF}))));
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(file.Path()));
  const int64_t top = w.form->Browser().TopOffset();
  w.form->SetProgressDelay(0);
  bool dialogSeen = false;
  test::CancelProgressWhenShown(*w.form, dialogSeen);
  w.script.inputs = {"0x0100"};
  w.form->FindnextPID1Click();
  EXPECT_TRUE(dialogSeen);
  EXPECT_TRUE(w.script.messages.empty());
  EXPECT_EQ(w.form->statusBar()->currentMessage().toStdString(), "Search cancelled.");
  EXPECT_EQ(w.form->Browser().TopOffset(), top);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, GoToOffsetSelectsThePacketThatHoldsTheByte) {
  TWindow w;
  w.form->GoToOffset1Click();
  EXPECT_EQ(w.script.messages, std::vector<std::string>{"No file loaded."});
  const std::string path = TestDataPath("one-program.ts");
  ASSERT_TRUE(w.form->LoadFile(path));
  const int64_t size = w.form->Browser().FileSize();
  const int64_t lastPacket = size - 188;
  w.script.messages.clear();
  w.script.inputs = {"0x17A", "1000", " #613 ", "#1", "0x12G", "#0", "", std::to_string(size), "#614", std::nullopt};
  for (const int64_t packet : {int64_t{0x178}, int64_t{5 * 188}, lastPacket, int64_t{0}}) {
    w.form->GoToOffsetItem()->trigger();
    EXPECT_EQ(w.form->SelectedRow() >= 0 ? RowOffset(w, w.form->SelectedRow()) : -1, packet);
    EXPECT_EQ(w.form->Browser().TopOffset(), packet);
    EXPECT_EQ(w.form->StatusFields()[2].toStdString(), Cell(w, w.form->SelectedRow()));
    EXPECT_TRUE(w.form->HexView()->View().Shows(packet));
  }
  EXPECT_EQ(w.script.inputCalls.front(),
            "Go To Offset|Enter an offset (0x hex or decimal) or a packet number (#N)|0x0000000000000000");
  // The last one, #1: the status bar tells where the selected packet is.
  EXPECT_EQ(w.form->StatusFields(),
            (QStringList{"188-byte packets", "packet 1 of 613", "0x0000000000000000", "115,244 bytes"}));
  for (int i = 0; i < 6; ++i) w.form->GoToOffset1Click();
  EXPECT_EQ(w.script.messages, (std::vector<std::string>{"0x12G is invalid offset.", "#0 is invalid packet number.",
                                                         "Offset must be in 0x hex, decimal or #N format.",
                                                         "Offset is beyond the end of the file.",
                                                         "Offset is beyond the end of the file."}));
  EXPECT_EQ(RowOffset(w, 0), 0);

  // Garbage at 0xBB80 takes the packets out of their slots: the next packet is shown, and the user is told.
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("garbage.ts")));
  w.script.inputs = {"0xBC00"};
  w.form->GoToOffset1Click();
  EXPECT_EQ(RowOffset(w, w.form->SelectedRow()), 0xBBCD);
  EXPECT_EQ(w.form->statusBar()->currentMessage().toStdString(),
            "No packet starts at 0x000000000000BB80: the next packet is shown");
}

TEST_F(WindowTest, APageWithoutPacketsIsToldInTheStatusBar) {
  // 300 packets, 200 slots of zeros, 300 packets.
  Bytes bytes = test::Slots(std::vector<Bytes>(300, MakePacket({.pid = 0x0100})));
  bytes.insert(bytes.end(), 200 * 188, 0x00);
  const Bytes more = test::Slots(std::vector<Bytes>(300, MakePacket({.pid = 0x0100})));
  bytes.insert(bytes.end(), more.begin(), more.end());
  test::TempFile file(bytes);
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(file.Path()));
  EXPECT_EQ(w.form->StatusFields()[1].toStdString(), "packet 1 of 800");
  w.form->NavigationBar()->setValue(350);
  EXPECT_EQ(w.form->statusBar()->currentMessage().toStdString(),
            "No packets at 0x0000000000010108: the list still shows the previous page");
  EXPECT_EQ(RowOffset(w, 0), 0);
  w.form->NavigationBar()->setValue(600);
  EXPECT_TRUE(w.form->statusBar()->currentMessage().isEmpty());
  EXPECT_EQ(w.form->StatusFields()[1].toStdString(), "packet 601 of 800");
}

TEST_F(WindowTest, CopyTakesRowsNodesValuesSubtreesAndHexLines) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("one-program.ts")));
  w.form->SelectRow(2);
  EXPECT_EQ(CopyIn(w.form->PacketList()), "0x0000000000000178\t0x1000\t\t\t\t\t1\t1\t0\tPMT\tPLD\n");
  EXPECT_EQ(MenuItem(w.form->PacketList(), "Copy"), "0x0000000000000178\t0x1000\t\t\t\t\t1\t1\t0\tPMT\tPLD\n");

  QTreeWidget& tree = *w.form->DecodeTree();
  tree.setCurrentItem(FindItem(tree.topLevelItem(0), "PID  "));
  EXPECT_EQ(CopyIn(&tree), "PID                                  : 0x1000 (13 bits)");
  EXPECT_EQ(MenuItem(&tree, "Copy Value"), "0x1000");
  QTreeWidgetItem* psi = FindItem(tree.topLevelItem(0), "PSI");
  tree.setCurrentItem(psi);
  std::string subtree;
  AddItemText(psi, 0, subtree);
  EXPECT_EQ(MenuItem(&tree, "Copy Subtree"), subtree);
  // Show Bytes brings the hex view back to the node's bytes.
  THexViewPanel& hex = *w.form->HexView();
  tree.setCurrentItem(FindItem(tree.topLevelItem(0), "PCR_PID"));
  hex.RefreshFileData(0x4000);
  MenuItem(&tree, "Show Bytes");
  EXPECT_EQ(hex.View().FirstLineOffset(), 0x180);

  hex.List()->clearSelection();
  hex.List()->item(1)->setSelected(true);
  hex.List()->item(2)->setSelected(true);
  EXPECT_EQ(CopyIn(hex.List()), hex.View().Lines()[1] + "\n" + hex.View().Lines()[2] + "\n");
}

TEST_F(WindowTest, ASelectedNodeShowsItsValueInANarrowTree) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("one-program.ts")));
  w.form->SelectRow(2);
  w.form->RefreshSelectedPacket();
  QTreeWidget& tree = *w.form->DecodeTree();
  const QFontMetricsF metrics(tree.font());
  const int width = tree.viewport()->width();
  // A short value is shown whole, a long one from its start; the tooltip holds the whole text.
  for (const char* label : {"PCR_PID", "stream_type"}) {
    QTreeWidgetItem* item = FindItem(tree.topLevelItem(0), label);
    ASSERT_NE(item, nullptr) << label;
    tree.setCurrentItem(item);
    const QString text = item->text(0);
    EXPECT_EQ(item->toolTip(0), text);
    const qreal left = tree.visualItemRect(item).left() + metrics.horizontalAdvance(text.left(text.indexOf(" : ") + 3));
    const qreal right = tree.visualItemRect(item).left() + metrics.horizontalAdvance(text);
    EXPECT_GE(left, 0) << label;
    EXPECT_LT(left, width) << label;
    if (right - left < width / 2) {
      EXPECT_LE(right, width) << label;
    }
  }
}

TEST_F(WindowTest, ValidationIsDisabledWithoutAModuleAndSaysWhereItLooked) {
  TWindow w;
  EXPECT_EQ(w.form->ValidationItem()->isEnabled(), !w.form->ValidatorPath().empty());
  w.form->FindValidatorPath("/nonexistent/bin");
  EXPECT_FALSE(w.form->ValidationItem()->isEnabled());
  EXPECT_EQ(w.form->ValidationItem()->toolTip().toStdString(),
            "No validation module: neither /nonexistent/bin/Pelvanor.pvm nor /nonexistent/lib/tessaro/Pelvanor.pvm "
            "was found when the program started.");
  const QTemporaryDir folder;
  std::ofstream(folder.filePath("Pelvanor.pvm").toStdString()) << "module";
  w.form->FindValidatorPath(folder.path().toStdString());
  EXPECT_TRUE(w.form->ValidationItem()->isEnabled());
  EXPECT_FALSE(w.form->ValidationItem()->toolTip().contains("No validation module"));
}

// ---- Seen lists, decode tree ---------------------------------------------------------

// View > Decoded Values: on at first, a toggle rebuilds the tree shown (the
// command line's tree with and without --decoded), and the choice is kept.
TEST_F(WindowTest, DecodedValuesIsOnAtFirstRebuildsTheTreeAndIsKept) {
  const std::string path = TestDataPath("one-program.ts");
  const test::CliResult found = test::RunCli("find '" + path + "' --next sdt");
  ASSERT_EQ(found.exitCode, 0) << found.err;
  const std::string offset = found.out.substr(0, 18);
  const test::CliResult plain = test::RunCli("tree '" + path + "' --offset " + offset);
  const test::CliResult decoded = test::RunCli("tree '" + path + "' --offset " + offset + " --decoded");
  ASSERT_NE(plain.out, decoded.out);
  auto showSDT = [&](TWindow& w) {
    ASSERT_TRUE(w.form->LoadFile(path));
    for (QAction* action : w.form->FindNextActions())
      if (action->text() == "Find Next SDT") action->trigger();
    ASSERT_EQ(Cell(w, 0), offset);
  };
  {
    TWindow w;
    w.form->LoadRegistrySettings();
    QAction* item = w.form->DecodedValuesItem();
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isChecked());
    showSDT(w);
    EXPECT_EQ(TreeText(w), decoded.out);
    item->trigger();
    EXPECT_EQ(TreeText(w), plain.out);
    w.form->close();
  }
  EXPECT_EQ(QSettings("Quindel", "Tessaro").value("DecodedValues").toInt(), 0);
  TWindow w;
  w.form->LoadRegistrySettings();
  EXPECT_FALSE(w.form->DecodedValuesItem()->isChecked());
  showSDT(w);
  EXPECT_EQ(TreeText(w), plain.out);
}

// ---- Settings ---------------------------------------------------------------------------

TEST_F(WindowTest, FirstRunUsesTheDesignedLayoutAndClosingStoresEveryValue) {
  {
    TWindow w;
    w.form->LoadRegistrySettings();
    EXPECT_EQ(w.form->frameGeometry().topLeft(), QPoint(430, 164));
    EXPECT_EQ(w.form->size(), QSize(TForm1::kClientWidth, TForm1::kClientHeight));
    EXPECT_TRUE(w.form->CheckForUpdates());
    EXPECT_EQ(w.form->PacketList()->columnWidth(1), 60);
    w.form->close();
  }
  QSettings settings("Quindel", "Tessaro");
  const QStringList names{
      "FormTop",         "FormLeft",           "FormHeight",         "FormWidth",    "OffsetColWidth",
      "PIDColWidth",     "ESColWidth",         "PCRColWidth",        "PTSColWidth",  "DTSColWidth",
      "payloadColWidth", "adaptationColWidth", "continuityColWidth", "PSIColWidth",  "InfoColWidth",
      "Panel2Width",     "WindowState",        "CheckForUpdates",    "DecodedValues"};
  for (const QString& name : names) EXPECT_TRUE(settings.contains(name)) << name.toStdString();
  EXPECT_EQ(settings.allKeys().size(), names.size());
  EXPECT_EQ(settings.value("DecodedValues").toInt(), 1);
  EXPECT_EQ(settings.value("WindowState").toInt(), 0);
  EXPECT_EQ(settings.value("PIDColWidth").toInt(), 60);
}

TEST_F(WindowTest, SettingsComeBackAndEachValueFallsBackAlone) {
  {
    TWindow w;
    w.form->LoadRegistrySettings();
    w.form->move(200, 100);
    w.form->resize(1100, 750);
    w.form->PacketList()->setColumnWidth(1, 77);
    w.form->Splitter()->setSizes({520, 500});
    w.form->close();
  }
  QSettings("Quindel", "Tessaro").setValue("ESColWidth", "wide");  // not a number: ES keeps its default
  {
    TWindow w;
    w.form->LoadRegistrySettings();
    QApplication::processEvents();
    EXPECT_EQ(w.form->frameGeometry().topLeft(), QPoint(200, 100));
    EXPECT_EQ(w.form->size(), QSize(1100, 750));
    EXPECT_EQ(w.form->PacketList()->columnWidth(1), 77);
    EXPECT_EQ(w.form->PacketList()->columnWidth(2), 40);
    EXPECT_EQ(w.form->LeftPanel()->width(), 520);
  }
}

TEST_F(WindowTest, PositionOnAScreenThatIsGoneMovesOntoOneThatIsThere) {
  QSettings settings("Quindel", "Tessaro");
  settings.setValue("FormLeft", 40000);
  settings.setValue("FormTop", -30000);
  settings.sync();
  TWindow w;
  w.form->LoadRegistrySettings();
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.contains(w.form->frameGeometry().topLeft()));
}

}  // namespace
}  // namespace tessaro
