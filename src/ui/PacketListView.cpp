#include "ui/PacketListView.h"

#include <QDragEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>

#include <algorithm>

#include "ui/PlainTextDelegate.h"

namespace tessaro {

TPacketListView::TPacketListView(QWidget* parent) : QTableView(parent) {
  QFont compact = font();
  compact.setPointSizeF(std::max(compact.pointSizeF() - 1, 7.0));
  setFont(compact);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setShowGrid(true);
  setWordWrap(false);
  setAcceptDrops(true);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(false);
  setItemDelegate(new TPlainTextDelegate(this));
}

int TPacketListView::VisibleRowCount() const {
  const int rowHeight = std::max(verticalHeader()->defaultSectionSize(), 1);
  return std::max(viewport()->height() / rowHeight, 1);
}

QModelIndex TPacketListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
  const int rows = model() != nullptr ? model()->rowCount() : 0;
  if ((cursorAction != MoveHome && cursorAction != MoveEnd) || rows == 0)
    return QTableView::moveCursor(cursorAction, modifiers);
  return model()->index(cursorAction == MoveHome ? 0 : rows - 1, std::max(currentIndex().column(), 0));
}

void TPacketListView::keyPressEvent(QKeyEvent* event) {
  emit keyPressing(event->key());
  QTableView::keyPressEvent(event);
}

void TPacketListView::keyReleaseEvent(QKeyEvent* event) {
  QTableView::keyReleaseEvent(event);
  if (!event->isAutoRepeat()) emit keyReleased();
}

void TPacketListView::mousePressEvent(QMouseEvent* event) {
  QTableView::mousePressEvent(event);
  emit mousePressed();
}

void TPacketListView::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  emit resized();
}

void TPacketListView::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TPacketListView::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TPacketListView::dropEvent(QDropEvent* event) {
  QStringList files;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) files.push_back(url.toLocalFile());
  event->acceptProposedAction();
  emit filesDropped(files);
}

}  // namespace tessaro
