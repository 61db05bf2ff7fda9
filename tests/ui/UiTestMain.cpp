// The window tests run offscreen: a QApplication for the whole program, then gtest.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    // Qt wants a private runtime folder; the tests make their own.
    const QByteArray runtime = "/tmp/tessaro-ui-tests-" + QByteArray::number(QCoreApplication::applicationPid());
    QDir().mkpath(QString::fromUtf8(runtime));
    QFile::setPermissions(QString::fromUtf8(runtime),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime);
  }
  // A window's update check never leaves the machine: the tests that want an
  // answer start a loopback server and point the check at it.
  qputenv("TESSARO_UPDATE_URL", "http://127.0.0.1:9/download/ver.txt");
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tessaro");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
