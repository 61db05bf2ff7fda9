// The Stream Analysis window's plots: the timeline turned into QCustomPlot
// graphs, with the packet of every point kept beside the graph's data.

#include "ui/AnalysisPlots.h"

#include <qcustomplot.h>
#include <QCheckBox>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace tessaro {
namespace {

constexpr const char* kBitrateTab = "Bitrate";
constexpr const char* kPCRTab = "PCR";
constexpr const char* kTimestampTab = "Timestamps";
constexpr const char* kErrorTab = "Errors";
constexpr const char* kStackCaption = "Stack by service";
constexpr const char* kTotal = "Total";
constexpr const char* kOtherPIDs = "Other PIDs";
// Bits of one packet as the transport rate counts it, whatever its slot.
constexpr double kPacketBits = 188.0 * 8;
// TR 101 290: PCR_repetition_error past 40 ms, PCR_accuracy_error past 500 ns.
constexpr double kIntervalLimitMs = 40;
constexpr double kAccuracyLimitNs = 500;
// How near the pointer must be to a point for it to count, in pixels.
constexpr double kReach = 20;
constexpr int kPIDs = 8192;
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

QString PIDName(int32_t pid) { return QString::asprintf("PID 0x%04X", pid); }

QColor SeriesColor(size_t index) {
  static const std::array<QColor, 10> colors{
      QColor(31, 119, 180), QColor(255, 127, 14),  QColor(44, 160, 44),   QColor(214, 39, 40),  QColor(148, 103, 189),
      QColor(140, 86, 75),  QColor(227, 119, 194), QColor(127, 127, 127), QColor(188, 189, 34), QColor(23, 190, 207)};
  if (index < colors.size()) return colors[index];
  // Past the fixed ones, hues spread round the circle; no dashes, which Qt
  // strokes a hundred times slower over thousands of points.
  return QColor::fromHsv(static_cast<int>(index * 47 % 360), 200, 190);
}

// The worst accuracy of a bucket: the one of larger magnitude.
double Worst(const TTimelinePID& p) {
  const double low = p.accuracyMin.value_or(0);
  const double high = p.accuracyMax.value_or(0);
  return std::fabs(low) > std::fabs(high) ? low : high;
}

bool KeyBefore(const QCPGraphData& point, double key) { return point.key < key; }

// What a series draws over `columns` pixel columns of the keys from..to: of
// each column its lowest and its highest point, so a spike narrower than a
// pixel still reaches its height. Both stand on the column's first key, and
// the one nearer the previous column comes first: the line then crosses a
// noisy column once, not up and down again. A point on each side of the
// range is kept, so the line runs on out of sight; a range with no more than
// two points a column keeps them all, as they are.
QVector<QCPGraphData> Envelope(const QVector<QCPGraphData>& points, double from, double to, int columns) {
  auto first = std::lower_bound(points.cbegin(), points.cend(), from, KeyBefore);
  if (first != points.cbegin()) --first;
  auto last = std::lower_bound(first, points.cend(), to, KeyBefore);
  while (last != points.cend() && last->key <= to) ++last;
  if (last != points.cend()) ++last;
  if (last - first <= 2 * static_cast<qsizetype>(columns) || !(to > from)) {
    if (first == points.cbegin() && last == points.cend()) return points;  // shared, not copied
    return QVector<QCPGraphData>(first, last);
  }
  const double perKey = columns / (to - from);
  // The outside points fall in columns of their own.
  auto columnOf = [&](double key) {
    return std::clamp(std::floor((key - from) * perKey), -1.0, static_cast<double>(columns));
  };
  QVector<QCPGraphData> kept;
  kept.reserve(2 * static_cast<qsizetype>(columns) + 6);
  double key = first->key;
  double low = first->value;
  double high = low;
  double column = columnOf(key);
  // Where the next column starts; points are compared with it, and the
  // column of a point worked out only when it passes it.
  auto nextStart = [&](double c) {
    return c >= columns ? std::numeric_limits<double>::infinity() : from + (c + 1) / perKey;
  };
  double next = nextStart(column);
  auto flush = [&] {
    const bool fromHigh = !kept.isEmpty() && std::fabs(kept.back().value - high) < std::fabs(kept.back().value - low);
    kept.push_back(QCPGraphData(key, fromHigh ? high : low));
    if (high != low) kept.push_back(QCPGraphData(key, fromHigh ? low : high));
  };
  for (auto it = first + 1; it != last; ++it) {
    if (it->key >= next) {
      flush();
      column = columnOf(it->key);
      next = nextStart(column);
      key = it->key;
      low = high = it->value;
    } else {
      low = std::min(low, it->value);
      high = std::max(high, it->value);
    }
  }
  flush();
  return kept;
}

}  // namespace

struct TAnalysisPlots::TSeries {
  QString name;
  QVector<QCPGraphData> points;  // in key order
  QVector<qint64> offsets;       // the packet of each point
};

