// tessaro: the desktop window. `tessaro FILE` opens FILE at start.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>
#include <string_view>

#include "core/HeapReserve.h"
#include "ui/MainWindow.h"
#include "version/VersionInfo.h"

int main(int argc, char** argv) {
  // Answered before the window system is needed, so it works in any terminal.
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument(argv[i]);
    if (argument == "--version" || argument == "-v") {
      std::puts(tessaro::VersionBanner().c_str());
      return 0;
    }
  }
  tessaro::ReserveHeap();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tessaro");
  QApplication::setOrganizationName("Quindel");
  QCommandLineParser parser;
  parser.setApplicationDescription("Tessaro: inspect and take apart MPEG-2 transport stream files");
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument("FILE", "A transport stream file to open");
  parser.process(app);

  tessaro::TForm1 window;
  window.LoadRegistrySettings();
  window.show();
  const QStringList files = parser.positionalArguments();
  if (!files.isEmpty()) window.OpenFile(QFileInfo(files.last()).absoluteFilePath().toStdString());
  return QApplication::exec();
}
