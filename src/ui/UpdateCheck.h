// TUpdateCheck: the window's once-per-run update check. Started when the
// window is shown with "Check For Updates" on, the timer tmUpdate fires once
// after 10 s; when the maker publishes a newer version of this program, a
// Yes/No confirmation offers it and Yes opens the download page in the default
// browser. Failures (no connection, no or a bad list) show nothing.
#pragma once

#include <QObject>

#include <functional>
#include <string>

class QTimer;

namespace tessaro {

class TPrompts;
class TPublishedVersionFetch;

class TUpdateCheck : public QObject {
  Q_OBJECT

 public:
  static constexpr int kInterval = 10000;  // milliseconds after the window is shown

  TUpdateCheck(TPrompts& prompts, QObject* parent);

  // Enables tmUpdate.
  void Start();
  QTimer* Timer() const { return tmUpdate; }
  TPublishedVersionFetch& Fetch() const { return *FFetch; }
  // The program whose version is compared (default: this one).
  void SetExecutable(const std::string& path) { FExecutable = path; }
  // Opens the download page (default: the desktop's browser).
  void SetUrlOpener(std::function<void(const std::string&)> opener) { FOpenUrl = std::move(opener); }

 private:
  void tmUpdateTimer();
  void Offer();

  TPrompts& FPrompts;
  QTimer* tmUpdate;
  TPublishedVersionFetch* FFetch;
  std::string FExecutable;
  std::function<void(const std::string&)> FOpenUrl;
};

}  // namespace tessaro
