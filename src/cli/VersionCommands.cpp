// The version command of tessaro-cli and --version: the version block of a
// file (this program by default), and the update check the window makes,
// against the same published list with the same code (the update check
// module, loaded only for this command).
#include <dlfcn.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "cli/CliSupport.h"
#include "core/ModuleFiles.h"
#include "update/UpdateCheckModule.h"
#include "version/VersionInfo.h"

namespace tessaro {
namespace {

struct Options {
  std::string file;
  bool checkUpdate = false;
};

int RunVersion(const Options& o) {
  if (!o.file.empty() && !IsReadableFile(o.file)) return kExitFailure;
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

// The published version when it is newer than this program; nothing and 1
// when none is; 2 and the reason when the list could not be had or read. A
// module that cannot be used is a broken installation, told as a failure.
int RunCheckUpdate() {
  const std::string path = FindModuleFile(ExecutableFolder(), kUpdateModuleFile);
  if (path.empty())
    return Fail(std::string("The update check module ") + kUpdateModuleFile +
                " is neither beside tessaro-cli nor in ../lib/tessaro/.");
  // Kept loaded until the program ends: the toolkit it brings is not made to be unloaded.
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return Fail("Cannot load " + path + ": " + ::dlerror());
  const auto check = reinterpret_cast<TCheckPublishedVersion>(::dlsym(library, kUpdateCheckEntry));
  if (check == nullptr) return Fail(path + " has no " + kUpdateCheckEntry + ".");
  char version[64] = {};
  char reason[1024] = {};
  const int answer = check(OwnExecutablePath().c_str(), version, static_cast<int>(sizeof version), reason,
                           static_cast<int>(sizeof reason));
  if (answer == kCheckFailed) return Fail(reason);
  if (answer < 0) return Fail("The update check could not be run.");
  if (answer == 0) return kExitNoResult;
  std::printf("%s\n", version);
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
                 "Print the published version and exit 0 when it is newer than this program's; exit 1 when "
                 "none is, 2 when the list cannot be had")
      ->excludes(file);
  version->callback([&run, o] { run = [o] { return o->checkUpdate ? RunCheckUpdate() : RunVersion(*o); }; });
}

}  // namespace tessaro
