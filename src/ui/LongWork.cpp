#include "ui/LongWork.h"

#include <QApplication>
#include <QProgressDialog>

#include "browser/StreamBrowser.h"

namespace tessaro {
namespace {

constexpr int kSteps = 1000;
constexpr qint64 kPumpMs = 40;

}  // namespace

TBusyCursor::TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

TBusyCursor::~TBusyCursor() { QApplication::restoreOverrideCursor(); }

TScanProgress::TScanProgress(TStreamBrowser& browser, std::atomic<bool>& cancel, QWidget* parent, QString label,
                             int delayMs)
    : browser_(browser), cancel_(cancel), parent_(parent), label_(std::move(label)), delayMs_(delayMs) {
  cancel_ = false;
  clock_.start();
  browser_.SetScanProgress([this](int64_t done, int64_t total) { Update(done, total); });
}

TScanProgress::~TScanProgress() { browser_.SetScanProgress(nullptr); }

void TScanProgress::Update(int64_t done, int64_t total) {
  const qint64 now = clock_.elapsed();
  const bool created = !dialog_ && now >= delayMs_;
  if (created) {
    dialog_ = std::make_unique<QProgressDialog>(label_, "Cancel", 0, kSteps, parent_);
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(0);
  }
  if (!dialog_ || (!created && now - lastPump_ < kPumpMs && done < total)) return;
  lastPump_ = now;
  dialog_->setValue(total > 0 ? static_cast<int>(kSteps * done / total) : 0);
  QApplication::processEvents();
  if (dialog_->wasCanceled()) cancel_ = true;
}

}  // namespace tessaro