struct TAnalysisPlots::TDrawn {
  std::vector<TSeries> pidRates;
  TSeries totalRate;
  std::vector<TSeries> serviceRates;  // not stacked; kept for the toggle
  // The PCR and timestamp tabs are built from these when they are shown,
  // not at each redraw of a pass: they cost as much as the bitrate series.
  // A value not measured is NaN.
  struct TCell {
    double key = 0;
    int32_t pid = 0;
    int64_t first = -1;
    double interval = kNone;
    int64_t intervalOffset = -1;
    double accuracy = kNone;
    int64_t accuracyOffset = -1;
    std::array<double, 4> stamps{kNone, kNone, kNone, kNone};  // PTS low, high; DTS low, high
  };
  std::vector<TCell> cells;   // in row order; kept allocated between redraws
  std::vector<int32_t> pids;  // of pidRates, in order
  bool timingBuilt = false;
  std::vector<TSeries> intervals;
  std::vector<TSeries> accuracies;
  std::vector<TSeries> stamps;
  // Where the rows lie, to place findings by offset.
  std::vector<double> rowKeys;
  std::vector<int64_t> rowOffsets;
  int64_t reached = 0;
  std::vector<TPlotFinding> findings;
  std::set<const QCustomPlot*> stale;  // plots on other tabs, drawn when shown
};

TAnalysisPlots::TAnalysisPlots(QWidget* parent) : QTabWidget(parent), drawn_(std::make_unique<TDrawn>()) {
  auto* bitratePage = new QWidget;
  auto* bitrateLayout = new QVBoxLayout(bitratePage);
  stack_ = new QCheckBox(QString::fromUtf8(kStackCaption));
  bitrate_ = MakePlot("Bitrate (bit/s)");
  bitrateLayout->addWidget(stack_);
  bitrateLayout->addWidget(bitrate_, 1);
  addTab(bitratePage, QString::fromUtf8(kBitrateTab));

  auto* pcrPage = new QWidget;
  auto* pcrLayout = new QVBoxLayout(pcrPage);
  interval_ = MakePlot("PCR interval (ms)");
  accuracy_ = MakePlot("PCR accuracy (ns)");
  pcrLayout->addWidget(interval_, 1);
  pcrLayout->addWidget(accuracy_, 1);
  addTab(pcrPage, QString::fromUtf8(kPCRTab));

  timestamps_ = MakePlot("PTS/DTS - PCR (ms)");
  addTab(timestamps_, QString::fromUtf8(kTimestampTab));

  errors_ = MakePlot("Indicator");
  addTab(errors_, QString::fromUtf8(kErrorTab));
  unplaced_ = AddNote(errors_, {0.99, 0.01}, Qt::AlignRight | Qt::AlignTop);
  noPCR_ = AddNote(interval_, {0.5, 0.5}, Qt::AlignCenter);
  noStamps_ = AddNote(timestamps_, {0.5, 0.5}, Qt::AlignCenter);

  AddLimit(interval_, kIntervalLimitMs, "40 ms");
  AddLimit(accuracy_, kAccuracyLimitNs, "+500 ns");
  AddLimit(accuracy_, -kAccuracyLimitNs, "-500 ns");
  SetKeyLabels();

  connect(stack_, &QCheckBox::toggled, this, [this] { Update(bitrate_, true); });
  connect(this, &QTabWidget::currentChanged, this, [this] {
    for (QCustomPlot* plot : {bitrate_, interval_, accuracy_, timestamps_, errors_})
      if (drawn_->stale.count(plot) != 0) Update(plot, false);
  });
}

TAnalysisPlots::~TAnalysisPlots() = default;

QCPItemText* TAnalysisPlots::AddNote(QCustomPlot* plot, QPointF at, Qt::Alignment alignment) {
  auto* note = new QCPItemText(plot);
  note->position->setType(QCPItemPosition::ptAxisRectRatio);
  note->position->setCoords(at);
  note->setPositionAlignment(alignment);
  note->setText({});
  return note;
}

QString TAnalysisPlots::PCRNote() const { return noPCR_->text(); }
QString TAnalysisPlots::TimestampNote() const { return noStamps_->text(); }

QCustomPlot* TAnalysisPlots::MakePlot(const QString& valueLabel) {
  auto* plot = new QCustomPlot;
  plot->setMinimumSize(320, 200);
  plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  plot->setNoAntialiasingOnDrag(true);
  // Thousands of points a line: antialiased strokes cost the raster engine
  // ten times as much as plain ones, too much to redraw while a pass runs.
  // Each line is one polyline: QCustomPlot's "fast" mode draws it segment
  // by segment, and the raster engine's cost per call then outweighs the
  // pixels of a line reduced to its pixel columns.
  plot->setPlottingHint(QCP::phFastPolylines, false);
  plot->setNotAntialiasedElements(QCP::aePlottables);
  plot->yAxis->setLabel(valueLabel);
  // The legend below the axes, in columns: a stream of many PIDs would
  // otherwise cover the plot with it.
  plot->legend->setVisible(true);
  plot->axisRect()->insetLayout()->take(plot->legend);
  plot->plotLayout()->addElement(1, 0, plot->legend);
  plot->plotLayout()->setRowStretchFactor(1, 0.001);
  plot->legend->setFillOrder(QCPLegend::foColumnsFirst);
  plot->legend->setWrap(6);

  TPlotState& state = states_[plot];
  state.plot = plot;
  state.readout = new QCPItemText(plot);
  state.readout->position->setType(QCPItemPosition::ptAxisRectRatio);
  state.readout->position->setCoords(0.01, 0.01);
  state.readout->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
  state.readout->setBrush(QColor(255, 255, 255, 220));
  state.readout->setPadding(QMargins(3, 2, 3, 2));
  state.readout->setText({});
  state.tracer = new QCPItemTracer(plot);
  state.tracer->setStyle(QCPItemTracer::tsCircle);
  state.tracer->setSize(8);
  state.tracer->setVisible(false);

  connect(plot, &QCustomPlot::legendClick, this,
          [this, plot](QCPLegend*, QCPAbstractLegendItem* item, QMouseEvent*) { LegendClicked(plot, item); });
  connect(plot, &QCustomPlot::mouseMove, this, [this, plot](QMouseEvent* event) { MouseMoved(plot, event); });
  connect(plot, &QCustomPlot::mouseDoubleClick, this, [this, plot](QMouseEvent* event) { DoubleClicked(plot, event); });
  auto moved = [this, plot] {
    TPlotState& s = State(plot);
    if (!s.fitting) s.userRange = true;
  };
  connect(plot->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, moved);
  connect(plot->yAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, moved);
  // After the layout the axes' width in pixels is known, and a zoom or a pan
  // has settled; right before the graphs are drawn.
  connect(plot, &QCustomPlot::afterLayout, this, [this, plot] { Reduce(plot); });
  return plot;
}

