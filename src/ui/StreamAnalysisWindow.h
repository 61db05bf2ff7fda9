// TStreamAnalysisForm: the "Stream Analysis" window, a non-modal window over
// the open file. The analysis pass runs on a thread of its own over its own
// file handle; its progress and its figures so far come back to the GUI
// thread queued, so the summary, the service tree and the plots fill in while
// it runs. Stop keeps what was measured. The window also takes a PID to its
// first packet in the main window and saves the plot, the PID table and the
// analysis JSON.
#pragma once

#include <QTreeWidgetItem>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <vector>

#include "analysis/StreamAnalysis.h"
#include "validation/CustomReport.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTreeWidget;

namespace tessaro {

class TAnalysisPlots;
class TPrompts;

// A tree row whose columns sort by the numbers they show, not by their text.
class TFigureItem : public QTreeWidgetItem {
 public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem& other) const override;
};

class TStreamAnalysisForm : public QWidget {
  Q_OBJECT

 public:
  enum TColumn : int { kName, kPackets, kShare, kBitrate, kBitrateMin, kBitrateMax, kCCErrors, kScrambled, kColumns };
  // Item data in column kName: the number a column sorts by is Qt::UserRole
  // in each column; kPIDRole holds a PID row's PID, kOffsetRole the offset of
  // its first packet, kProgramRole a program row's program number.
  static constexpr int kPIDRole = Qt::UserRole + 1;
  static constexpr int kOffsetRole = Qt::UserRole + 2;
  static constexpr int kProgramRole = Qt::UserRole + 3;

  // How the pass runs; tests make it read small blocks and report often.
  struct TTuning {
    int64_t blockSize = 0;  // 0: the scanner's default
    int64_t snapshotBytes = 4 * 1024 * 1024;
    int snapshotMs = 200;
    // Called on the pass's thread after each read, with the bytes done.
    std::function<void(int64_t done)> onRead;
  };

  explicit TStreamAnalysisForm(TPrompts& prompts, QWidget* parent = nullptr);
  ~TStreamAnalysisForm() override;

  // Shows the window over the file at path. The last whole result shows at
  // once when it was made of the same file (path, size and modification time
  // unchanged); otherwise a new pass starts.
  void Open(const std::string& path);
  // Asks a running pass to stop; thread-safe. The pass ends with a partial result.
  void RequestStop();
  // Stops a running pass and waits for its thread; its figures stay shown.
  void StopPass();
  bool Running() const { return FThread.joinable(); }
  void SetTuning(TTuning tuning) { FTuning = std::move(tuning); }
  // The reports of the last validation run of the file: the Errors tab marks
  // those that name an indicator.
  void SetFindings(std::vector<TCustomReport> reports);

  // The buttons, as the user works them.
  void btnStopClick();
  void btnSavePlotClick();
  void btnSaveTableClick();
  void btnSaveAnalysisClick();

  // The parts a test looks at.
  QLabel* SummaryLabel() const { return lblSummary; }
  QProgressBar* ProgressBar() const { return pbProgress; }
  QPushButton* StopButton() const { return btnStop; }
  QPushButton* SavePlotButton() const { return btnSavePlot; }
  QPushButton* SaveTableButton() const { return btnSaveTable; }
  QPushButton* SaveAnalysisButton() const { return btnSaveAnalysis; }
  QTreeWidget* ServiceTree() const { return tvServices; }
  TAnalysisPlots* Plots() const { return FPlots; }
  QSplitter* Splitter() const { return Splitter1; }
  const TStreamAnalysis& Analysis() const { return FAnalysis; }
  const std::string& FileName() const { return FFileName; }
  // Snapshots shown since the last pass started.
  int SnapshotsShown() const { return FSnapshotsShown; }

 signals:
  // A PID row or a plot point was chosen: the packet at offset.
  void PacketChosen(qint64 offset);
  // The pass ended (whole or stopped) and its result is shown.
  void PassEnded();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // What tells one state of a file from another.
  struct TFileKey {
    std::string path;
    int64_t size = -1;
    int64_t modified = 0;  // nanoseconds
    bool operator==(const TFileKey&) const = default;
  };
  static std::optional<TFileKey> KeyOf(const std::string& path);

  void StartPass();
  void PassProgress(uint64_t run, int64_t done, int64_t size);
  void PassSnapshot(uint64_t run, const std::shared_ptr<const TStreamAnalysis>& analysis);
  void PassFinished(uint64_t run, const std::shared_ptr<const TStreamAnalysis>& analysis);
  void ShowAnalysis(bool running);
  void ShowFindings();
  void ShowSummary(bool running);
  void FillTree();
  void ItemActivated(QTreeWidgetItem* item);
  // Writes text to fileName through a temporary file; false when it was not
  // written, after saying so.
  bool WriteOutput(const std::string& fileName, const std::string& text);
  // The save dialog and, for an existing file, the replace question; "" when
  // the user stops.
  std::string AskOutputFile(const std::string& filter);

  TPrompts& FPrompts;
  TTuning FTuning;
  std::string FFileName;
  std::optional<TFileKey> FKey;  // of the file FAnalysis was made of
  TStreamAnalysis FAnalysis;
  bool FWhole = false;  // FAnalysis is a finished pass's, not stopped
  bool FShowsResult = false;
  int FSnapshotsShown = 0;

  std::thread FThread;
  std::atomic<bool> FCancel{false};
  std::atomic<bool> FSnapshotQueued{false};  // posted and not yet shown
  uint64_t FRun = 0;                         // the pass whose messages are taken; older ones are dropped

  QLabel* lblSummary = nullptr;
  QProgressBar* pbProgress = nullptr;
  QPushButton* btnStop = nullptr;
  QSplitter* Splitter1 = nullptr;
  QTreeWidget* tvServices = nullptr;
  TAnalysisPlots* FPlots = nullptr;
  std::vector<TCustomReport> FReports;
  QPushButton* btnSavePlot = nullptr;
  QPushButton* btnSaveTable = nullptr;
  QPushButton* btnSaveAnalysis = nullptr;
};

}  // namespace tessaro
