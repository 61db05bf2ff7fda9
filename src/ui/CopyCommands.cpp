// Copy in the main window: the context menus (and Ctrl+C) of the packet list
// (the selected rows, their column texts joined by TABs), the decode tree
// (the node's text, its value or its subtree, and Show Bytes) and the hex
// view (the selected lines).
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QTreeWidget>

#include <algorithm>

#include "browser/NodeText.h"
#include "core/TreeNode.h"
#include "ui/HexViewPanel.h"
#include "ui/MainWindow.h"

namespace tessaro {
namespace {

// The node an item of the decode tree shows (see MainWindow.cpp).
const TTreeNode* NodeOf(const QTreeWidgetItem* item) {
  return item == nullptr ? nullptr : reinterpret_cast<const TTreeNode*>(item->data(0, Qt::UserRole).value<quintptr>());
}

QAction* AddItem(QWidget* widget, const char* caption, const QKeySequence& shortcut = {}) {
  auto* action = new QAction(caption, widget);
  action->setShortcut(shortcut);
  // Each view's Ctrl+C is its own: only the one with the focus copies.
  action->setShortcutContext(Qt::WidgetShortcut);
  widget->addAction(action);
  return action;
}

QString Latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void TForm1::BuildCopyMenus() {
  ListView1->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(AddItem(ListView1, "Copy", QKeySequence::Copy), &QAction::triggered, this,
          [this] { CopyClick(TCopy::PacketRows); });

  TreeView1->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(AddItem(TreeView1, "Copy", QKeySequence::Copy), &QAction::triggered, this,
          [this] { CopyClick(TCopy::NodeText); });
  connect(AddItem(TreeView1, "Copy Value"), &QAction::triggered, this, [this] { CopyClick(TCopy::NodeValue); });
  connect(AddItem(TreeView1, "Copy Subtree"), &QAction::triggered, this, [this] { CopyClick(TCopy::Subtree); });
  auto* separator = new QAction(TreeView1);
  separator->setSeparator(true);
  TreeView1->addAction(separator);
  connect(AddItem(TreeView1, "Show Bytes"), &QAction::triggered, this, [this] { ShowBytesClick(); });

  QListWidget* hexLines = FHexView->List();
  hexLines->setContextMenuPolicy(Qt::ActionsContextMenu);
  hexLines->setSelectionMode(QAbstractItemView::ExtendedSelection);
  connect(AddItem(hexLines, "Copy", QKeySequence::Copy), &QAction::triggered, this,
          [this] { CopyClick(TCopy::HexLines); });
}

void TForm1::CopyClick(TCopy what) {
  QString text;
  const TTreeNode* node = NodeOf(TreeView1->currentItem());
  switch (what) {
    case TCopy::PacketRows: {
      QModelIndexList rows = ListView1->selectionModel()->selectedRows();
      std::sort(rows.begin(), rows.end());
      for (const QModelIndex& row : rows) {
        QStringList cells;
        for (int column = 0; column < kColumnCount; ++column)
          cells.push_back(Latin1(FBrowser.RowText(row.row(), static_cast<TColumn>(column))));
        text += cells.join('\t') + '\n';
      }
      break;
    }
    case TCopy::NodeText:
      if (node != nullptr) text = Latin1(node->text);
      break;
    case TCopy::NodeValue:
      if (node != nullptr) text = Latin1(NodeValue(node->text));
      break;
    case TCopy::Subtree:
      if (node != nullptr) text = Latin1(TreeToText(*node));
      break;
    case TCopy::HexLines: {
      QListWidget* lines = FHexView->List();
      for (int i = 0; i < lines->count(); ++i)
        if (lines->item(i)->isSelected()) text += lines->item(i)->text() + '\n';
      break;
    }
  }
  // Nothing selected: the clipboard keeps what it holds.
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void TForm1::ShowBytesClick() {
  const TTreeNode* node = NodeOf(TreeView1->currentItem());
  if (node == nullptr || node->spans.empty()) return;
  FHexView->SetHighlight(node->spans, false);
  FHexView->RefreshFileData(node->spans.front().offset);
}

}  // namespace tessaro
