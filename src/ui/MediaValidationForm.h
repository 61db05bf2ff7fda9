// TMediaValidationForm: the "Media Validation" window. It starts and stops a
// run of the validation module over the open file, polls its progress every
// 100 ms, lists the findings in coloured rows once the run has ended and saves
// them as an XML report. The run itself (module, reports, XML) is
// TMediaValidation's; the window draws and forwards.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

#include "validation/MediaValidation.h"

class QGroupBox;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QTableView;
class QTimer;

namespace tessaro {

class TPrompts;
class TReportListModel;

class TMediaValidationForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kTimerInterval = 100;  // ms

  TMediaValidationForm(TPrompts& prompts, const std::string& mediaFileName, QWidget* parent = nullptr);
  ~TMediaValidationForm() override;

  bool LoadPlugin(const std::string& modulePath);
  void UnloadPlugin();

  // The buttons and the timer, as the user and the timer work them.
  void btnValidationClick();
  void btnSettingsClick();
  void btnSaveReportClick();
  void Timer1Timer();

  // The parts a test looks at.
  QTableView* ReportView() const { return lvReport; }
  QPushButton* ValidationButton() const { return btnValidation; }
  QPushButton* SettingsButton() const { return btnSettings; }
  QPushButton* SaveReportButton() const { return btnSaveReport; }
  QPushButton* CloseButton() const { return btnClose; }
  QLineEdit* ProgressEdit() const { return edProgress; }
  const QTimer* Timer() const { return Timer1; }
  const TMediaValidation& Validation() const { return FValidation; }

 public slots:
  // Esc and the close button are refused while a run is going on.
  void reject() override;

 signals:
  // A row was double-clicked or Enter pressed on it, and its message names
  // the offset of a packet.
  void FindingChosen(qint64 offset);
  // A run ended (done or stopped) and the list shows its reports.
  void ReportsShown(const std::vector<TCustomReport>& reports);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  bool Running() const;
  void StartClick();
  void StopClick();
  void VisualizeReports();
  void lvReportActivated(const QModelIndex& index);

  TPrompts& FPrompts;
  TMediaValidation FValidation;
  std::string FMediaFileName;

  QGroupBox* GroupBox1 = nullptr;
  QTableView* lvReport = nullptr;
  TReportListModel* FModel = nullptr;
  QPushButton* btnClose = nullptr;
  QPushButton* btnValidation = nullptr;
  QPushButton* btnSettings = nullptr;
  QPushButton* btnSaveReport = nullptr;
  QLineEdit* edProgress = nullptr;
  QTimer* Timer1 = nullptr;
};

// Creates the window for the file and loads the module; only when it loads
// is the window shown (modally, through the prompts) and the module unloaded
// afterwards. False when the module did not load: nothing was shown.
// onFinding is called with the offset of each finding the user chooses,
// onReports with the reports of each run as the list shows them.
bool ShowMediaValidation(const std::string& modulePath, const std::string& mediaFileName, TPrompts& prompts,
                         QWidget* parent = nullptr, const std::function<void(int64_t)>& onFinding = {},
                         const std::function<void(const std::vector<TCustomReport>&)>& onReports = {});

}  // namespace tessaro
