// The Stream Analysis window: the pass on its thread and the messages it
// posts back, the summary line, the service tree with its numeric sorting,
// the way from a PID to its first packet, and the three saves.
#include "ui/StreamAnalysisWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "analysis/AnalysisJSON.h"
#include "analysis/AnalysisTable.h"
#include "core/Diagnostics.h"
#include "core/FileStream.h"
#include "core/SafeReplace.h"
#include "ui/AnalysisPlots.h"
#include "ui/Prompts.h"
#include "validation/FindingPlace.h"

namespace tessaro {
namespace {

constexpr const char* kCaption = "Stream Analysis";
constexpr const char* kPlotFilter = "PNG Image (*.png)|*.png|SVG Image (*.svg)|*.svg";
constexpr const char* kTableFilter = "CSV File (*.csv)|*.csv|All Files (*.*)|*.*";
constexpr const char* kAnalysisFilter = "JSON File (*.json)|*.json|All Files (*.*)|*.*";
constexpr int kProgressSteps = 1000;
// Progress messages closer together than this are not posted: the bar
// cannot show them and the GUI thread would only queue them.
constexpr auto kProgressSpacing = std::chrono::milliseconds(40);
// The "Other PIDs" group sorts after every program by number.
constexpr double kOtherGroupKey = 1e9;

QString Q(const std::string& text) { return QString::fromStdString(text); }

std::string Format(const char* format, auto... values) {
  char text[128];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

// The number forms of tessaro-cli analyze's summary.
std::string RateText(const std::optional<double>& rate) { return rate ? Format("%.0f", *rate) : std::string("-"); }

void SetNumber(QTreeWidgetItem* item, int column, double value, const std::string& text) {
  item->setText(column, Q(text));
  item->setData(column, Qt::UserRole, value);
  item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
}

void SetRate(QTreeWidgetItem* item, int column, const std::optional<double>& rate) {
  if (rate) {
    SetNumber(item, column, *rate, RateText(rate));
    return;
  }
  item->setText(column, "-");
  item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
}

// What a row of PIDs adds up to: a program's or the other PIDs' group.
struct TSum {
  int64_t packets = 0;
  double share = 0;
  std::optional<double> bitrate = 0.0;
  int64_t ccErrors = 0;
  int64_t scrambled = 0;

  void Add(const TPIDFigures& f) {
    packets += f.packets;
    share += f.share;
    bitrate = bitrate && f.bitrate ? std::optional(*bitrate + *f.bitrate) : std::nullopt;
    ccErrors += f.ccErrors;
    scrambled += f.scrambled;
  }
};

void SetCounts(QTreeWidgetItem* item, int64_t packets, double share, const std::optional<double>& bitrate,
               int64_t ccErrors, int64_t scrambled) {
  SetNumber(item, TStreamAnalysisForm::kPackets, static_cast<double>(packets), Format("%" PRId64, packets));
  SetNumber(item, TStreamAnalysisForm::kShare, share, Format("%.2f %%", 100 * share));
  SetRate(item, TStreamAnalysisForm::kBitrate, bitrate);
  SetNumber(item, TStreamAnalysisForm::kCCErrors, static_cast<double>(ccErrors), Format("%" PRId64, ccErrors));
  SetNumber(item, TStreamAnalysisForm::kScrambled, static_cast<double>(scrambled), Format("%" PRId64, scrambled));
}

}  // namespace

bool TFigureItem::operator<(const QTreeWidgetItem& other) const {
  const int column = treeWidget() != nullptr ? treeWidget()->sortColumn() : 0;
  const QVariant mine = data(column, Qt::UserRole);
  const QVariant theirs = other.data(column, Qt::UserRole);
  // Rows without the figure come before every row with one.
  if (mine.isValid() != theirs.isValid()) return !mine.isValid();
  if (!mine.isValid()) return text(column) < other.text(column);
  return mine.toDouble() < theirs.toDouble();
}

TStreamAnalysisForm::TStreamAnalysisForm(TPrompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), FPrompts(prompts) {
  setWindowTitle(kCaption);
  auto* layout = new QVBoxLayout(this);

  // The summary has a row of its own: a long path wraps instead of
  // squeezing the progress bar.
  lblSummary = new QLabel(this);
  lblSummary->setWordWrap(true);
  lblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(lblSummary);
  auto* top = new QHBoxLayout;
  pbProgress = new QProgressBar(this);
  pbProgress->setRange(0, kProgressSteps);
  pbProgress->setValue(0);
  top->addWidget(pbProgress, 1);
  btnStop = new QPushButton("Stop", this);
  btnStop->setEnabled(false);
  top->addWidget(btnStop);
  layout->addLayout(top);

  Splitter1 = new QSplitter(Qt::Vertical, this);
  tvServices = new QTreeWidget(Splitter1);
  tvServices->setColumnCount(kColumns);
  tvServices->setHeaderLabels(
      {"Program / PID", "Packets", "Share", "Bitrate", "Min bitrate", "Max bitrate", "CC errors", "Scrambled"});
  tvServices->setUniformRowHeights(true);
  tvServices->setAlternatingRowColors(true);
  tvServices->setSortingEnabled(true);
  tvServices->sortByColumn(kName, Qt::AscendingOrder);
  tvServices->header()->setSectionResizeMode(kName, QHeaderView::Interactive);
  tvServices->setColumnWidth(kName, 300);
  for (int column = kPackets; column < kColumns; ++column) tvServices->setColumnWidth(column, 90);
  FPlots = new TAnalysisPlots(Splitter1);
  Splitter1->addWidget(tvServices);
  Splitter1->addWidget(FPlots);
  Splitter1->setStretchFactor(0, 1);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({320, 320});
  layout->addWidget(Splitter1, 1);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  btnSavePlot = new QPushButton("Save Plot", this);
  btnSaveTable = new QPushButton("Save Table", this);
  btnSaveAnalysis = new QPushButton("Save Analysis", this);
  for (QPushButton* button : {btnSavePlot, btnSaveTable, btnSaveAnalysis}) {
    button->setEnabled(false);
    bottom->addWidget(button);
  }
  layout->addLayout(bottom);
  resize(1000, 720);

  connect(btnStop, &QPushButton::clicked, this, &TStreamAnalysisForm::btnStopClick);
  connect(btnSavePlot, &QPushButton::clicked, this, &TStreamAnalysisForm::btnSavePlotClick);
  connect(btnSaveTable, &QPushButton::clicked, this, &TStreamAnalysisForm::btnSaveTableClick);
  connect(btnSaveAnalysis, &QPushButton::clicked, this, &TStreamAnalysisForm::btnSaveAnalysisClick);
  // Double-click and Enter.
  connect(tvServices, &QTreeWidget::itemActivated, this, &TStreamAnalysisForm::ItemActivated);
  connect(FPlots, &TAnalysisPlots::PacketChosen, this, &TStreamAnalysisForm::PacketChosen);
}

TStreamAnalysisForm::~TStreamAnalysisForm() {
  // The pass posts to this object: it ends before the object does, and what
  // it posted is dropped with it.
  StopPass();
}

std::optional<TStreamAnalysisForm::TFileKey> TStreamAnalysisForm::KeyOf(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  const auto modified = std::filesystem::last_write_time(path, ec);
  if (ec) return std::nullopt;
  return TFileKey{path, static_cast<int64_t>(size),
                  std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count()};
}

void TStreamAnalysisForm::Open(const std::string& path) {
  GuardedVoid("TStreamAnalysisForm.Open", [&] {
    setWindowTitle(Q(std::string(kCaption) + " - " + path));
    const std::optional<TFileKey> key = KeyOf(path);
    const bool sameFile = key && FKey && *key == *FKey;
    // A pass over this very file goes on; a whole result of it is shown as it is.
    if (!(sameFile && (Running() || (FShowsResult && FWhole)))) {
      FFileName = path;
      StartPass();
    }
    show();
    raise();
    activateWindow();
  });
}

void TStreamAnalysisForm::StartPass() {
  StopPass();
  const uint64_t run = ++FRun;
  FCancel = false;
  FSnapshotQueued = false;
  FKey = KeyOf(FFileName);
  FAnalysis = {};
  FAnalysis.fileSize = FKey ? FKey->size : 0;
  FWhole = false;
  FShowsResult = false;
  FSnapshotsShown = 0;
  FPlots->Clear();
  ShowFindings();
  tvServices->clear();
  pbProgress->setValue(0);
  btnStop->setEnabled(true);
  for (QPushButton* button : {btnSavePlot, btnSaveTable, btnSaveAnalysis}) button->setEnabled(false);
  ShowSummary(true);

  std::shared_ptr<TFileStream> stream = TFileStream::Open(FFileName, TFileStream::Mode::Read);
  if (!stream) {
    btnStop->setEnabled(false);
    FKey.reset();
    FPrompts.ShowMessage("Cannot open " + FFileName);
    return;
  }
  FThread = std::thread([this, run, stream, tuning = FTuning] {
    using TClock = std::chrono::steady_clock;
    TClock::time_point lastPost{};
    TAnalysisOptions options;
    options.cancel = &FCancel;
    options.blockSize = tuning.blockSize;
    options.snapshotBytes = tuning.snapshotBytes;
    options.snapshotInterval = std::chrono::milliseconds(tuning.snapshotMs);
    options.progress = [&](int64_t done, int64_t size) {
      if (tuning.onRead) tuning.onRead(done);
      const TClock::time_point now = TClock::now();
      if (now - lastPost < kProgressSpacing && done < size) return;
      lastPost = now;
      QMetaObject::invokeMethod(
          this, [this, run, done, size] { PassProgress(run, done, size); }, Qt::QueuedConnection);
    };
    options.snapshot = [&](const TStreamAnalysis& soFar) {
      // While the GUI thread has not drawn the last one, a newer one waits
      // for the next turn instead of piling up behind it.
      if (FSnapshotQueued.exchange(true)) return;
      auto copy = std::make_shared<const TStreamAnalysis>(soFar);
      QMetaObject::invokeMethod(
          this, [this, run, copy] { PassSnapshot(run, copy); }, Qt::QueuedConnection);
    };
    std::shared_ptr<const TStreamAnalysis> result;
    try {
      result = std::make_shared<const TStreamAnalysis>(AnalyzeStream(*stream, options));
    } catch (const std::exception& e) {
      ReportRoutineFailure("TStreamAnalysisForm.Pass", e.what());
    } catch (...) {
      ReportRoutineFailure("TStreamAnalysisForm.Pass");
    }
    QMetaObject::invokeMethod(
        this, [this, run, result] { PassFinished(run, result); }, Qt::QueuedConnection);
  });
}

void TStreamAnalysisForm::RequestStop() { FCancel = true; }

void TStreamAnalysisForm::StopPass() {
  if (!FThread.joinable()) return;
  FCancel = true;
  FThread.join();
}

void TStreamAnalysisForm::btnStopClick() {
  // The pass ends at its next read and posts what it measured.
  GuardedVoid("TStreamAnalysisForm.btnStopClick", [&] {
    RequestStop();
    btnStop->setEnabled(false);
  });
}

void TStreamAnalysisForm::closeEvent(QCloseEvent* event) {
  StopPass();
  QWidget::closeEvent(event);
}

void TStreamAnalysisForm::PassProgress(uint64_t run, int64_t done, int64_t size) {
  if (run != FRun || size <= 0) return;
  pbProgress->setValue(static_cast<int>(std::clamp<int64_t>(done * kProgressSteps / size, 0, kProgressSteps)));
}

void TStreamAnalysisForm::PassSnapshot(uint64_t run, const std::shared_ptr<const TStreamAnalysis>& analysis) {
  // A snapshot that arrives after the pass's end (or a newer one) is stale.
  FSnapshotQueued = false;
  if (run != FRun || FShowsResult || !analysis) return;
  GuardedVoid("TStreamAnalysisForm.PassSnapshot", [&] {
    FAnalysis = *analysis;
    ++FSnapshotsShown;
    ShowAnalysis(true);
  });
}

void TStreamAnalysisForm::PassFinished(uint64_t run, const std::shared_ptr<const TStreamAnalysis>& analysis) {
  if (run != FRun) return;
  GuardedVoid("TStreamAnalysisForm.PassFinished", [&] {
    if (FThread.joinable()) FThread.join();
    btnStop->setEnabled(false);
    FShowsResult = true;
    if (!analysis) {
      FKey.reset();
      ShowSummary(false);
      FPrompts.ShowMessage("Cannot analyse " + FFileName);
      return;
    }
    FAnalysis = *analysis;
    FWhole = FAnalysis.isStream && !FAnalysis.partial;
    if (FWhole) pbProgress->setValue(kProgressSteps);
    ShowAnalysis(false);
    for (QPushButton* button : {btnSavePlot, btnSaveTable, btnSaveAnalysis}) button->setEnabled(FAnalysis.isStream);
    emit PassEnded();
    if (FAnalysis.readFailed)
      FPrompts.ShowMessage(Format("Cannot read %s: only %" PRId64 " of %" PRId64 " bytes could be read",
                                  FFileName.c_str(), FAnalysis.reached, FAnalysis.fileSize));
  });
}

void TStreamAnalysisForm::ShowAnalysis(bool running) {
  ShowSummary(running);
  FillTree();
  if (FAnalysis.isStream) {
    FPlots->SetAnalysis(FAnalysis);
  } else {
    FPlots->Clear();
    ShowFindings();
  }
}

void TStreamAnalysisForm::SetFindings(std::vector<TCustomReport> reports) {
  FReports = std::move(reports);
  ShowFindings();
}

void TStreamAnalysisForm::ShowFindings() {
  std::vector<TPlotFinding> findings;
  for (const TCustomReport& report : FReports) {
    const TFindingPlace place = ReadFindingPlace(report.Message);
    if (!place.indicator) continue;
    TPlotFinding& f = findings.emplace_back();
    f.indicator = IndicatorName(*place.indicator);
    f.offset = place.offset.value_or(-1);
    if (place.milliseconds) f.time = static_cast<double>(*place.milliseconds) / 1000.0;
  }
  FPlots->SetFindings(findings);
}

void TStreamAnalysisForm::ShowSummary(bool running) {
  const TStreamAnalysis& a = FAnalysis;
  std::string text = "File: " + FFileName + " | " + Format("Size: %" PRId64 " bytes", a.fileSize);
  if (a.isStream) {
    text += Format(" | Packet size: %d", a.packetSize);
    text += " | Duration: " + (a.duration ? Format("%.6f s", *a.duration) : std::string("- (no PCR)"));
    text += " | Bitrate: " + (a.bitrate ? Format("%.0f bit/s", *a.bitrate) : std::string("- (no PCR)"));
    text += Format(" | Packets: %" PRId64, a.packets);
    if (a.partial && !running) text += " | partial";
  } else if (!running && FShowsResult) {
    text += " | Not valid transport stream";
  }
  lblSummary->setText(Q(text));
}

void TStreamAnalysisForm::FillTree() {
  const TStreamAnalysis& a = FAnalysis;
  std::map<int32_t, const TPIDFigures*> figures;
  for (const TPIDFigures& f : a.pids) figures[f.pid] = &f;
  std::set<int32_t> inPrograms;

  const auto pidRow = [&](QTreeWidgetItem* parent, const std::string& label, int32_t pid) {
    auto* item = new TFigureItem(parent);
    item->setText(kName, Q(label));
    item->setData(kName, Qt::UserRole, pid);
    item->setData(kName, kPIDRole, pid);
    const auto found = figures.find(pid);
    if (found == figures.end()) {
      SetCounts(item, 0, 0, std::nullopt, 0, 0);
      return;
    }
    const TPIDFigures& f = *found->second;
    SetCounts(item, f.packets, f.share, f.bitrate, f.ccErrors, f.scrambled);
    SetRate(item, kBitrateMin, f.bitrateMin);
    SetRate(item, kBitrateMax, f.bitrateMax);
    item->setData(kName, kOffsetRole, QVariant::fromValue<qlonglong>(f.firstOffset));
  };
  const auto groupSum = [&](QTreeWidgetItem* item, const std::set<int32_t>& pids) {
    TSum sum;
    for (const int32_t pid : pids)
      if (const auto found = figures.find(pid); found != figures.end()) sum.Add(*found->second);
    SetCounts(item, sum.packets, sum.share, pids.empty() ? std::nullopt : sum.bitrate, sum.ccErrors, sum.scrambled);
  };

  tvServices->setUpdatesEnabled(false);
  tvServices->setSortingEnabled(false);
  tvServices->clear();
  for (const TServiceFigures& s : a.services) {
    auto* program = new TFigureItem(tvServices);
    std::string label = Format("Program %d", s.programNumber);
    if (!s.name.empty() || !s.provider.empty()) label += " \"" + s.name + "\" (" + s.provider + ")";
    if (s.serviceType) label += Format(", type 0x%02X", *s.serviceType);
    program->setText(kName, Q(label));
    program->setData(kName, Qt::UserRole, s.programNumber);
    program->setData(kName, kProgramRole, s.programNumber);
    std::set<int32_t> pids;
    if (s.pmtPID) {
      pidRow(program, Format("PMT PID 0x%04X", *s.pmtPID), *s.pmtPID);
      pids.insert(*s.pmtPID);
    }
    if (s.pcrPID) {
      pidRow(program, Format("PCR PID 0x%04X", *s.pcrPID), *s.pcrPID);
      pids.insert(*s.pcrPID);
    }
    for (const TStreamFigures& es : s.streams) {
      std::string stream = Format("0x%04X ", es.pid) + es.streamTypeName;
      if (!es.language.empty()) stream += " [" + es.language + "]";
      pidRow(program, stream, es.pid);
      pids.insert(es.pid);
    }
    groupSum(program, pids);
    inPrograms.insert(pids.begin(), pids.end());
  }
  std::set<int32_t> others;
  for (const TPIDFigures& f : a.pids)
    if (inPrograms.count(f.pid) == 0) others.insert(f.pid);
  if (!others.empty()) {
    auto* group = new TFigureItem(tvServices);
    group->setText(kName, "Other PIDs");
    group->setData(kName, Qt::UserRole, kOtherGroupKey);
    for (const int32_t pid : others) pidRow(group, Format("0x%04X ", pid) + figures[pid]->description, pid);
    groupSum(group, others);
  }
  tvServices->expandAll();
  tvServices->setSortingEnabled(true);
  tvServices->setUpdatesEnabled(true);
}

void TStreamAnalysisForm::ItemActivated(QTreeWidgetItem* item) {
  GuardedVoid("TStreamAnalysisForm.ItemActivated", [&] {
    const QVariant offset = item != nullptr ? item->data(kName, kOffsetRole) : QVariant();
    if (offset.isValid()) emit PacketChosen(offset.toLongLong());
  });
}

std::string TStreamAnalysisForm::AskOutputFile(const std::string& filter) {
  return tessaro::AskOutputFile(FPrompts, filter, FFileName);
}

bool TStreamAnalysisForm::WriteOutput(const std::string& fileName, const std::string& text) {
  const int error = ReplaceFileWith(fileName, text);
  if (error == 0) return true;
  DebugOutput("zrk: Error in TStreamAnalysisForm.WriteOutput - cannot write " + fileName + ".");
  FPrompts.ShowMessage("Cannot write " + fileName + ": " + std::strerror(error));
  return false;
}

void TStreamAnalysisForm::btnSavePlotClick() {
  GuardedVoid("TStreamAnalysisForm.btnSavePlotClick", [&] {
    const std::string fileName = AskOutputFile(kPlotFilter);
    if (fileName.empty()) return;
    const QString suffix = QFileInfo(Q(fileName)).suffix().toLower();
    if (suffix != "png" && suffix != "svg") {
      FPrompts.ShowMessage("Cannot write " + fileName + ": the name must end in .png or .svg");
      return;
    }
    // The plots write through a file beside the target that replaces it once
    // whole, so a failed save leaves an existing picture as it was.
    if (!FPlots->SavePlot(Q(fileName))) FPrompts.ShowMessage("Cannot write " + fileName);
  });
}

void TStreamAnalysisForm::btnSaveTableClick() {
  GuardedVoid("TStreamAnalysisForm.btnSaveTableClick", [&] {
    const std::string fileName = AskOutputFile(kTableFilter);
    if (!fileName.empty()) WriteOutput(fileName, PIDTableCSV(FAnalysis));
  });
}

void TStreamAnalysisForm::btnSaveAnalysisClick() {
  GuardedVoid("TStreamAnalysisForm.btnSaveAnalysisClick", [&] {
    const std::string fileName = AskOutputFile(kAnalysisFilter);
    if (!fileName.empty()) WriteOutput(fileName, AnalysisJSONText(FFileName, FAnalysis));
  });
}

}  // namespace tessaro
