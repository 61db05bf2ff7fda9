// TAnalysisPlots: the stream analysis figures drawn over time, one tab each
// for the bitrate, the PCR and the timestamps. This is a stand-in with empty
// tabs that keeps the interface of the plotting widget until that one is in.
#pragma once

#include <QString>
#include <QTabWidget>

#include <cstdint>

#include "analysis/StreamAnalysis.h"

class QCustomPlot;

namespace tessaro {

class TAnalysisPlots : public QTabWidget {  // tabs "Bitrate", "PCR", "Timestamps"
  Q_OBJECT
 public:
  explicit TAnalysisPlots(QWidget* parent = nullptr);
  void SetAnalysis(const TStreamAnalysis& analysis);  // redraw; called again while the pass runs
  void Clear();
  bool SavePlot(const QString& path);  // current tab as PNG or SVG by suffix; false when not written
  int64_t OffsetAt(QCustomPlot* plot, const QString& series, double x) const;
  QCustomPlot* BitratePlot() const;
  QCustomPlot* IntervalPlot() const;
  QCustomPlot* AccuracyPlot() const;
  QCustomPlot* TimestampPlot() const;
 signals:
  void PacketChosen(qint64 offset);
};

}  // namespace tessaro
