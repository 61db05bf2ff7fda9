// The hex view in the window and the Hex Edit dialog, offscreen: the packet
// and field bytes marked, the view moving to a field in a later packet, and
// the dialog's typing, marking, confirmation and writes through the prompts,
// with what the user is told when the file changed meanwhile or a write fails.
#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>

#include "support/Builders.h"
#include "support/SmallTmpfs.h"
#include "support/TestSupport.h"
#include "ui/HexEditForm.h"
#include "ui/HexViewPanel.h"
#include "ui/UiSupport.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::FindItem;
using test::MakePacket;
using test::TWindow;

class HexWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { test::IsolateSettings(); }
};

constexpr const char* kConfirmSave =
    "This action will permanently change the file content. Are you sure you want to save all changes?";

// A PAT, then a PMT of one stream with a 200-byte descriptor: the section
// goes on in the packet at 3 * 188, where its CRC_32 lies.
Bytes LongPMTStream() {
  Bytes first = test::SectionPayload(
      test::PMTSection(1, 0x0101, {}, {{0x02, 0x0101, test::Cat({{0x80, 200}, Bytes(200, 0xAA)})}}));
  const Bytes rest(first.begin() + 184, first.end());
  first.resize(184);
  const Bytes null = test::NullPacket();
  return test::Slots({test::SectionPacket(0x0000, test::PATSection(1, {{1, 0x0100}})),
                      MakePacket({.pid = 0x0100, .pusi = true, .payload = first}), null,
                      MakePacket({.pid = 0x0100, .cc = 1, .payload = rest}), null, null});
}

// The bytes of a shown hex line that are marked.
std::vector<int> Marked(const THexViewPanel& panel, int line) {
  std::vector<int> marked;
  const auto bytes = panel.View().HighlightedBytes(line);
  for (int b = 0; b < 16; ++b)
    if (bytes[static_cast<size_t>(b)]) marked.push_back(b);
  return marked;
}

TEST_F(HexWindowTest, SelectedPacketAndFieldBytesAreMarked) {
  test::TempFile file(LongPMTStream());
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(file.Path()));
  THexViewPanel& hex = *w.form->HexView();
  // A list 10.5 lines high shows 10 lines.
  QListWidget& list = *hex.List();
  const int lineHeight = list.fontMetrics().height() + 2;
  list.setFixedHeight(lineHeight * 21 / 2 + (list.height() - list.viewport()->height()));
  QApplication::processEvents();
  EXPECT_EQ(hex.List()->VisibleLineCount(), 10);

  // Row 1, the PMT's first packet at 188: the view starts at its line, the packet's bytes marked.
  w.form->SelectRow(1);
  w.form->RefreshSelectedPacket();
  EXPECT_EQ(hex.View().FirstLineOffset(), 0xB0);
  ASSERT_EQ(list.count(), 10);
  EXPECT_EQ(Marked(hex, 0), (std::vector<int>{12, 13, 14, 15}));
  EXPECT_EQ(Marked(hex, 1).size(), 16u);

  // CRC_32 lies in the packet at 564: the view moves there.
  QTreeWidget& tree = *w.form->DecodeTree();
  tree.setCurrentItem(FindItem(tree.topLevelItem(0), "CRC_32"));
  ASSERT_NE(tree.currentItem(), nullptr);
  // The section's 223 bytes: 183 in the first packet, its CRC_32 at 219 to 222.
  const int64_t crc = 3 * 188 + 4 + (219 - 183);
  EXPECT_TRUE(hex.View().Shows(crc));
  const int line = static_cast<int>((crc - hex.View().FirstLineOffset()) / 16);
  const std::vector<int> marked = Marked(hex, line);
  ASSERT_FALSE(marked.empty());
  EXPECT_EQ(marked.front(), static_cast<int>(crc % 16));
}

// The pixel columns, within rows, where two pictures differ.
std::vector<int> ChangedColumns(const QImage& a, const QImage& b, const QRect& rows) {
  std::vector<int> columns;
  for (int x = rows.left(); x <= rows.right(); ++x)
    for (int y = rows.top(); y <= rows.bottom(); ++y)
      if (a.pixel(x, y) != b.pixel(x, y)) {
        columns.push_back(x);
        break;
      }
  return columns;
}

