// TessaroUpdate.so: the update check for tessaro-cli (update/UpdateCheckModule.h).
#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>

#include "update/PublishedVersionFetch.h"
#include "update/UpdateCheckModule.h"
#include "version/VersionInfo.h"

namespace tessaro {
namespace {

// Runs the window's check in an event loop of its own: Qt Network answers
// from one, and the fetch's time-out ends it.
TPublishedAnswer RunCheck(const char* executable) {
  static int argc = 1;
  static char name[] = "tessaro-cli";
  static char* argv[] = {name, nullptr};
  TPublishedAnswer answer;
  const QCoreApplication application(argc, argv);
  TPublishedVersionFetch fetch;
  QEventLoop loop;
  fetch.IsNewVersionAvailable(executable, [&](const TPublishedAnswer& found) {
    answer = found;
    loop.quit();
  });
  loop.exec();
  return answer;
}

}  // namespace
}  // namespace tessaro

extern "C" __attribute__((visibility("default"))) int TessaroCheckPublishedVersion(const char* executable,
                                                                                   char* version, int versionSize,
                                                                                   char* reason, int reasonSize) {
  using namespace tessaro;
  static_assert(std::is_same_v<decltype(&TessaroCheckPublishedVersion), TCheckPublishedVersion>);
  if (executable == nullptr || version == nullptr || versionSize <= 0 || reason == nullptr || reasonSize <= 0)
    return -1;
  const TPublishedAnswer answer = RunCheck(executable);
  if (!answer.failure.empty()) {
    const size_t length = std::min(answer.failure.size(), static_cast<size_t>(reasonSize) - 1);
    std::memcpy(reason, answer.failure.data(), length);
    reason[length] = '\0';
    return kCheckFailed;
  }
  if (!answer.version) return 0;
  const std::string text = VersionText(*answer.version);
  if (text.size() >= static_cast<size_t>(versionSize)) return -1;
  std::memcpy(version, text.c_str(), text.size() + 1);
  return 1;
}

extern "C" __attribute__((visibility("default"))) int TessaroNewerPublishedVersion(const char* executable,
                                                                                   char* version, int size) {
  static_assert(std::is_same_v<decltype(&TessaroNewerPublishedVersion), tessaro::TNewerPublishedVersion>);
  char reason[256];
  const int answer = TessaroCheckPublishedVersion(executable, version, size, reason, sizeof reason);
  // Its callers took a failed check for no newer version.
  return answer == tessaro::kCheckFailed ? 0 : answer;
}
