#include "ui/UpdateCheck.h"

#include <QApplication>
#include <QDesktopServices>
#include <QTimer>
#include <QUrl>

#include <optional>

#include "core/Diagnostics.h"
#include "ui/Prompts.h"
#include "update/PublishedVersionFetch.h"

namespace tessaro {
namespace {

constexpr const char* kRoutine = "TForm1.tmUpdateTimer";
// How often a question that came while another dialog was open looks again.
constexpr int kModalRetry = 250;

}  // namespace

TUpdateCheck::TUpdateCheck(TPrompts& prompts, QObject* parent)
    : QObject(parent),
      FPrompts(prompts),
      tmUpdate(new QTimer(this)),
      FFetch(new TPublishedVersionFetch(this)),
      FExecutable(QCoreApplication::applicationFilePath().toStdString()),
      FOpenUrl([](const std::string& url) { QDesktopServices::openUrl(QUrl(QString::fromStdString(url))); }) {
  tmUpdate->setInterval(kInterval);
  tmUpdate->setSingleShot(true);
  connect(tmUpdate, &QTimer::timeout, this, &TUpdateCheck::tmUpdateTimer);
}

void TUpdateCheck::Start() { tmUpdate->start(); }

void TUpdateCheck::tmUpdateTimer() {
  GuardedVoid(kRoutine, [&] {
    tmUpdate->stop();
    // A check that fails is not the user's business: the window stays silent.
    FFetch->IsNewVersionAvailable(FExecutable, [this](const TPublishedAnswer& newer) {
      if (newer.version) Offer();
    });
  });
}

void TUpdateCheck::Offer() {
  // The question never lands in the middle of another dialog: it waits until that one is closed.
  if (QApplication::activeModalWidget() != nullptr) {
    QTimer::singleShot(kModalRetry, this, [this] { Offer(); });
    return;
  }
  GuardedVoid(kRoutine, [&] {
    const std::string text =
        "A new version of Tessaro is available on " + WebSiteName() + ". Do you want to update to the latest version?";
    if (FPrompts.AskYesNo(text)) FOpenUrl(DownloadPageUrl());
  });
}

}  // namespace tessaro
