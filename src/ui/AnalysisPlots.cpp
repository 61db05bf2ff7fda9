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
  unplaced_ = new QCPItemText(errors_);
  unplaced_->position->setType(QCPItemPosition::ptAxisRectRatio);
  unplaced_->position->setCoords(0.99, 0.01);
  unplaced_->setPositionAlignment(Qt::AlignRight | Qt::AlignTop);
  unplaced_->setText({});

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

QCustomPlot* TAnalysisPlots::MakePlot(const QString& valueLabel) {
  auto* plot = new QCustomPlot;
  plot->setMinimumSize(320, 200);
  plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  plot->setNoAntialiasingOnDrag(true);
  // Thousands of points a line: antialiased strokes cost the raster engine
  // ten times as much as plain ones, too much to redraw while a pass runs.
  plot->setPlottingHint(QCP::phFastPolylines, true);
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
    state.offsets.clear();
    plot->clearGraphs();
  }
  for (size_t i = 0; i < series.size(); ++i) {
    const TSeries& s = *series[i];
    QCPGraph* graph = same ? plot->graph(static_cast<int>(i)) : plot->addGraph();
    if (!same) {
      graph->setName(s.name);
      graph->setPen(QPen(SeriesColor(i), 1));
    }
    graph->setBrush(Qt::NoBrush);
    graph->setChannelFillGraph(nullptr);
    // Shared with the series, not copied.
    graph->data()->set(s.points, true);
    state.offsets[graph] = s.offsets;
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

void TAnalysisPlots::Refresh(QCustomPlot* plot) const {
  // A plot drawn late is still the same plot: callers asking about it see it
  // as it would be on screen.
  if (drawn_->stale.count(plot) != 0) const_cast<TAnalysisPlots*>(this)->Update(plot, true);
}

void TAnalysisPlots::Fit(QCustomPlot* plot) {
  TPlotState& state = State(plot);
  if (state.userRange) return;
  state.fitting = true;
  bool any = false;
  for (int i = 0; i < plot->graphCount(); ++i)
    any = any || (plot->graph(i)->visible() && !plot->graph(i)->data()->isEmpty());
  if (any) {
    plot->rescaleAxes(true);
    // The limits stay in sight, so a reader sees how far the values are from them.
    QCPRange values = plot->yAxis->range();
    for (double limit : state.limits) values.expand(QCPRange(0, limit * 1.2));
    if (values.size() == 0) values = QCPRange(values.lower - 1, values.upper + 1);
    values = QCPRange(values.lower - values.size() * 0.05, values.upper + values.size() * 0.05);
    plot->yAxis->setRange(values);
    if (plot->xAxis->range().size() == 0)
      plot->xAxis->setRange(plot->xAxis->range().lower - std::max(span_, 1e-9),
                            plot->xAxis->range().upper + std::max(span_, 1e-9));
  }
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
  d.rowKeys.clear();
  d.rowOffsets.clear();
  auto keyOf = [timed](const TTimelineRow& row) {
    return timed ? row.time.value_or(0) : static_cast<double>(row.offset);
  };
  // A bucket's bitrate; a stream without PCRs counts packets per span of bytes.
  const double scale = timed && span > 0 ? kPacketBits / span : 1.0;

  // Bitrate: every PID and every group on every row, zero where it has no packet.
  std::vector<int32_t> slot(kPIDs, -1);
  std::vector<int32_t> pids;
  for (const TTimelineRow& row : t.rows)
    for (const TTimelinePID& p : row.pids)
      if (p.pid >= 0 && p.pid < kPIDs && slot[static_cast<size_t>(p.pid)] < 0) {
        slot[static_cast<size_t>(p.pid)] = 0;
        pids.push_back(p.pid);
      }
  std::sort(pids.begin(), pids.end());
  for (size_t i = 0; i < pids.size(); ++i) slot[static_cast<size_t>(pids[i])] = static_cast<int32_t>(i);

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
  std::vector<qsizetype> rowPoint(rows);
  for (size_t r = 0; r < rows; ++r) {
    const double key = keyOf(t.rows[r]);
    if (timed && r > 0) {
      const double previous = keyOf(t.rows[r - 1]);
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
  auto blank = [&](const QString& name) {
    TSeries s;
    s.name = name;
    s.points = frame;
    s.offsets = frameOffsets;
    // Written below: a copy of its own now rather than at each row.
    s.points.detach();
    s.offsets.detach();
    return s;
  };
  d.pidRates.clear();
  d.pidRates.reserve(pids.size());
  for (int32_t pid : pids) d.pidRates.push_back(blank(PIDName(pid)));
  d.totalRate = blank(QString::fromUtf8(kTotal));
  d.serviceRates.clear();
  for (const QString& name : groupNames) d.serviceRates.push_back(blank(name));
  std::vector<bool> groupUsed(groupNames.size(), false);

  // By the PID's place in pids; stamps: PTS then DTS of each.
  std::vector<TSeries> intervals(pids.size());
  std::vector<TSeries> accuracies(pids.size());
  std::vector<TSeries> stamps(pids.size() * 2);
  auto add = [rows](TSeries& s, double key, double value, int64_t offset) {
    if (s.points.isEmpty()) {
      // At most two points a row: grown once, not point by point.
      s.points.reserve(static_cast<qsizetype>(rows) * 2);
      s.offsets.reserve(static_cast<qsizetype>(rows) * 2);
    }
    s.points.push_back(QCPGraphData(key, value));
    s.offsets.push_back(offset);
  };

  for (size_t r = 0; r < rows; ++r) {
    const TTimelineRow& row = t.rows[r];
    const double key = keyOf(row);
    d.rowKeys.push_back(key);
    d.rowOffsets.push_back(row.offset);
    const qsizetype at = rowPoint[r];
    for (TSeries& s : d.serviceRates) s.offsets[at] = -1;
    for (const TTimelinePID& p : row.pids) {
      if (p.pid < 0 || p.pid >= kPIDs) continue;
      const int64_t first = p.offset >= 0 ? p.offset : row.offset;
      const double rate = static_cast<double>(p.packets) * scale;
      const auto place = static_cast<size_t>(slot[static_cast<size_t>(p.pid)]);
      TSeries& own = d.pidRates[place];
      own.points[at].value = rate;
      own.offsets[at] = first;
      d.totalRate.points[at].value += rate;
      const int32_t g = group[static_cast<size_t>(p.pid)] < 0 ? other : group[static_cast<size_t>(p.pid)];
      TSeries& service = d.serviceRates[static_cast<size_t>(g)];
      service.points[at].value += rate;
      if (p.packets > 0) groupUsed[static_cast<size_t>(g)] = true;
      if (service.offsets[at] < 0 || first < service.offsets[at]) service.offsets[at] = first;

      if (p.intervalMax) {
        TSeries& s = intervals[place];
        add(s, key, *p.intervalMax * 1e3, p.intervalOffset >= 0 ? p.intervalOffset : first);
      }
      if (p.accuracyMin || p.accuracyMax) {
        TSeries& s = accuracies[place];
        add(s, key, Worst(p) * 1e9, p.accuracyOffset >= 0 ? p.accuracyOffset : first);
      }
      // The range of a bucket as two points on one key: a vertical stroke.
      auto range = [&](size_t kind, const std::optional<double>& low, const std::optional<double>& high) {
        if (!low || !high) return;
        TSeries& s = stamps[place * 2 + kind];
        add(s, key, *low * 1e3, first);
        if (*high != *low) add(s, key, *high * 1e3, first);
      };
      range(0, p.ptsPCRMin, p.ptsPCRMax);
      range(1, p.dtsPCRMin, p.dtsPCRMax);
    }
    for (TSeries& s : d.serviceRates)
      if (s.offsets[at] < 0) s.offsets[at] = row.offset;
  }
  // Services the timeline has no packet of yet are left out of the stack.
  std::vector<TSeries> used;
  for (size_t g = 0; g < d.serviceRates.size(); ++g)
    if (groupUsed[g]) used.push_back(std::move(d.serviceRates[g]));
  d.serviceRates = std::move(used);

  // The PIDs that have points, named.
  auto named = [](std::vector<TSeries>& list, auto name) {
    std::vector<TSeries> kept;
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i].points.isEmpty()) continue;
      list[i].name = name(i);
      kept.push_back(std::move(list[i]));
    }
    return kept;
  };
  d.intervals = named(intervals, [&](size_t i) { return d.pidRates[i].name; });
  d.accuracies = named(accuracies, [&](size_t i) { return d.pidRates[i].name; });
  d.stamps = named(stamps, [&](size_t i) {
    return d.pidRates[i / 2].name + (i % 2 == 0 ? QStringLiteral(" PTS") : QStringLiteral(" DTS"));
  });
  // Only the tab in sight is drawn now: a pass redraws often, and the
  // other tabs are drawn when they are shown.
  for (auto& [plot, state] : states_) Update(state.plot, false);
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
  unplaced_->setText({});
  for (auto& [plot, state] : states_) {
    Show(state.plot, {});
    state.userRange = false;
    state.readout->setText({});
    state.tracer->setVisible(false);
    state.plot->replot(QCustomPlot::rpQueuedReplot);
  }
}

