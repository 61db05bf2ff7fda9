// The window tests run offscreen: a QApplication for the whole program, then gtest.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tessaro");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
