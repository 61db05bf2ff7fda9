// The stand-in plots widget: three empty tabs; a saved plot is a picture of
// the widget.
#include "ui/AnalysisPlots.h"

#include <QPixmap>
#include <QWidget>

namespace tessaro {

TAnalysisPlots::TAnalysisPlots(QWidget* parent) : QTabWidget(parent) {
  for (const char* name : {"Bitrate", "PCR", "Timestamps"}) addTab(new QWidget(this), name);
}

void TAnalysisPlots::SetAnalysis(const TStreamAnalysis&) {}

void TAnalysisPlots::Clear() {}

bool TAnalysisPlots::SavePlot(const QString& path) { return grab().save(path, "PNG"); }

int64_t TAnalysisPlots::OffsetAt(QCustomPlot*, const QString&, double) const { return -1; }

QCustomPlot* TAnalysisPlots::BitratePlot() const { return nullptr; }
QCustomPlot* TAnalysisPlots::IntervalPlot() const { return nullptr; }
QCustomPlot* TAnalysisPlots::AccuracyPlot() const { return nullptr; }
QCustomPlot* TAnalysisPlots::TimestampPlot() const { return nullptr; }

}  // namespace tessaro
