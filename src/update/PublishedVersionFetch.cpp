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
  const std::string address = PublishedVersionUrl();
  const std::string cannotRead = "Cannot read the published version list " + address + ": ";
  const QUrl url(QString::fromStdString(address));
  if (!url.isValid() || (url.scheme() != "http" && url.scheme() != "https")) {
    QTimer::singleShot(0, this, [handler, cannotRead] {
      handler({std::nullopt, cannotRead + "not an http or https address"});
    });
    return;
  }
  QNetworkRequest request(url);
  request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromStdString(key));
  QNetworkReply* reply = FManager->get(request);

  // One byte past the limit tells a response that is cut from one that fits exactly.
  auto received = std::make_shared<QByteArray>();
  auto cut = std::make_shared<bool>(false);
  auto timedOut = std::make_shared<bool>(false);
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
  QTimer::singleShot(FTimeout, reply, [reply, timedOut] {
    *timedOut = true;
    reply->abort();
  });
  const int seconds = (FTimeout + 999) / 1000;
  connect(reply, &QNetworkReply::finished, this,
          [reply, received, cut, timedOut, take, key, handler, cannotRead, seconds] {
            reply->deleteLater();
            take();
            // A response cut at the limit was aborted here; any other failure is no answer.
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (*timedOut && !*cut) {
              handler({std::nullopt, cannotRead + "no answer within " + std::to_string(seconds) + " s"});
              return;
            }
            if (status != 0 && (status < 200 || status > 299)) {
              handler({std::nullopt, cannotRead + "HTTP status " + std::to_string(status)});
              return;
            }
            if ((!*cut && reply->error() != QNetworkReply::NoError) || status == 0) {
              handler({std::nullopt, cannotRead + reply->errorString().toStdString()});
              return;
            }
            TPublishedLookup found = LookUpPublishedVersion(
                std::string_view(received->constData(), static_cast<size_t>(received->size())), key, *cut);
            handler({found.version, found.fault.empty() ? std::string() : cannotRead + found.fault});
          });
}

void TPublishedVersionFetch::IsNewVersionAvailable(const std::string& executable, THandler handler) {
  TVersionNumber own;
  if (!ReadExecutableVersion(executable, own.major, own.minor, own.build, own.release)) {
    QTimer::singleShot(0, this, [handler, executable] {
      handler({std::nullopt, executable + " has no version information to compare"});
    });
    return;
  }
  const std::string key = std::filesystem::path(executable).filename().string();
  FetchPublishedVersion(key, [own, handler](const TPublishedAnswer& published) {
    if (published.version && IsNewerVersion(own, *published.version)) {
      handler(published);
      return;
    }
    handler({std::nullopt, published.failure});
  });
}

}  // namespace tessaro
