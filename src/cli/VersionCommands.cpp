// The version command of tessaro-cli and --version: the version block of a
// file (this program by default), and the update check the window makes,
// against the same published list with the same code.
#include <QCoreApplication>
#include <QEventLoop>

#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "cli/CliSupport.h"
#include "update/PublishedVersionFetch.h"
#include "version/VersionInfo.h"

namespace tessaro {
namespace {

struct Options {
  std::string file;
  bool checkUpdate = false;
};

int RunVersion(const Options& o) {
  try {
    const TVersionInfo info(o.file.empty() ? OwnExecutablePath() : o.file);
    std::string text = VersionText(info.FileVersion()) + '\n';
    for (const std::string& flag : info.Flags()) text += flag + '\n';
    std::fputs(text.c_str(), stdout);
    return kExitOk;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}

// The published version when it is newer than this program; nothing and 1 otherwise.
int RunCheckUpdate() {
  // Qt Network answers from an event loop; the fetch's time-out ends it.
  static int argc = 1;
  static char name[] = "tessaro-cli";
  static char* argv[] = {name, nullptr};
  const QCoreApplication application(argc, argv);
  TPublishedVersionFetch fetch;
  std::optional<TVersionNumber> newer;
  QEventLoop loop;
  fetch.IsNewVersionAvailable(OwnExecutablePath(), [&](std::optional<TVersionNumber> published) {
    newer = published;
    loop.quit();
  });
  loop.exec();
  if (!newer) return kExitNoResult;
  std::printf("%s\n", VersionText(*newer).c_str());
  return kExitOk;
}

}  // namespace

void AddVersionCommands(CLI::App& app, TCommandRun& run) {
  app.set_version_flag(
      "--version", [] { return VersionBanner(); }, "Print \"Tessaro\" and the version, and exit");

  auto o = std::make_shared<Options>();
  CLI::App* version =
      app.add_subcommand("version",
                         "The version block of FILE (default: this program): major.minor.release.build, "
                         "then its flags, one a line");
  auto* file = version->add_option("FILE", o->file, "Executable or module file");
  version
      ->add_flag("--check-update", o->checkUpdate,
                 "Print the published version and exit 0 when it is newer than this program's, else exit 1")
      ->excludes(file);
  version->callback([&run, o] { run = [o] { return o->checkUpdate ? RunCheckUpdate() : RunVersion(*o); }; });
}

}  // namespace tessaro
