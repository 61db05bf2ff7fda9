// TessaroUpdate.so: the update check for tessaro-cli (update/UpdateCheckModule.h).
#include <QCoreApplication>
#include <QEventLoop>

#include <cstring>
#include <optional>
#include <string>
#include <type_traits>

#include "update/PublishedVersionFetch.h"
#include "update/UpdateCheckModule.h"
#include "version/VersionInfo.h"

extern "C" __attribute__((visibility("default"))) int TessaroNewerPublishedVersion(const char* executable,
                                                                                     char* version, int size) {
  using namespace tessaro;
  if (executable == nullptr || version == nullptr || size <= 0) return -1;
  static_assert(std::is_same_v<decltype(&TessaroNewerPublishedVersion), TNewerPublishedVersion>);
  // Qt Network answers from an event loop; the fetch's time-out ends it.
  static int argc = 1;
  static char name[] = "tessaro-cli";
  static char* argv[] = {name, nullptr};
  std::optional<TVersionNumber> newer;
  {
    const QCoreApplication application(argc, argv);
    TPublishedVersionFetch fetch;
    QEventLoop loop;
    fetch.IsNewVersionAvailable(executable, [&](std::optional<TVersionNumber> published) {
      newer = published;
      loop.quit();
    });
    loop.exec();
  }
  if (!newer) return 0;
  const std::string text = VersionText(*newer);
  if (text.size() >= static_cast<size_t>(size)) return -1;
  std::memcpy(version, text.c_str(), text.size() + 1);
  return 1;
}