// The middle of the columns before and after their widest gap: the hex part
// and the character part of a line.
std::pair<double, double> Middles(const std::vector<int>& columns) {
  if (columns.size() < 2) return {-1, -1};
  size_t split = 1;
  for (size_t i = 1; i < columns.size(); ++i)
    if (columns[i] - columns[i - 1] > columns[split] - columns[split - 1]) split = i;
  return {(columns.front() + columns[split - 1]) / 2.0, (columns[split] + columns.back()) / 2.0};
}

TEST_F(HexWindowTest, EachBytesMarkLiesOnItsDigitsAndItsCharacter) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(test::TestDataPath("one-program.ts")));
  THexViewPanel& hex = *w.form->HexView();
  QListWidget& list = *hex.List();
  list.setCurrentRow(-1);
  const int line = 1;
  ASSERT_GT(list.count(), line);
  QListWidgetItem& item = *list.item(line);
  const QString text = item.text();
  const QRect rows = list.visualItemRect(&item);
  const int64_t lineOffset = hex.View().FirstLineOffset() + 16 * line;
  const auto picture = [&] { return list.viewport()->grab().toImage(); };
  hex.SetHighlight({}, false);
  const QImage plain = picture();
  for (int b = 0; b < 16; ++b) {
    // Where the byte's glyphs are drawn: what changes when they are changed.
    QString changed = text;
    const int hexAt = THexView::kHexColumn + 3 * b;
    const int charAt = THexView::kCharColumn + b;
    changed[hexAt] = changed[hexAt + 1] = QLatin1Char('#');
    changed[charAt] = QLatin1Char(text[charAt] == QLatin1Char('#') ? '@' : '#');
    item.setText(changed);
    const auto glyphs = Middles(ChangedColumns(plain, picture(), rows));
    item.setText(text);
    // Where its mark is drawn.
    hex.SetHighlight({{lineOffset + b, 0, 8}}, false);
    const auto mark = Middles(ChangedColumns(plain, picture(), rows));
    hex.SetHighlight({}, false);
    EXPECT_NEAR(mark.first, glyphs.first, 1.5) << "hex digits of byte " << b;
    EXPECT_NEAR(mark.second, glyphs.second, 1.5) << "character of byte " << b;
  }
}

TEST_F(HexWindowTest, HexViewKeysAndThumbMoveThroughTheFile) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(test::TestDataPath("one-program.ts")));
  THexViewPanel& hex = *w.form->HexView();
  QListWidget& list = *hex.List();
  list.setFocus();
  list.setCurrentRow(list.count() - 1);
  const int64_t first = hex.View().FirstLineOffset();
  QTest::keyClick(&list, Qt::Key_Down);
  EXPECT_EQ(hex.View().FirstLineOffset(), first + 16);
  EXPECT_EQ(list.currentRow(), list.count() - 1);
  QTest::keyClick(&list, Qt::Key_Home);
  EXPECT_EQ(hex.View().FirstLineOffset(), 0);
  EXPECT_EQ(hex.ScrollBar()->value(), 0);
  // Dragging the thumb to the middle shows the middle of the file.
  hex.ScrollBar()->setSliderDown(true);
  hex.ScrollBar()->setSliderPosition(50000);
  hex.ScrollBar()->setSliderDown(false);
  const int64_t size = w.form->Browser().FileSize();
  EXPECT_EQ(hex.View().CurrentOffset(), (size + 1) / 2);
  EXPECT_EQ(hex.ScrollBar()->value(), 50000);
}

TEST_F(HexWindowTest, EachRefreshIsOnePaintOfItsLines) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(test::TestDataPath("one-program.ts")));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.form.get()));
  w.form->SelectRow(0);
  QApplication::processEvents();
  test::TPaintCount paints;
  w.form->HexView()->List()->viewport()->installEventFilter(&paints);
  // Each press shows another packet: its lines are laid out before the view
  // paints, so it paints once, never an empty list first.
  for (int press = 1; press <= 5; ++press) {
    QTest::keyClick(w.form->PacketList(), Qt::Key_Down);
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    EXPECT_EQ(paints.count, press);
  }
}

