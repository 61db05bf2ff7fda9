// tessaro: the desktop window. `tessaro FILE` opens FILE at start.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include "ui/MainWindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tessaro");
  QApplication::setOrganizationName("Quindel");
  QCommandLineParser parser;
  parser.setApplicationDescription("Tessaro: inspect and take apart MPEG-2 transport stream files");
  parser.addHelpOption();
  parser.addPositionalArgument("FILE", "A transport stream file to open");
  parser.process(app);

  tessaro::TForm1 window;
  window.LoadRegistrySettings();
  window.show();
  const QStringList files = parser.positionalArguments();
  if (!files.isEmpty()) window.OpenFile(QFileInfo(files.last()).absoluteFilePath().toStdString());
  return QApplication::exec();
}