void TAnalysisPlots::AddLimit(QCustomPlot* plot, double value, const QString& label) {
  const QPen pen(QColor(200, 0, 0), 1, Qt::DashLine);
  auto* line = new QCPItemStraightLine(plot);
  line->point1->setCoords(0, value);
  line->point2->setCoords(1, value);
  line->setPen(pen);
  auto* text = new QCPItemText(plot);
  text->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
  text->position->setTypeY(QCPItemPosition::ptPlotCoords);
  text->position->setCoords(0.99, value);
  text->setPositionAlignment(Qt::AlignRight | Qt::AlignBottom);
  text->setColor(pen.color());
  text->setText(label);
  State(plot).limits.push_back(value);
}

TAnalysisPlots::TPlotState& TAnalysisPlots::State(QCustomPlot* plot) { return states_.at(plot); }

const TAnalysisPlots::TPlotState* TAnalysisPlots::StateOf(const QCustomPlot* plot) const {
  const auto it = states_.find(plot);
  return it == states_.end() ? nullptr : &it->second;
}

QCPGraph* TAnalysisPlots::Graph(QCustomPlot* plot, const QString& name) const {
  if (plot == nullptr) return nullptr;
  for (int i = 0; i < plot->graphCount(); ++i)
    if (plot->graph(i)->name() == name) return plot->graph(i);
  return nullptr;
}

void TAnalysisPlots::Show(QCustomPlot* plot, const std::vector<const TSeries*>& series) {
  TPlotState& state = State(plot);
  // The graphs are kept while the series are the same ones in the same order
  // (a redraw during a pass); otherwise they are made anew, so the legend
  // and the stacking follow the series' order.
  bool same = plot->graphCount() == static_cast<int>(series.size());
  for (int i = 0; same && i < plot->graphCount(); ++i)
    same = plot->graph(i)->name() == series[static_cast<size_t>(i)]->name;
  if (!same) {
    state.tracer->setGraph(nullptr);
    plot->clearGraphs();
  }
  state.series.clear();
  state.reduced = false;
  for (size_t i = 0; i < series.size(); ++i) {
    const TSeries& s = *series[i];
    QCPGraph* graph = same ? plot->graph(static_cast<int>(i)) : plot->addGraph();
    if (!same) {
      graph->setName(s.name);
      graph->setPen(QPen(SeriesColor(i), 1));
    }
    // Already reduced to the pixel columns: QCustomPlot's own sampling would
    // only walk the points again.
    graph->setAdaptiveSampling(false);
    graph->setBrush(Qt::NoBrush);
    graph->setChannelFillGraph(nullptr);
    // Shared with the series, not copied; reduced when the plot is drawn.
    graph->data()->set(s.points, true);
    state.series.push_back(s);
    const bool hidden = state.hidden.count(s.name) != 0;
    graph->setVisible(!hidden);
    if (QCPPlottableLegendItem* item = plot->legend->itemWithPlottable(graph))
      item->setTextColor(hidden ? Qt::gray : Qt::black);
  }
  // A layout column is as narrow as the narrowest maximum of its elements, and
  // an empty legend's is its margins: it leaves the layout until it has items
  // (the plot, its QObject parent, still deletes it).
  QCPLayoutGrid* layout = plot->plotLayout();
  const bool placed = layout->hasElement(1, 0) && layout->element(1, 0) == plot->legend;
  if (plot->legend->itemCount() > 0 && !placed) {
    layout->addElement(1, 0, plot->legend);
    layout->setRowStretchFactor(1, 0.001);
  } else if (plot->legend->itemCount() == 0 && placed) {
    layout->take(plot->legend);
    layout->simplify();
  }
}

void TAnalysisPlots::Update(QCustomPlot* plot, bool now) {
  QWidget* page = plot->parentWidget() == nullptr || indexOf(plot) >= 0 ? plot : plot->parentWidget();
  if (!now && indexOf(page) != currentIndex()) {
    drawn_->stale.insert(plot);
    return;
  }
  drawn_->stale.erase(plot);
  auto pointers = [](const std::vector<TSeries>& list) {
    std::vector<const TSeries*> shown;
    for (const TSeries& s : list) shown.push_back(&s);
    return shown;
  };
  if (plot == interval_ || plot == accuracy_ || plot == timestamps_) BuildTiming();
  if (plot == bitrate_)
    DrawBitrate();
  else if (plot == errors_)
    DrawFindings();
  else if (plot == interval_)
    Show(plot, pointers(drawn_->intervals));
  else if (plot == accuracy_)
    Show(plot, pointers(drawn_->accuracies));
  else if (plot == timestamps_)
    Show(plot, pointers(drawn_->stamps));
  Fit(plot);
  plot->replot(QCustomPlot::rpQueuedReplot);
}

