// A scroll bar that repaints only when what it shows changes. Over a file of
// millions of packets a key press moves the value by a few slots, which moves
// the handle by no pixel at all; the plain scroll bar would repaint anyway,
// and with it the panels beneath it, on every press.
#pragma once

#include <QRect>
#include <QScrollBar>

#include <optional>

namespace tessaro {

class TSteadyScrollBar : public QScrollBar {
 public:
  explicit TSteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

 protected:
  void sliderChange(SliderChange change) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // What the value and the range decide of the picture.
  struct TLook {
    QRect handle;
    bool atMinimum = false;
    bool atMaximum = false;
    bool operator==(const TLook&) const = default;
  };
  TLook Look() const;

  std::optional<TLook> shown_;  // as last painted
};

}  // namespace tessaro
