// Long work on the GUI thread: the busy cursor, and the progress dialog that
// the browser's scans (searches, extraction reads) feed between blocks.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <memory>

class QProgressDialog;
class QWidget;

namespace tessaro {

class TStreamBrowser;

// The hourglass while alive, restored in every outcome.
class TBusyCursor {
 public:
  TBusyCursor();
  ~TBusyCursor();
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
};

// While alive, the browser's scans report to a progress dialog (bytes done
// out of bytes to do) that shows once they have run for delayMs; its Cancel
// sets the flag the scans check. Events are pumped at most every few tens of
// milliseconds, so small reads cost nothing.
class TScanProgress {
 public:
  TScanProgress(TStreamBrowser& browser, std::atomic<bool>& cancel, QWidget* parent, QString label, int delayMs);
  ~TScanProgress();
  TScanProgress(const TScanProgress&) = delete;
  TScanProgress& operator=(const TScanProgress&) = delete;

 private:
  void Update(int64_t done, int64_t total);

  TStreamBrowser& browser_;
  std::atomic<bool>& cancel_;
  QWidget* parent_;
  QString label_;
  int delayMs_;
  QElapsedTimer clock_;
  qint64 lastPump_ = 0;
  std::unique_ptr<QProgressDialog> dialog_;
};

}  // namespace tessaro
