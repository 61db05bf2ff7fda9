// The hex view of the main window's bottom panel: THexView's lines in a list
// box with its own scroll bar of 100,000 positions, the keys that move
// through the file, and the bytes of the selected field or packet marked.
#pragma once

#include <QListWidget>
#include <QWidget>

#include <string>

#include "core/FieldPositions.h"
#include "hex/HexView.h"

class QScrollBar;

namespace tessaro {

// The line list: keys go to the panel before the list moves its selection.
class THexLineList : public QListWidget {
  Q_OBJECT

 public:
  explicit THexLineList(QWidget* parent = nullptr);
  // Lines the list shows whole (at least 1).
  int VisibleLineCount() const;
  // Lays the lines out now instead of from the view's timer, so that the next
  // paint is the only one and shows them (not an empty list first).
  void LayOutNow() { executeDelayedItemsLayout(); }
  std::function<void(int key)> onKeyDown;
  std::function<void()> onResized;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
};

class THexViewPanel : public QWidget {
  Q_OBJECT

 public:
  explicit THexViewPanel(QWidget* parent = nullptr);

  bool OpenFile(const std::string& path);
  void CloseFile();
  // Shows the file from the line that holds offset (RefreshFileData).
  void RefreshFileData(int64_t offset);
  // Marks the bytes the spans cover; with reveal, the view moves to the first
  // span when it is not on the lines shown.
  void SetHighlight(const TSpans& spans, bool reveal);

  const THexView& View() const { return view_; }
  THexLineList* List() const { return ListBox1; }
  QScrollBar* ScrollBar() const { return ScrollBar2; }

 private:
  void ShowLines(int selectLine = -1);
  void FListBoxKeyDown(int key);
  void CustomScrollEvent(int action);

  THexView view_;
  THexLineList* ListBox1 = nullptr;
  QScrollBar* ScrollBar2 = nullptr;
  bool guard_ = false;  // set while the view moves its own scroll bar
};

}  // namespace tessaro
