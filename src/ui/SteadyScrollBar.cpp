#include "ui/SteadyScrollBar.h"

#include <QStyle>
#include <QStyleOptionSlider>

namespace tessaro {

TSteadyScrollBar::TSteadyScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {}

TSteadyScrollBar::TLook TSteadyScrollBar::Look() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
          option.sliderValue <= option.minimum, option.sliderValue >= option.maximum};
}

void TSteadyScrollBar::sliderChange(SliderChange change) {
  const bool moves = change == SliderValueChange || change == SliderRangeChange || change == SliderStepsChange;
  if (moves && shown_ && *shown_ == Look()) return;
  QScrollBar::sliderChange(change);
}

void TSteadyScrollBar::paintEvent(QPaintEvent* event) {
  shown_ = Look();
  QScrollBar::paintEvent(event);
}

}  // namespace tessaro
