// TPublishedVersionFetch: the update check's network half. It downloads the
// published version list with Qt Network and answers from the event loop, so
// neither the window nor the command line ever waits on a slow or silent
// server: the answer comes within the time-out, and at most the list's read
// limit is taken from any response. The window and tessaro-cli share it.
#pragma once

#include <QObject>

#include <functional>
#include <optional>
#include <string>

#include "version/VersionBlock.h"

class QNetworkAccessManager;

namespace tessaro {

inline constexpr int kPublishedVersionTimeout = 5000;  // milliseconds

// The list's address: the environment variable TESSARO_UPDATE_URL when set,
// else the one the build chose.
std::string PublishedVersionUrl();
// The maker's download page, and the name of its web site as the confirmation gives it.
std::string DownloadPageUrl();
std::string WebSiteName();

// What a check found: the version, or none. failure tells why there is no
// answer at all (no connection, no answer in time, no HTTP success, the
// program's line unreadable, no version of its own to compare): empty when the
// list was read. The window stays silent about it; the command line tells it.
struct TPublishedAnswer {
  std::optional<TVersionNumber> version;
  std::string failure;
};

class TPublishedVersionFetch : public QObject {
  Q_OBJECT

 public:
  using THandler = std::function<void(const TPublishedAnswer&)>;

  explicit TPublishedVersionFetch(QObject* parent = nullptr);
  void SetTimeout(int milliseconds) { FTimeout = milliseconds; }

  // Starts downloading the list. handler runs once, later, from the event
  // loop (never if this object is destroyed first) with the version on the
  // key's line, or nothing: no matching line, or a failure (no connection,
  // no answer in time, no HTTP success, a malformed version).
  void FetchPublishedVersion(const std::string& key, THandler handler);
  // The published version for the executable's file name when it is newer
  // than the executable's own; nothing otherwise. An executable without a
  // version block is a failure, and then nothing is downloaded.
  void IsNewVersionAvailable(const std::string& executable, THandler handler);

 private:
  QNetworkAccessManager* FManager;
  int FTimeout = kPublishedVersionTimeout;
};

}  // namespace tessaro