const TAnalysisPlots::TSeries* TAnalysisPlots::SeriesOf(const QCustomPlot* plot,
                                                        const QCPAbstractPlottable* graph) const {
  const TPlotState* state = StateOf(plot);
  if (state == nullptr || graph == nullptr) return nullptr;
  for (int i = 0; i < plot->graphCount() && i < static_cast<int>(state->series.size()); ++i)
    if (plot->graph(i) == graph) return &state->series[static_cast<size_t>(i)];
  return nullptr;
}

void TAnalysisPlots::Reduce(QCustomPlot* plot) {
  TPlotState& state = State(plot);
  const QCPRange keys = plot->xAxis->range();
  const int columns = std::max(1, plot->axisRect()->width());
  if (state.reduced && state.reducedFrom == keys.lower && state.reducedTo == keys.upper &&
      state.reducedColumns == columns)
    return;
  for (int i = 0; i < plot->graphCount() && i < static_cast<int>(state.series.size()); ++i)
    plot->graph(i)->data()->set(Envelope(state.series[static_cast<size_t>(i)].points, keys.lower, keys.upper, columns),
                                true);
  state.reduced = true;
  state.reducedFrom = keys.lower;
  state.reducedTo = keys.upper;
  state.reducedColumns = columns;
}

void TAnalysisPlots::Refresh(QCustomPlot* plot) const {
  // A plot drawn late is still the same plot: callers asking about it see it
  // as it would be on screen.
  if (drawn_->stale.count(plot) != 0) const_cast<TAnalysisPlots*>(this)->Update(plot, true);
}

void TAnalysisPlots::Fit(QCustomPlot* plot) {
  TPlotState& state = State(plot);
  if (state.userRange) return;
  // Measured on the full series (the graphs may hold a reduced or zoomed
  // part of them), as QCPAxis::rescale would: a range of no width keeps the
  // axis' width, centred on it.
  bool any = false;
  QCPRange keys;
  QCPRange values;
  for (int i = 0; i < plot->graphCount() && i < static_cast<int>(state.series.size()); ++i) {
    const QVector<QCPGraphData>& points = state.series[static_cast<size_t>(i)].points;
    if (!plot->graph(i)->visible() || points.isEmpty()) continue;
    double low = points.front().value;
    double high = low;
    for (const QCPGraphData& p : points) {
      low = std::min(low, p.value);
      high = std::max(high, p.value);
    }
    if (!any) {
      keys = QCPRange(points.front().key, points.back().key);
      values = QCPRange(low, high);
    } else {
      keys.expand(QCPRange(points.front().key, points.back().key));
      values.expand(QCPRange(low, high));
    }
    any = true;
  }
  if (!any) return;
  auto widened = [](QCPRange range, const QCPRange& now) {
    if (range.size() > 0) return range;
    const double centre = range.lower;
    return QCPRange(centre - now.size() / 2, centre + now.size() / 2);
  };
  keys = widened(keys, plot->xAxis->range());
  values = widened(values, plot->yAxis->range());
  // The limits stay in sight, so a reader sees how far the values are from them.
  for (double limit : state.limits) values.expand(QCPRange(0, limit * 1.2));
  if (values.size() == 0) values = QCPRange(values.lower - 1, values.upper + 1);
  values = QCPRange(values.lower - values.size() * 0.05, values.upper + values.size() * 0.05);
  if (keys.size() == 0) keys = QCPRange(keys.lower - std::max(span_, 1e-9), keys.upper + std::max(span_, 1e-9));
  state.fitting = true;
  plot->xAxis->setRange(keys);
  plot->yAxis->setRange(values);
  state.fitting = false;
}

void TAnalysisPlots::SetKeyLabels() {
  const QString key = timed_ ? QStringLiteral("Stream time (s)") : QStringLiteral("File offset (bytes)");
  for (auto& [plot, state] : states_) state.plot->xAxis->setLabel(key);
  bitrate_->yAxis->setLabel(timed_ ? QStringLiteral("Bitrate (bit/s)")
                                   : QStringLiteral("Packets per %1 bytes (no PCR)").arg(span_, 0, 'f', 0));
}

