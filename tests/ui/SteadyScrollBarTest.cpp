// The scroll bar that repaints only when its picture changes: a step too small
// to move the handle paints nothing, small steps that add up to a pixel are
// painted, and reaching either end is painted.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "ui/SteadyScrollBar.h"
#include "ui/UiSupport.h"

namespace tessaro {
namespace {

TEST(SteadyScrollBar, PaintsOnlyWhenTheHandleOrAnEndChanges) {
  // A file of millions of slots: a pixel of the track is thousands of them.
  constexpr int kRange = 10'000'000;
  TSteadyScrollBar bar(Qt::Vertical);
  bar.resize(16, 300);
  bar.setRange(0, kRange);
  bar.setPageStep(23);
  bar.setValue(kRange / 2);
  bar.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
  QApplication::processEvents();
  test::TPaintCount paints;
  bar.installEventFilter(&paints);

  bar.setValue(kRange / 2 + 23);
  bar.setRange(0, kRange + 23);
  QApplication::processEvents();
  EXPECT_EQ(paints.count, 0) << "a change that moves the handle by no pixel";

  // Steps of a hundredth of a pixel: each one alone moves nothing, together they
  // move the handle, and each pixel it moves is painted.
  const int pixel = kRange / 300;
  for (int i = 1; i <= 300; ++i) {
    bar.setValue(kRange / 2 + i * pixel / 100);
    QApplication::processEvents();
  }
  EXPECT_GE(paints.count, 1);
  EXPECT_LE(paints.count, 4);

  paints.count = 0;
  bar.setValue(0);
  QApplication::processEvents();
  EXPECT_EQ(paints.count, 1) << "a jump to the start";
  bar.setValue(1);
  QApplication::processEvents();
  EXPECT_EQ(paints.count, 2) << "leaving the start enables the step up";
  bar.setRange(0, 10);
  QApplication::processEvents();
  EXPECT_EQ(paints.count, 3) << "a short range makes a long handle";
}

}  // namespace
}  // namespace tessaro
