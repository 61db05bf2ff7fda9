// TPacketListView: the packet list, a table view over the page of rows
// without a scroll bar of its own. It tells the window what happened (keys,
// mouse presses, dropped files, a new size) and decides nothing itself.
#pragma once

#include <QStringList>
#include <QTableView>

namespace tessaro {

class TPacketListView : public QTableView {
  Q_OBJECT

 public:
  explicit TPacketListView(QWidget* parent = nullptr);
  // Rows the view shows whole (at least 1).
  int VisibleRowCount() const;

 signals:
  // A key went down, before the view moves its selection.
  void keyPressing(int key);
  // A key came up (not an auto-repeat).
  void keyReleased();
  // A mouse press, after the view moved its selection.
  void mousePressed();
  // Local files dropped onto the list.
  void filesDropped(const QStringList& files);
  void resized();

 protected:
  // Home and End go to the first and last row of the page, as in a list;
  // the column stays, so the list does not scroll sideways.
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

}  // namespace tessaro