void TAnalysisPlots::SetAnalysis(const TStreamAnalysis& analysis) {
  const TTimelineFigures& t = analysis.timeline;
  const bool timed = t.bucket.has_value();
  const double span = timed ? *t.bucket : static_cast<double>(t.bucketBytes);
  if (timed != timed_) {
    // Seconds and bytes do not mix: a zoom in the other unit means nothing now.
    for (auto& [plot, state] : states_) state.userRange = false;
  }
  timed_ = timed;
  span_ = span;
  SetKeyLabels();
  const size_t rows = t.rows.size();
  TDrawn& d = *drawn_;
  d.reached = analysis.reached;
  d.rowKeys.assign(rows, 0);
  d.rowOffsets.assign(rows, 0);
  auto keyOf = [timed](const TTimelineRow& row) {
    return timed ? row.time.value_or(0) : static_cast<double>(row.offset);
  };
  // A bucket's bitrate; a stream without PCRs counts packets per span of bytes.
  const double scale = timed && span > 0 ? kPacketBits / span : 1.0;

  // The PIDs of a service: its streams, its PMT and its PCR PID; a PID two
  // services share counts for the first, so the stack adds up to the total.
  std::vector<int32_t> group(kPIDs, -1);
  std::vector<QString> groupNames;
  for (const TServiceFigures& s : analysis.services) {
    const auto index = static_cast<int32_t>(groupNames.size());
    auto claim = [&](std::optional<int32_t> pid) {
      if (pid && *pid >= 0 && *pid < kPIDs && group[static_cast<size_t>(*pid)] < 0)
        group[static_cast<size_t>(*pid)] = index;
    };
    for (const TStreamFigures& es : s.streams) claim(es.pid);
    claim(s.pmtPID);
    claim(s.pcrPID);
    QString name = QStringLiteral("Program %1").arg(s.programNumber);
    if (!s.name.empty()) name += QStringLiteral(" (%1)").arg(QString::fromStdString(s.name));
    groupNames.push_back(name);
  }
  const auto other = static_cast<int32_t>(groupNames.size());
  groupNames.push_back(QString::fromUtf8(kOtherPIDs));

  // Buckets without a packet have no row; their bitrate is zero, not the
  // line from one row to the next, so a zero point stands at each end of a
  // gap (leading to the packet after it).
  QVector<QCPGraphData> frame;
  QVector<qint64> frameOffsets;
  frame.reserve(static_cast<qsizetype>(rows) * 2);
  frameOffsets.reserve(static_cast<qsizetype>(rows) * 2);
  std::vector<qsizetype> rowPoint(rows);
  for (size_t r = 0; r < rows; ++r) {
    const double key = keyOf(t.rows[r]);
    d.rowKeys[r] = key;
    d.rowOffsets[r] = t.rows[r].offset;
    if (timed && r > 0) {
      const double previous = d.rowKeys[r - 1];
      if (key - previous > 1.5 * span) {
        frame.push_back(QCPGraphData(previous + span, 0));
        frameOffsets.push_back(t.rows[r].offset);
        if (key - previous > 2.5 * span) {
          frame.push_back(QCPGraphData(key - span, 0));
          frameOffsets.push_back(t.rows[r].offset);
        }
      }
    }
    rowPoint[r] = frame.size();
    frame.push_back(QCPGraphData(key, 0));
    frameOffsets.push_back(t.rows[r].offset);
  }
  // A series on every point of the frame, written in place through `at`.
  struct TFramed {
    TSeries series;
    QCPGraphData* points = nullptr;
    qint64* offsets = nullptr;
  };
  auto framed = [&](const QString& name) {
    TFramed f;
    f.series.name = name;
    f.series.points = frame;
    f.series.offsets = frameOffsets;
    // Copies of their own now, so the writes below need no check.
    f.points = f.series.points.data();
    f.offsets = f.series.offsets.data();
    return f;
  };
  TFramed total = framed(QString::fromUtf8(kTotal));
  std::vector<TFramed> services;
  services.reserve(groupNames.size());
  for (const QString& name : groupNames) services.push_back(framed(name));
  std::vector<bool> groupUsed(groupNames.size(), false);

  // By the PID's place in the order first seen; stamps: PTS then DTS of each.
  std::vector<int32_t> slot(kPIDs, -1);
  std::vector<int32_t> pids;
  std::vector<TFramed> rates;
  d.cells.clear();
  d.timingBuilt = false;

  // One walk over the cells: the timeline is large, and read once.
  for (size_t r = 0; r < rows; ++r) {
    const TTimelineRow& row = t.rows[r];
    const double key = d.rowKeys[r];
    const qsizetype at = rowPoint[r];
    for (TFramed& s : services) s.offsets[at] = -1;
    for (const TTimelinePID& p : row.pids) {
      if (p.pid < 0 || p.pid >= kPIDs) continue;
      int32_t& place = slot[static_cast<size_t>(p.pid)];
      if (place < 0) {
        place = static_cast<int32_t>(pids.size());
        pids.push_back(p.pid);
        rates.push_back(framed(PIDName(p.pid)));
      }
      const auto index = static_cast<size_t>(place);
      const int64_t first = p.offset >= 0 ? p.offset : row.offset;
      const double rate = static_cast<double>(p.packets) * scale;
      TFramed& own = rates[index];
      own.points[at].value = rate;
      own.offsets[at] = first;
      total.points[at].value += rate;
      const int32_t g = group[static_cast<size_t>(p.pid)] < 0 ? other : group[static_cast<size_t>(p.pid)];
      TFramed& service = services[static_cast<size_t>(g)];
      service.points[at].value += rate;
      if (p.packets > 0) groupUsed[static_cast<size_t>(g)] = true;
      if (service.offsets[at] < 0 || first < service.offsets[at]) service.offsets[at] = first;

      const bool pts = p.ptsPCRMin && p.ptsPCRMax;
      const bool dts = p.dtsPCRMin && p.dtsPCRMax;
      if (!p.intervalMax && !p.accuracyMin && !p.accuracyMax && !pts && !dts) continue;
      const bool accuracy = p.accuracyMin || p.accuracyMax;
      d.cells.push_back({key, p.pid, first, p.intervalMax ? *p.intervalMax * 1e3 : kNone,
                         p.intervalOffset >= 0 ? p.intervalOffset : first, accuracy ? Worst(p) * 1e9 : kNone,
                         p.accuracyOffset >= 0 ? p.accuracyOffset : first,
                         pts ? std::array<double, 4>{*p.ptsPCRMin * 1e3, *p.ptsPCRMax * 1e3, kNone, kNone}
                             : std::array<double, 4>{kNone, kNone, kNone, kNone}});
      if (dts) {
        d.cells.back().stamps[2] = *p.dtsPCRMin * 1e3;
        d.cells.back().stamps[3] = *p.dtsPCRMax * 1e3;
      }
    }
    for (TFramed& s : services)
      if (s.offsets[at] < 0) s.offsets[at] = row.offset;
  }
  d.totalRate = std::move(total.series);
  // Services the timeline has no packet of yet are left out of the stack.
  d.serviceRates.clear();
  for (size_t g = 0; g < services.size(); ++g)
    if (groupUsed[g]) d.serviceRates.push_back(std::move(services[g].series));

  // In PID order; the cells follow.
  std::vector<size_t> order(pids.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return pids[a] < pids[b]; });
  d.pidRates.clear();
  d.pids.clear();
  for (size_t i : order) {
    d.pidRates.push_back(std::move(rates[i].series));
    d.pids.push_back(pids[i]);
  }
  // An empty timing tab says why. PTS - PCR needs a PCR on the PCR PID of
  // the PTS's program: a program whose PMT gives PCR_PID 0x1FFF has none.
  const QString soFar = analysis.partial ? QStringLiteral(" so far") : QString();
  noPCR_->setText(!analysis.pcr.empty() ? QString()
                  : analysis.partial    ? QStringLiteral("No PCR so far")
                                        : QStringLiteral("No PCR in the stream"));
  const bool measured = std::any_of(analysis.timestamps.begin(), analysis.timestamps.end(),
                                    [](const TTimestampFigures& f) { return f.ptsPCRMin.has_value(); });
  if (analysis.timestamps.empty()) {
    noStamps_->setText(QStringLiteral("No PES packet with a PTS") + soFar);
  } else if (!measured) {
    noStamps_->setText(QStringLiteral("No PTS - PCR%1: the programs of the PIDs with a PTS have no PCR "
                                      "(PCR_PID 0x1FFF, or a PCR PID that carries none)")
                           .arg(soFar));
  } else {
    noStamps_->setText({});
  }

  // Only the tab in sight is drawn now: a pass redraws often, and the
  // other tabs are drawn when they are shown.
  for (auto& [plot, state] : states_) Update(state.plot, false);
}

