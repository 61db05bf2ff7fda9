#include "update/PublishedVersionFetch.h"

#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <memory>

#include "version/PublishedVersion.h"
#include "version/VersionInfo.h"

namespace tessaro {

std::string PublishedVersionUrl() {
  const QByteArray chosen = qgetenv("TESSARO_UPDATE_URL");
  return chosen.isEmpty() ? std::string(TESSARO_DEFAULT_UPDATE_URL) : chosen.toStdString();
}

std::string DownloadPageUrl() { return TESSARO_DOWNLOAD_URL; }

std::string WebSiteName() { return QUrl(QString::fromLatin1(TESSARO_DOWNLOAD_URL)).host().toStdString(); }

TPublishedVersionFetch::TPublishedVersionFetch(QObject* parent)
    : QObject(parent), FManager(new QNetworkAccessManager(this)) {
  // The proxy the user's environment configures, as any program of the desktop uses.
  QNetworkProxyFactory::setUseSystemConfiguration(true);
}

void TPublishedVersionFetch::FetchPublishedVersion(const std::string& key, THandler handler) {
  const QUrl url(QString::fromStdString(PublishedVersionUrl()));
  if (!url.isValid() || (url.scheme() != "http" && url.scheme() != "https")) {
    QTimer::singleShot(0, this, [handler] { handler(std::nullopt); });
    return;
  }
  QNetworkRequest request(url);
  request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromStdString(key));
  QNetworkReply* reply = FManager->get(request);

  // One byte past the limit tells a response that is cut from one that fits exactly.
  auto received = std::make_shared<QByteArray>();
  auto cut = std::make_shared<bool>(false);
  auto take = [reply, received, cut] {
    if (*cut || !reply->isOpen()) return;
    received->append(reply->read(static_cast<qint64>(kPublishedListLimit + 1) - received->size()));
    if (received->size() > static_cast<qsizetype>(kPublishedListLimit)) {
      received->truncate(static_cast<qsizetype>(kPublishedListLimit));
      *cut = true;
      reply->abort();
    }
  };
  connect(reply, &QNetworkReply::readyRead, reply, take);
  QTimer::singleShot(FTimeout, reply, [reply] { reply->abort(); });
  connect(reply, &QNetworkReply::finished, this, [reply, received, cut, take, key, handler] {
    reply->deleteLater();
    take();
    // A response cut at the limit was aborted here; any other failure is no answer.
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if ((!*cut && reply->error() != QNetworkReply::NoError) || status < 200 || status > 299) {
      handler(std::nullopt);
      return;
    }
    handler(FindPublishedVersion(std::string_view(received->constData(), static_cast<size_t>(received->size())), key,
                                 *cut));
  });
}

void TPublishedVersionFetch::IsNewVersionAvailable(const std::string& executable, THandler handler) {
  TVersionNumber own;
  if (!ReadExecutableVersion(executable, own.major, own.minor, own.build, own.release)) {
    QTimer::singleShot(0, this, [handler] { handler(std::nullopt); });
    return;
  }
  const std::string key = std::filesystem::path(executable).filename().string();
  FetchPublishedVersion(key, [own, handler](std::optional<TVersionNumber> published) {
    handler(published && IsNewerVersion(own, *published) ? published : std::nullopt);
  });
}

}  // namespace tessaro
