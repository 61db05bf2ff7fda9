#include "ui/MediaValidationForm.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "core/Diagnostics.h"
#include "ui/Prompts.h"
#include "ui/ReportListModel.h"
#include "validation/FindingPlace.h"
#include "validation/ReportXML.h"

namespace tessaro {
namespace {

constexpr const char* kCaption = "Media Validation";
constexpr const char* kStart = "Start Validation";
constexpr const char* kStop = "Stop Validation";
constexpr int kMessageWidth = 680;
constexpr const char* kSaveFilter = "Report XML File (*.xml)|*.xml|All Files (*.*)|*.*";

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TMediaValidationForm::TMediaValidationForm(TPrompts& prompts, const std::string& mediaFileName, QWidget* parent)
    : QDialog(parent), FPrompts(prompts), FMediaFileName(mediaFileName) {
  setWindowTitle(kCaption);
  auto* layout = new QVBoxLayout(this);
  GroupBox1 = new QGroupBox("Report", this);
  auto* group = new QVBoxLayout(GroupBox1);
  lvReport = new QTableView(GroupBox1);
  FModel = new TReportListModel(this);
  lvReport->setModel(FModel);
  lvReport->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvReport->setSelectionMode(QAbstractItemView::SingleSelection);
  lvReport->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvReport->setShowGrid(true);
  lvReport->setWordWrap(false);
  // One line a finding; a long message scrolls sideways and shows whole in its tooltip.
  lvReport->setTextElideMode(Qt::ElideNone);
  lvReport->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  lvReport->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  lvReport->verticalHeader()->setDefaultSectionSize(lvReport->fontMetrics().height() + 6);
  lvReport->verticalHeader()->hide();
  lvReport->horizontalHeader()->setHighlightSections(false);
  lvReport->setColumnWidth(1, 160);
  lvReport->setColumnWidth(2, 60);
  lvReport->setColumnWidth(3, kMessageWidth);
  group->addWidget(lvReport);
  layout->addWidget(GroupBox1, 1);

  auto* bottom = new QHBoxLayout;
  edProgress = new QLineEdit("Progress:", this);
  edProgress->setEnabled(false);
  bottom->addWidget(edProgress, 1);
  btnValidation = new QPushButton(kStart, this);
  btnSettings = new QPushButton("Settings", this);
  btnSaveReport = new QPushButton("Save Report", this);
  btnClose = new QPushButton("Close", this);
  for (QPushButton* button : {btnValidation, btnSettings, btnSaveReport, btnClose}) {
    button->setAutoDefault(false);
    bottom->addWidget(button);
  }
  layout->addLayout(bottom);
  resize(1000, 520);

  Timer1 = new QTimer(this);
  Timer1->setInterval(kTimerInterval);
  connect(Timer1, &QTimer::timeout, this, &TMediaValidationForm::Timer1Timer);
  connect(btnValidation, &QPushButton::clicked, this, &TMediaValidationForm::btnValidationClick);
  connect(btnSettings, &QPushButton::clicked, this, &TMediaValidationForm::btnSettingsClick);
  connect(btnSaveReport, &QPushButton::clicked, this, &TMediaValidationForm::btnSaveReportClick);
  connect(btnClose, &QPushButton::clicked, this, &QDialog::close);
  // Double-click and Enter; the dialog stays open for the next row.
  connect(lvReport, &QTableView::activated, this, &TMediaValidationForm::lvReportActivated);
}

TMediaValidationForm::~TMediaValidationForm() {
  Timer1->stop();
  UnloadPlugin();
}

bool TMediaValidationForm::LoadPlugin(const std::string& modulePath) { return FValidation.LoadPlugin(modulePath); }

void TMediaValidationForm::UnloadPlugin() { FValidation.UnloadPlugin(); }

bool TMediaValidationForm::Running() const { return btnValidation->text() != kStart; }

void TMediaValidationForm::showEvent(QShowEvent* event) {
  GuardedVoid("TMediaValidationForm.FormShow", [&] {
    setWindowTitle(Q(std::string(kCaption) + " - " + FMediaFileName + " [" + FValidation.ModuleName() + "]"));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      move(screen->availableGeometry().center() - rect().center());
  });
  QDialog::showEvent(event);
}

void TMediaValidationForm::closeEvent(QCloseEvent* event) {
  if (Running()) {
    event->ignore();
    return;
  }
  GuardedVoid("TMediaValidationForm.FormClose", [&] {
    FValidation.ClearReports();
    FValidation.UnloadPlugin();
    FModel->SetReports({});
  });
  QDialog::closeEvent(event);
}

void TMediaValidationForm::reject() {
  if (!Running()) QDialog::reject();
}

void TMediaValidationForm::btnValidationClick() {
  GuardedVoid("TMediaValidationForm.btnValidationClick", [&] { Running() ? StopClick() : StartClick(); });
}

void TMediaValidationForm::StartClick() {
  btnSettings->setEnabled(false);
  btnClose->setEnabled(false);
  btnValidation->setText(kStop);
  FModel->SetReports({});
  if (!FValidation.StartValidation(FMediaFileName)) {
    btnSettings->setEnabled(true);
    btnClose->setEnabled(true);
    btnValidation->setText(kStart);
    FPrompts.ShowMessage("Cannot validate file.");
    return;
  }
  Timer1->start();
}

void TMediaValidationForm::StopClick() {
  Timer1->stop();
  FValidation.StopValidation();
  btnSettings->setEnabled(true);
  btnClose->setEnabled(true);
  btnValidation->setText(kStart);
  // What the stopped run found is listed, as at the end of a run.
  VisualizeReports();
}

void TMediaValidationForm::Timer1Timer() {
  GuardedVoid("TMediaValidationForm.Timer1Timer", [&] {
    const std::optional<double> progress = FValidation.Progress();
    if (!progress) return;
    edProgress->setText(Q(TMediaValidation::ProgressText(*progress)));
    if (!TMediaValidation::IsFinished(*progress)) return;
    const std::optional<std::string> shortfall = FValidation.ReadShortfall();
    btnValidationClick();
    VisualizeReports();
    FPrompts.ShowMessage(shortfall ? "Cannot read " + FMediaFileName + ": " + *shortfall : "Done");
  });
}

void TMediaValidationForm::VisualizeReports() {
  GuardedVoid("TMediaValidationForm.VisualizeReports", [&] {
    std::vector<TCustomReport> reports = FValidation.Reports().Items();
    emit ReportsShown(reports);
    FModel->SetReports(std::move(reports));
    // The message column is as wide as its longest text, so the list scrolls to it.
    constexpr int kMessage = 3;
    int widest = kMessageWidth;
    const QFontMetrics metrics(lvReport->font());
    for (int row = 0; row < FModel->rowCount(); ++row)
      widest = std::max(widest, metrics.horizontalAdvance(FModel->index(row, kMessage).data().toString()) + 12);
    lvReport->setColumnWidth(kMessage, widest);
  });
}

void TMediaValidationForm::lvReportActivated(const QModelIndex& index) {
  GuardedVoid("TMediaValidationForm.lvReportActivated", [&] {
    const std::string message = index.sibling(index.row(), 3).data().toString().toStdString();
    if (const std::optional<int64_t> offset = ReadFindingPlace(message).offset) emit FindingChosen(*offset);
  });
}

void TMediaValidationForm::btnSettingsClick() {
  GuardedVoid("TMediaValidationForm.btnSettingsClick", [&] {
    if (FValidation.IsLoaded()) FValidation.ShowSettings();
  });
}

void TMediaValidationForm::btnSaveReportClick() {
  GuardedVoid("TMediaValidationForm.btnSaveReportClick", [&] {
    // What the list shows is what is saved: nothing while a run goes on.
    if (FModel->rowCount() == 0) {
      FPrompts.ShowMessage(kReportListEmpty);
      return;
    }
    // Never over the stream being validated, by any of its names.
    const std::string fileName = AskOutputFile(FPrompts, kSaveFilter, FMediaFileName);
    if (fileName.empty()) return;
    // The report replaces the file only once it is written whole.
    FPrompts.ShowMessage(FValidation.SaveReportXML(fileName).value_or("Done"));
  });
}

bool ShowMediaValidation(const std::string& modulePath, const std::string& mediaFileName, TPrompts& prompts,
                         QWidget* parent, const std::function<void(int64_t)>& onFinding,
                         const std::function<void(const std::vector<TCustomReport>&)>& onReports) {
  return Guarded("TMediaValidationForm.ShowMediaValidation", false, [&] {
    TMediaValidationForm form(prompts, mediaFileName, parent);
    if (!form.LoadPlugin(modulePath)) return false;
    if (onFinding)
      QObject::connect(&form, &TMediaValidationForm::FindingChosen, &form, [&](qint64 offset) { onFinding(offset); });
    if (onReports)
      QObject::connect(&form, &TMediaValidationForm::ReportsShown, &form,
                       [&](const std::vector<TCustomReport>& reports) { onReports(reports); });
    prompts.RunDialog(form);
    form.UnloadPlugin();
    return true;
  });
}

}  // namespace tessaro