void TAnalysisPlots::BuildTiming() {
  TDrawn& d = *drawn_;
  if (d.timingBuilt) return;
  d.timingBuilt = true;
  // By the PID's place in pidRates; stamps: PTS then DTS of each.
  const size_t places = d.pidRates.size();
  std::vector<TSeries> intervals(places);
  std::vector<TSeries> accuracies(places);
  std::vector<TSeries> stamps(places * 2);
  auto add = [](TSeries& s, double key, double value, int64_t offset) {
    s.points.push_back(QCPGraphData(key, value));
    s.offsets.push_back(offset);
  };
  std::vector<int32_t> placeOf(kPIDs, -1);
  for (size_t i = 0; i < d.pids.size() && i < places; ++i)
    placeOf[static_cast<size_t>(d.pids[i])] = static_cast<int32_t>(i);
  for (const TDrawn::TCell& cell : d.cells) {
    if (cell.pid < 0 || cell.pid >= kPIDs || placeOf[static_cast<size_t>(cell.pid)] < 0) continue;
    const auto place = static_cast<size_t>(placeOf[static_cast<size_t>(cell.pid)]);
    if (!std::isnan(cell.interval)) add(intervals[place], cell.key, cell.interval, cell.intervalOffset);
    if (!std::isnan(cell.accuracy)) add(accuracies[place], cell.key, cell.accuracy, cell.accuracyOffset);
    // The range of a bucket as two points on one key: a vertical stroke.
    for (size_t kind = 0; kind < 2; ++kind) {
      const double low = cell.stamps[kind * 2];
      const double high = cell.stamps[kind * 2 + 1];
      if (std::isnan(low) || std::isnan(high)) continue;
      TSeries& s = stamps[place * 2 + kind];
      add(s, cell.key, low, cell.first);
      if (high != low) add(s, cell.key, high, cell.first);
    }
  }
  // The PIDs that have points, named.
  d.intervals.clear();
  d.accuracies.clear();
  d.stamps.clear();
  auto keep = [](std::vector<TSeries>& to, TSeries& s, const QString& name) {
    if (s.points.isEmpty()) return;
    s.name = name;
    to.push_back(std::move(s));
  };
  for (size_t i = 0; i < places; ++i) {
    const QString& name = d.pidRates[i].name;
    keep(d.intervals, intervals[i], name);
    keep(d.accuracies, accuracies[i], name);
    keep(d.stamps, stamps[i * 2], name + QStringLiteral(" PTS"));
    keep(d.stamps, stamps[i * 2 + 1], name + QStringLiteral(" DTS"));
  }
}

void TAnalysisPlots::DrawBitrate() {
  const TDrawn& d = *drawn_;
  std::vector<const TSeries*> series;
  if (!stack_->isChecked()) {
    for (const TSeries& s : d.pidRates) series.push_back(&s);
    series.push_back(&d.totalRate);
    Show(bitrate_, series);
    return;
  }
  // Each visible service's area lies on the ones before it; a hidden one
  // leaves the stack, so what remains still adds up.
  const TPlotState& state = State(bitrate_);
  std::vector<TSeries> stacked = d.serviceRates;
  std::vector<size_t> shown;
  QVector<double> base(d.totalRate.points.size(), 0.0);
  for (size_t i = 0; i < stacked.size(); ++i) {
    if (state.hidden.count(stacked[i].name) != 0) continue;
    for (qsizetype k = 0; k < base.size() && k < stacked[i].points.size(); ++k) {
      base[k] += stacked[i].points[k].value;
      stacked[i].points[k].value = base[k];
    }
    shown.push_back(i);
  }
  for (const TSeries& s : stacked) series.push_back(&s);
  series.push_back(&d.totalRate);
  Show(bitrate_, series);
  QCPGraph* below = nullptr;
  for (size_t i : shown) {
    QCPGraph* graph = bitrate_->graph(static_cast<int>(i));
    QColor fill = graph->pen().color();
    fill.setAlpha(110);
    graph->setBrush(fill);
    graph->setChannelFillGraph(below);
    below = graph;
  }
}

