// The plots of the Stream Analysis window: the analysis pass's timeline drawn
// over stream time (or over file offset for a stream without PCRs) in three
// tabs: bitrate per PID or stacked per service, PCR interval and accuracy
// against TR 101 290's limits, and PTS/DTS - PCR per elementary stream.
// Every point remembers the packet it stands for; a double-click on it asks
// the window to show that packet.
#pragma once

#include <QPointF>
#include <QString>
#include <QTabWidget>
#include <QVector>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "analysis/StreamAnalysis.h"

class QCheckBox;
class QCustomPlot;
class QCPAbstractLegendItem;
class QCPAbstractPlottable;
class QCPGraph;
class QCPItemText;
class QCPItemTracer;
class QMouseEvent;

namespace tessaro {

// A finding of a validation run, as the Errors tab marks it.
struct TPlotFinding {
  std::string indicator;
  int64_t offset = -1;
  std::optional<double> time;  // seconds from the first PCR
};

class TAnalysisPlots : public QTabWidget {
  Q_OBJECT
 public:
  explicit TAnalysisPlots(QWidget* parent = nullptr);
  ~TAnalysisPlots() override;

  // Redraws every tab from the analysis. Called again and again while a pass
  // runs, with a growing timeline: a plot the user has zoomed or panned keeps
  // its ranges, the others fit their data.
  void SetAnalysis(const TStreamAnalysis& analysis);
  void Clear();
  // The current tab's plots as PNG (at the widgets' size) or SVG, by the
  // path's suffix; false when nothing was written.
  bool SavePlot(const QString& path);
  // The packet offset a double-click on series `series` (its legend name) at
  // key x of plot `plot` chooses, or -1 when the series has no point there.
  int64_t OffsetAt(QCustomPlot* plot, const QString& series, double x) const;
  // Marks the findings of the last validation run on the Errors tab, one row
  // per indicator. A finding without a time is placed by its offset against
  // the timeline's rows; one that cannot be placed is counted in a note.
  void SetFindings(const std::vector<TPlotFinding>& findings);

  QCustomPlot* BitratePlot() const { return bitrate_; }
  QCustomPlot* IntervalPlot() const { return interval_; }
  QCustomPlot* AccuracyPlot() const { return accuracy_; }
  QCustomPlot* TimestampPlot() const { return timestamps_; }
  QCustomPlot* ErrorPlot() const { return errors_; }
  // Why the PCR or Timestamps tab has nothing to draw; empty when it has.
  QString PCRNote() const;
  QString TimestampNote() const;
  QCheckBox* StackByService() const { return stack_; }

 signals:
  void PacketChosen(qint64 offset);  // a double-click on a point

 private:
  struct TSeries;  // one line or area, with the packet of each point
  struct TDrawn;   // every plot's series, ready to be shown
  struct TPlotState {
    QCustomPlot* plot = nullptr;
    // What each graph stands for, in graph order, at full resolution: the
    // graphs themselves hold it reduced to the plot's pixel columns.
    std::vector<TSeries> series;
    bool reduced = false;  // the graphs hold reduced points, for the range and width below
    double reducedFrom = 0;
    double reducedTo = 0;
    int reducedColumns = 0;
    std::set<QString> hidden;  // legend names the user switched off
    bool userRange = false;    // zoomed or panned since the last fit
    bool fitting = false;      // ranges being set by the code, not the user
    QCPItemText* readout = nullptr;
    QCPItemTracer* tracer = nullptr;
    std::vector<double> limits;  // values a fit keeps in sight
  };
  struct TNearest {
    QCPGraph* graph = nullptr;
    double key = 0;
    double value = 0;
    int64_t offset = -1;
    double pixels = 0;
  };

  QCustomPlot* MakePlot(const QString& valueLabel);
  // A text at a place of the plot's axis rect (0 to 1 across and down), empty until set.
  static QCPItemText* AddNote(QCustomPlot* plot, QPointF at, Qt::Alignment alignment);
  // A dashed line at a limit of TR 101 290, with its label at the right.
  void AddLimit(QCustomPlot* plot, double value, const QString& label);
  TPlotState& State(QCustomPlot* plot);
  const TPlotState* StateOf(const QCustomPlot* plot) const;
  // Puts the series on the plot: the same graphs while the names are the
  // same, else new ones in the series' order.
  void Show(QCustomPlot* plot, const std::vector<const TSeries*>& series);
  // Shows what the plot should draw now, or, for a plot on another tab,
  // leaves it until that tab is shown or a caller asks about the plot.
  void Update(QCustomPlot* plot, bool now);
  void Refresh(QCustomPlot* plot) const;
  // The full-resolution series a graph of the plot draws, or null.
  const TSeries* SeriesOf(const QCustomPlot* plot, const QCPAbstractPlottable* graph) const;
  // Gives each graph the points its pixel columns show of the key range in
  // sight, from the full-resolution series; unless they already are.
  void Reduce(QCustomPlot* plot);
  QCPGraph* Graph(QCustomPlot* plot, const QString& name) const;
  void Fit(QCustomPlot* plot);
  // The PCR and timestamp series, from the cells of the last analysis.
  void BuildTiming();
  void DrawBitrate();
  void DrawFindings();
  void SetKeyLabels();
  TNearest Nearest(QCustomPlot* plot, const QPointF& pixel) const;
  void LegendClicked(QCustomPlot* plot, QCPAbstractLegendItem* item);
  void MouseMoved(QCustomPlot* plot, QMouseEvent* event);
  void DoubleClicked(QCustomPlot* plot, QMouseEvent* event);
  QString ValueText(const QCustomPlot* plot, double value) const;

  QCheckBox* stack_ = nullptr;
  QCustomPlot* bitrate_ = nullptr;
  QCustomPlot* interval_ = nullptr;
  QCustomPlot* accuracy_ = nullptr;
  QCustomPlot* timestamps_ = nullptr;
  QCustomPlot* errors_ = nullptr;
  QCPItemText* unplaced_ = nullptr;  // says how many findings have no place
  QCPItemText* noPCR_ = nullptr;     // on the PCR tab: why it is empty
  QCPItemText* noStamps_ = nullptr;  // on the Timestamps tab: why it is empty
  std::map<const QCustomPlot*, TPlotState> states_;

  bool timed_ = true;
  double span_ = 0;  // a bucket: seconds, or bytes without PCRs
  std::unique_ptr<TDrawn> drawn_;
};

}  // namespace tessaro
