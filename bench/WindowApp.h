// The one application of a benchmark run that drives widgets (offscreen),
// made by whichever window benchmark runs first and never destroyed, with
// the heap the program reserves at its start.
#pragma once

#include <QApplication>

#include "core/HeapReserve.h"

namespace tessaro::bench {

inline QApplication& WindowApplication() {
  if (auto* made = qobject_cast<QApplication*>(QCoreApplication::instance())) return *made;
  static int argc = 1;
  static char name[] = "tessaro-bench";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  ReserveHeap();
  return *new QApplication(argc, argv);
}

}  // namespace tessaro::bench