TAnalysisPlots::TNearest TAnalysisPlots::Nearest(QCustomPlot* plot, const QPointF& pixel) const {
  TNearest best;
  best.pixels = std::numeric_limits<double>::infinity();
  for (int g = 0; g < plot->graphCount(); ++g) {
    QCPGraph* graph = plot->graph(g);
    if (!graph->visible() || graph->data()->isEmpty()) continue;
    double from = graph->keyAxis()->pixelToCoord(pixel.x() - kReach);
    double to = graph->keyAxis()->pixelToCoord(pixel.x() + kReach);
    if (from > to) std::swap(from, to);
    const auto data = graph->data();
    for (auto it = data->findBegin(from, false); it != data->constEnd() && it->key <= to; ++it) {
      const QPointF point = graph->coordsToPixels(it->key, it->value);
      const double distance = std::hypot(point.x() - pixel.x(), point.y() - pixel.y());
      if (distance < best.pixels) {
        best = {graph, static_cast<int>(it - data->constBegin()), distance};
      }
    }
  }
  if (best.pixels > kReach) return {};
  return best;
}

int64_t TAnalysisPlots::OffsetAt(QCustomPlot* plot, const QString& series, double x) const {
  const TPlotState* state = StateOf(plot);
  if (state != nullptr) Refresh(plot);
  QCPGraph* graph = Graph(plot, series);
  if (state == nullptr || graph == nullptr || graph->data()->isEmpty()) return -1;
  const auto found = state->offsets.find(graph);
  if (found == state->offsets.end()) return -1;
  const auto data = graph->data();
  auto it = data->findBegin(x, false);
  if (it == data->constEnd() || (it != data->constBegin() && x - (it - 1)->key < it->key - x)) --it;
  // A point stands for its bucket: a key further than a bucket from it is no point's.
  if (std::fabs(it->key - x) > std::max(span_, 1e-12)) return -1;
  const auto index = it - data->constBegin();
  return index < found->second.size() ? found->second[index] : -1;
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
    const QCPGraphData& point = *(near.graph->data()->constBegin() + near.index);
    const QString key = timed_ ? QStringLiteral("%1 s").arg(point.key, 0, 'f', 4)
                               : QStringLiteral("offset %1").arg(point.key, 0, 'f', 0);
    const QString value = plot == errors_
                              ? QStringLiteral("packet at offset %1").arg(OffsetAt(plot, near.graph->name(), point.key))
                              : ValueText(plot, point.value);
    state.readout->setText(QStringLiteral("%1, %2: %3").arg(near.graph->name(), key, value));
    state.tracer->position->setCoords(point.key, point.value);
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
  const double key = (near.graph->data()->constBegin() + near.index)->key;
  const int64_t offset = OffsetAt(plot, near.graph->name(), key);
  if (offset >= 0) emit PacketChosen(offset);
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