// Types text into a byte cell as the user does: the cell's editor opens, the
// keys go into it, and the edit ends as Enter ends it (the delegate commits).
void Type(THexEditForm& form, int row, int column, const QString& keys) {
  QTableWidget& grid = *form.Grid();
  grid.setCurrentCell(row, column);
  grid.editItem(grid.item(row, column));
  auto* editor = qobject_cast<QLineEdit*>(grid.indexWidget(grid.currentIndex()));
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  editor->setCursorPosition(0);
  QTest::keyClicks(editor, keys);
  emit grid.itemDelegate()->commitData(editor);
  emit grid.itemDelegate()->closeEditor(editor, QAbstractItemDelegate::SubmitModelCache);
}

TEST_F(HexWindowTest, HexEditTypingMarkingAndSaving) {
  const Bytes original = test::ReadFileBytes(test::TestDataPath("one-program.ts"));
  test::TempFile file(original);
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(file.Path()));
  w.form->SelectRow(2);  // the PMT at 0x178
  w.form->RefreshSelectedPacket();

  // A changed byte is marked; typed back it is not, and then there is nothing
  // to save. (The typing rules are HexEdit.TypingRulesAndTheChangedCells'.)
  w.script.dialogs.push_back([&](QDialog& dialog) {
    auto& form = static_cast<THexEditForm&>(dialog);
    EXPECT_EQ(form.Grid()->item(1, 0)->text().toStdString(), "0x0000000000000178");
    // Every row is one line high with its 16 characters unwrapped, and every row shows whole.
    const QTableWidget& grid = *form.Grid();
    const QFontMetrics metrics(grid.font());
    for (int row = 1; row < grid.rowCount(); ++row) {
      EXPECT_EQ(grid.rowHeight(row), grid.rowHeight(0));
      EXPECT_GE(grid.columnWidth(17), metrics.horizontalAdvance(grid.item(row, 17)->text()) + 6) << row;
    }
    EXPECT_LT(grid.rowHeight(0), 2 * metrics.height());
    const QRect last = grid.visualItemRect(grid.item(12, 17));
    EXPECT_TRUE(grid.viewport()->rect().contains(last)) << last.bottom() << " " << grid.viewport()->height();
    Type(form, 1, 5, "10");
    Type(form, 1, 6, "00");
    // A changed cell is drawn white on red.
    form.show();
    const QImage image = form.Grid()->viewport()->grab().toImage();
    const QRect cell = form.Grid()->visualItemRect(form.Grid()->item(1, 5));
    EXPECT_EQ(image.pixelColor(cell.topLeft() + QPoint(1, cell.height() - 2)), QColor(0xFF, 0x00, 0x00));
    Type(form, 1, 5, "00");  // the byte of the file: 0x00
    Type(form, 1, 6, "02");  // table_id 0x02
    form.SaveButton()->click();
    return form.result();
  });
  w.form->HexEdit1Click();
  EXPECT_EQ(w.script.messages, std::vector<std::string>{"No changes to be saved."});
  EXPECT_EQ(test::ReadFileBytes(file.Path()), original);

  // Answered No, nothing is written.
  auto changeThree = [&](QDialog& dialog) {
    auto& form = static_cast<THexEditForm&>(dialog);
    Type(form, 1, 4, "1A");  // continuity_counter 10
    Type(form, 1, 5, "AB");
    Type(form, 3, 1, "CD");
    form.SaveButton()->click();
    return form.result();
  };
  w.script.messages.clear();
  w.script.yesNo = {false};
  w.script.dialogs.push_back(changeThree);
  w.form->HexEdit1Click();
  EXPECT_EQ(w.script.messages, std::vector<std::string>{kConfirmSave});
  EXPECT_EQ(test::ReadFileBytes(file.Path()), original);

  // Answered Yes, exactly the three bytes change, and the packet list, the
  // tree and the hex view show them.
  const QModelIndex ccCell = w.form->PacketList()->model()->index(2, 8);
  EXPECT_EQ(ccCell.data().toString().toStdString(), "0");
  w.script.messages.clear();
  w.script.yesNo = {true};
  w.script.dialogs.push_back(changeThree);
  w.form->HexEdit1Click();
  EXPECT_EQ(w.script.messages, std::vector<std::string>{kConfirmSave});
  Bytes expected = original;
  expected[0x178 + 3] = 0x1A;
  expected[0x178 + 4] = 0xAB;
  expected[0x178 + 32] = 0xCD;
  EXPECT_EQ(test::ReadFileBytes(file.Path()), expected);
  EXPECT_EQ(w.form->PacketList()->model()->index(2, 8).data().toString().toStdString(), "10");
  EXPECT_NE(w.form->DecodeTree()->topLevelItemCount(), 0);
  EXPECT_NE(FindItem(w.form->DecodeTree()->topLevelItem(0), "pointer_field")->text(0).toStdString().find(": 171"),
            std::string::npos);
  // The view's first line, at 0x170, holds bytes 0x17B and 0x17C.
  const std::vector<std::string>& lines = w.form->HexView()->View().Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].substr(21 + 11 * 3, 6), "1A AB ");
}

