#include "ui/HexViewPanel.h"

#include "ui/PlainTextDelegate.h"
#include "ui/SteadyScrollBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>
#include <array>

namespace tessaro {
namespace {

constexpr int kLineSpacing = 2;

QFont HexFont() {
  QFont font("Courier New");
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPointSize(10);
  return font;
}

// Paints the marked bytes of a line behind its text, in its hex part and in
// its character part: drawing only, the line's text stays as it is.
class THexLineDelegate : public TPlainTextDelegate {
 public:
  THexLineDelegate(const THexView& view, QObject* parent) : TPlainTextDelegate(parent), view_(view) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const std::array<bool, THexView::kBytesPerLine> marked = view_.HighlightedBytes(index.row());
    const QString text = index.data(Qt::DisplayRole).toString();
    PaintBackground(painter, option);
    if (std::find(marked.begin(), marked.end(), true) != marked.end()) {
      // The marks take their edges from the glyphs' own places, never from a
      // character width of their own: any difference adds up along the line.
      const QList<qreal> edges = TextEdges(option, text);
      QColor mark = option.palette.color(QPalette::Highlight);
      mark.setAlpha(110);
      const auto fill = [&](int first, int end) {
        if (end >= edges.size()) return;
        painter->fillRect(QRectF(edges[first], option.rect.top(), edges[end] - edges[first], option.rect.height()),
                          mark);
      };
      for (int b = 0; b < THexView::kBytesPerLine; ++b) {
        if (!marked[static_cast<size_t>(b)]) continue;
        const int hex = THexView::kHexColumn + 3 * b;
        // Neighbouring marked bytes join across the blank between them.
        const bool joined = b + 1 < THexView::kBytesPerLine && marked[static_cast<size_t>(b) + 1];
        fill(hex, hex + (joined ? 3 : 2));
        fill(THexView::kCharColumn + b, THexView::kCharColumn + b + 1);
      }
    }
    PaintText(painter, option, text);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(QFontMetrics(option.font).height() + kLineSpacing);
    return size;
  }

 private:
  const THexView& view_;
};

}  // namespace

THexLineList::THexLineList(QWidget* parent) : QListWidget(parent) {
  setFont(HexFont());
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
}

int THexLineList::VisibleLineCount() const {
  return std::max(viewport()->height() / (fontMetrics().height() + kLineSpacing), 1);
}

void THexLineList::keyPressEvent(QKeyEvent* event) {
  if (onKeyDown) onKeyDown(event->key());
  QListWidget::keyPressEvent(event);
}

void THexLineList::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  if (onResized) onResized();
}

THexViewPanel::THexViewPanel(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  ListBox1 = new THexLineList(this);
  ListBox1->setItemDelegate(new THexLineDelegate(view_, ListBox1));
  ScrollBar2 = new TSteadyScrollBar(Qt::Vertical, this);
  ScrollBar2->setRange(0, THexView::kScrollRange);
  ScrollBar2->setPageStep(0);
  layout->addWidget(ListBox1);
  layout->addWidget(ScrollBar2);
  ListBox1->onKeyDown = [this](int key) { FListBoxKeyDown(key); };
  ListBox1->onResized = [this] {
    if (view_.IsOpen()) RefreshFileData(-1);
  };
  connect(ScrollBar2, &QScrollBar::actionTriggered, this, &THexViewPanel::CustomScrollEvent);
}

bool THexViewPanel::OpenFile(const std::string& path) {
  view_.SetLineCount(ListBox1->VisibleLineCount());
  const bool opened = view_.OpenFile(path);
  ShowLines();
  return opened;
}

void THexViewPanel::CloseFile() {
  view_.CloseFile();
  ListBox1->clear();
}

void THexViewPanel::RefreshFileData(int64_t offset) {
  view_.SetLineCount(ListBox1->VisibleLineCount());
  if (view_.RefreshFileData(offset)) ShowLines();
}

void THexViewPanel::SetHighlight(const TSpans& spans, bool reveal) {
  view_.SetHighlight(spans);
  if (reveal && !spans.empty() && !view_.Shows(spans.front().offset)) {
    RefreshFileData(spans.front().offset);
    return;
  }
  ListBox1->viewport()->update();
}

void THexViewPanel::ShowLines(int selectLine) {
  // Refilled as it stands (see TForm1::ShowTree): only the lines are repainted.
  ListBox1->clear();
  for (const std::string& line : view_.Lines())
    ListBox1->addItem(QString::fromLatin1(line.data(), static_cast<int>(line.size())));
  if (selectLine >= 0 && selectLine < ListBox1->count()) ListBox1->setCurrentRow(selectLine);
  ListBox1->LayOutNow();
  if (!guard_) {
    guard_ = true;
    ScrollBar2->setValue(view_.ScrollPosition());
    guard_ = false;
  }
}

void THexViewPanel::FListBoxKeyDown(int key) {
  static const std::array<std::pair<int, THexKey>, 6> kKeys{{{Qt::Key_Up, THexKey::Up},
                                                             {Qt::Key_Down, THexKey::Down},
                                                             {Qt::Key_PageUp, THexKey::PageUp},
                                                             {Qt::Key_PageDown, THexKey::PageDown},
                                                             {Qt::Key_Home, THexKey::Home},
                                                             {Qt::Key_End, THexKey::End}}};
  for (const auto& [qtKey, hexKey] : kKeys) {
    if (qtKey != key) continue;
    view_.SetLineCount(ListBox1->VisibleLineCount());
    if (const std::optional<int> line = view_.KeyDown(hexKey, ListBox1->currentRow())) ShowLines(*line);
  }
}

void THexViewPanel::CustomScrollEvent(int action) {
  if (guard_ || !view_.IsOpen()) return;
  THexScroll scroll = THexScroll::Other;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      scroll = THexScroll::LineUp;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      scroll = THexScroll::LineDown;
      break;
    case QAbstractSlider::SliderPageStepSub:
      scroll = THexScroll::PageUp;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      scroll = THexScroll::PageDown;
      break;
    case QAbstractSlider::SliderMove:
      scroll = THexScroll::ThumbTrack;
      break;
    default:
      return;
  }
  view_.SetLineCount(ListBox1->VisibleLineCount());
  const std::optional<int> line = view_.Scroll(scroll, ScrollBar2->sliderPosition(), ListBox1->currentRow());
  if (!line) return;
  // The thumb stays where the user holds it; the other steps put it where the view now is.
  guard_ = scroll == THexScroll::ThumbTrack;
  ShowLines(*line);
  guard_ = false;
  if (scroll != THexScroll::ThumbTrack) ScrollBar2->setSliderPosition(view_.ScrollPosition());
  ListBox1->setFocus();
}

}  // namespace tessaro