void TAnalysisPlots::SetFindings(const std::vector<TPlotFinding>& findings) {
  drawn_->findings = findings;
  Update(errors_, false);
}

void TAnalysisPlots::DrawFindings() {
  const TDrawn& d = *drawn_;
  std::vector<QString> names;
  std::map<QString, std::vector<std::pair<double, int64_t>>> marks;
  int64_t unplaced = 0;
  for (const TPlotFinding& f : d.findings) {
    std::optional<double> key;
    if (timed_ && f.time) {
      key = *f.time;
    } else if (f.offset >= 0 && !d.rowOffsets.empty() && f.offset >= d.rowOffsets.front() &&
               f.offset <= std::max(d.reached, d.rowOffsets.back())) {
      // The row whose bytes hold it: the last that starts at or before it.
      const auto row = std::upper_bound(d.rowOffsets.begin(), d.rowOffsets.end(), f.offset) - d.rowOffsets.begin() - 1;
      key = timed_ ? d.rowKeys[static_cast<size_t>(row)] : static_cast<double>(f.offset);
    }
    if (!key) {
      ++unplaced;
      continue;
    }
    const QString name = QString::fromStdString(f.indicator);
    if (marks.count(name) == 0) names.push_back(name);
    marks[name].emplace_back(*key, f.offset);
  }
  std::sort(names.begin(), names.end());
  auto ticker = QSharedPointer<QCPAxisTickerText>::create();
  std::vector<TSeries> series;
  for (size_t level = 0; level < names.size(); ++level) {
    auto& points = marks[names[level]];
    std::stable_sort(points.begin(), points.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    TSeries s;
    s.name = names[level];
    for (const auto& [key, offset] : points) {
      s.points.push_back(QCPGraphData(key, static_cast<double>(level)));
      s.offsets.push_back(offset);
    }
    series.push_back(std::move(s));
    ticker->addTick(static_cast<double>(level), names[level]);
  }
  std::vector<const TSeries*> shown;
  for (const TSeries& s : series) shown.push_back(&s);
  Show(errors_, shown);
  for (int i = 0; i < errors_->graphCount(); ++i) {
    errors_->graph(i)->setLineStyle(QCPGraph::lsNone);
    errors_->graph(i)->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDiamond, 7));
  }
  errors_->yAxis->setTicker(ticker);
  unplaced_->setText(
      unplaced == 0 ? QString()
                    : QStringLiteral("%1 findings not shown: no time and no offset within the timeline").arg(unplaced));
}

void TAnalysisPlots::Clear() {
  *drawn_ = TDrawn{};
  for (QCPItemText* note : {unplaced_, noPCR_, noStamps_}) note->setText({});
  for (auto& [plot, state] : states_) {
    Show(state.plot, {});
    state.userRange = false;
    state.readout->setText({});
    state.tracer->setVisible(false);
    state.plot->replot(QCustomPlot::rpQueuedReplot);
  }
}

TAnalysisPlots::TNearest TAnalysisPlots::Nearest(QCustomPlot* plot, const QPointF& pixel) const {
  // From the full series: a reduced graph may lack the very point under the pointer.
  TNearest best;
  best.pixels = std::numeric_limits<double>::infinity();
  for (int g = 0; g < plot->graphCount(); ++g) {
    QCPGraph* graph = plot->graph(g);
    const TSeries* series = SeriesOf(plot, graph);
    if (!graph->visible() || series == nullptr) continue;
    double from = graph->keyAxis()->pixelToCoord(pixel.x() - kReach);
    double to = graph->keyAxis()->pixelToCoord(pixel.x() + kReach);
    if (from > to) std::swap(from, to);
    const QVector<QCPGraphData>& points = series->points;
    for (auto it = std::lower_bound(points.cbegin(), points.cend(), from, KeyBefore);
         it != points.cend() && it->key <= to; ++it) {
      const QPointF point = graph->coordsToPixels(it->key, it->value);
      const double distance = std::hypot(point.x() - pixel.x(), point.y() - pixel.y());
      if (distance < best.pixels) {
        const qsizetype index = it - points.cbegin();
        best = {graph, it->key, it->value, index < series->offsets.size() ? series->offsets[index] : -1, distance};
      }
    }
  }
  if (best.pixels > kReach) return {};
  return best;
}

int64_t TAnalysisPlots::OffsetAt(QCustomPlot* plot, const QString& series, double x) const {
  if (StateOf(plot) != nullptr) Refresh(plot);
  const TSeries* s = SeriesOf(plot, Graph(plot, series));
  if (s == nullptr || s->points.isEmpty()) return -1;
  const QVector<QCPGraphData>& points = s->points;
  auto it = std::lower_bound(points.cbegin(), points.cend(), x, KeyBefore);
  if (it == points.cend() || (it != points.cbegin() && x - (it - 1)->key < it->key - x)) --it;
  // A point stands for its bucket: a key further than a bucket from it is no point's.
  if (std::fabs(it->key - x) > std::max(span_, 1e-12)) return -1;
  const auto index = it - points.cbegin();
  return index < s->offsets.size() ? s->offsets[index] : -1;
}