// A file that can only be read opens read-only (any failure to open it for
// writing, a read-only mount too): the caption says so and Hex Edit refuses.
TEST_F(HexWindowTest, ReadOnlyFileIsToldAndNoStreamOpensNoDialog) {
  test::TScriptedPrompts::TScript script;
  test::TScriptedPrompts prompts(script);
  EXPECT_FALSE(EditFile(nullptr, "", 0, 188, prompts, nullptr));
  test::TempFile file(test::ReadFileBytes(test::TestDataPath("one-program.ts")));
  test::ReadOnlyFile readOnly(file.Path());
  if (!readOnly.Ok()) GTEST_SKIP() << "this user may write any file here";
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(file.Path()));
  EXPECT_EQ(w.form->windowTitle().toStdString(), "Tessaro (" + file.Path() + ") [read-only]");
  w.form->HexEdit1Click();
  EXPECT_EQ(w.script.messages, std::vector<std::string>{"The file is read-only and cannot be edited."});
}

// A full disk: the file's 22nd packet, at 3948, goes on into a page that has
// no storage. (A read-only bind mount cannot serve here: Linux refuses to
// remount read-only while the file is open for writing, "mount point is busy".)
TEST_F(HexWindowTest, HexEditWriteThatFailsIsToldWithTheSystemsReason) {
  std::vector<Bytes> packets;
  packets.reserve(22);
  for (int i = 0; i < 22; ++i) packets.push_back(MakePacket({.pid = 0x0100, .cc = static_cast<uint8_t>(i % 16)}));
  const Bytes content = test::Slots(packets);
  test::FileOnFullDisk file(content, 4096);
  if (!file.Ok()) GTEST_SKIP() << file.Why();
  Bytes onDisk = content;
  std::fill(onDisk.begin() + 4096, onDisk.end(), 0x00);
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(file.Path()));
  int row = -1;
  for (int r = 0; r < w.form->Browser().RowCount(); ++r)
    if (w.form->Browser().Row(r).Offset == 3948) row = r;
  ASSERT_GE(row, 0);
  w.form->SelectRow(row);
  w.script.yesNo = {true};
  w.script.dialogs.push_back([&](QDialog& dialog) {
    auto& form = static_cast<THexEditForm&>(dialog);
    Type(form, 5, 12, "C3");  // 3948 + 75 = 0xFB7
    Type(form, 10, 6, "C4");  // 3948 + 149 = 0x1001, in the page without storage
    Type(form, 10, 7, "C5");  // 0x1002, after the failure: not tried
    form.SaveButton()->click();
    return form.result();
  });
  w.form->HexEdit1Click();
  EXPECT_EQ(w.script.messages,
            (std::vector<std::string>{kConfirmSave,
                                      "Cannot write to the file: No space left on device. The byte at offset "
                                      "0x0000000000001001 could not be written. The byte written before it stays "
                                      "written: 0x0000000000000FB7."}));
  onDisk[0xFB7] = 0xC3;
  EXPECT_EQ(test::ReadFileBytes(file.Path()), onDisk);
}

}  // namespace
}  // namespace tessaro