void TAnalysisPlots::LegendClicked(QCustomPlot* plot, QCPAbstractLegendItem* item) {
  auto* entry = qobject_cast<QCPPlottableLegendItem*>(item);
  if (entry == nullptr) return;
  TPlotState& state = State(plot);
  QCPAbstractPlottable* plottable = entry->plottable();
  const QString name = plottable->name();
  const bool hide = state.hidden.count(name) == 0;
  if (hide)
    state.hidden.insert(name);
  else
    state.hidden.erase(name);
  if (plot == bitrate_ && stack_->isChecked()) {
    DrawBitrate();
  } else {
    plottable->setVisible(!hide);
    entry->setTextColor(hide ? Qt::gray : Qt::black);
  }
  if (hide && state.tracer->visible()) {
    state.tracer->setVisible(false);
    state.readout->setText({});
  }
  plot->replot(QCustomPlot::rpQueuedReplot);
}

QString TAnalysisPlots::ValueText(const QCustomPlot* plot, double value) const {
  if (plot == bitrate_) {
    if (!timed_) return QStringLiteral("%1 packets").arg(value, 0, 'f', 0);
    if (std::fabs(value) >= 1e6) return QStringLiteral("%1 Mbit/s").arg(value / 1e6, 0, 'f', 3);
    if (std::fabs(value) >= 1e3) return QStringLiteral("%1 kbit/s").arg(value / 1e3, 0, 'f', 3);
    return QStringLiteral("%1 bit/s").arg(value, 0, 'f', 0);
  }
  if (plot == accuracy_) return QStringLiteral("%1 ns").arg(value, 0, 'f', 0);
  return QStringLiteral("%1 ms").arg(value, 0, 'f', 3);
}

void TAnalysisPlots::MouseMoved(QCustomPlot* plot, QMouseEvent* event) {
  TPlotState& state = State(plot);
  const TNearest near = Nearest(plot, event->position());
  if (near.graph == nullptr) {
    if (!state.tracer->visible()) return;
    state.tracer->setVisible(false);
    state.readout->setText({});
  } else {
    const QString key =
        timed_ ? QStringLiteral("%1 s").arg(near.key, 0, 'f', 4) : QStringLiteral("offset %1").arg(near.key, 0, 'f', 0);
    const QString value =
        plot == errors_ ? QStringLiteral("packet at offset %1").arg(near.offset) : ValueText(plot, near.value);
    state.readout->setText(QStringLiteral("%1, %2: %3").arg(near.graph->name(), key, value));
    state.tracer->position->setCoords(near.key, near.value);
    state.tracer->setPen(near.graph->pen());
    state.tracer->setVisible(true);
  }
  plot->replot(QCustomPlot::rpQueuedReplot);
}

void TAnalysisPlots::DoubleClicked(QCustomPlot* plot, QMouseEvent* event) {
  const TNearest near = Nearest(plot, event->position());
  if (near.graph == nullptr) {
    // A double-click beside the points undoes the user's zoom.
    State(plot).userRange = false;
    Fit(plot);
    plot->replot(QCustomPlot::rpQueuedReplot);
    return;
  }
  if (near.offset >= 0) emit PacketChosen(near.offset);
}

bool TAnalysisPlots::SavePlot(const QString& path) {
  QWidget* page = currentWidget();
  if (page == nullptr) return false;
  const QList<QCustomPlot*> plots =
      page->findChildren<QCustomPlot*>() + QList<QCustomPlot*>{qobject_cast<QCustomPlot*>(page)};
  QRect area;
  std::vector<std::pair<QCustomPlot*, QPoint>> placed;
  for (QCustomPlot* plot : plots) {
    if (plot == nullptr) continue;
    const QPoint at = plot == page ? QPoint(0, 0) : plot->mapTo(page, QPoint(0, 0));
    placed.emplace_back(plot, at);
    area = area.united(QRect(at, plot->size()));
  }
  if (placed.empty() || area.isEmpty()) return false;
  const QString suffix = QFileInfo(path).suffix().toLower();
  // Written beside the target and renamed over it only when complete.
  QSaveFile file(path);
  if ((suffix != QLatin1String("png") && suffix != QLatin1String("svg")) || !file.open(QIODevice::WriteOnly))
    return false;
  bool drawn = false;
  if (suffix == QLatin1String("png")) {
    QImage image(area.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (const auto& [plot, at] : placed)
      painter.drawPixmap(at - area.topLeft(), plot->toPixmap(plot->width(), plot->height()));
    painter.end();
    drawn = image.save(&file, "PNG");
  } else {
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setSize(area.size());
    svg.setViewBox(QRect(QPoint(0, 0), area.size()));
    svg.setTitle(tabText(currentIndex()));
    QCPPainter painter;
    if (painter.begin(&svg)) {
      painter.setMode(QCPPainter::pmVectorized);
      painter.setMode(QCPPainter::pmNoCaching);
      for (const auto& [plot, at] : placed) {
        painter.save();
        painter.translate(at - area.topLeft());
        plot->toPainter(&painter, plot->width(), plot->height());
        painter.restore();
      }
      drawn = painter.end();
    }
  }
  if (!drawn) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace tessaro
