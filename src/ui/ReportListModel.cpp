#include "ui/ReportListModel.h"

#include <array>
#include <utility>

#include "core/Diagnostics.h"
#include "validation/ReportNames.h"

namespace tessaro {
namespace {

QColor FromBlueGreenRed(uint32_t value) {
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

QString Latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::optional<QColor> lvReportCustomDrawItem(const std::string& typeText) {
  return Guarded("TMediaValidationForm.lvReportCustomDrawItem", std::optional<QColor>(),
                 [&]() -> std::optional<QColor> {
                   if (typeText == "Info") return FromBlueGreenRed(0xFFEEEE);
                   if (typeText == "Warning") return FromBlueGreenRed(0xCCFFFF);
                   if (typeText == "Error") return FromBlueGreenRed(0xCCCCFF);
                   return std::nullopt;
                 });
}

void TReportListModel::SetReports(std::vector<TCustomReport> reports) {
  beginResetModel();
  reports_ = std::move(reports);
  endResetModel();
}

int TReportListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(reports_.size());
}

int TReportListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant TReportListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(reports_.size())) return {};
  const TCustomReport& report = reports_[static_cast<size_t>(index.row())];
  if (role == Qt::BackgroundRole) {
    const std::optional<QColor> colour = lvReportCustomDrawItem(ReportTypeName(report.ReportType));
    return colour ? QVariant(*colour) : QVariant();
  }
  // A message may be longer than its column: the tooltip holds it whole.
  if (role == Qt::ToolTipRole) return index.column() == 3 ? Latin1(report.Message) : QVariant();
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case 0:
      return QString::number(index.row() + 1);
    case 1:
      return Latin1(ModuleName(report.ModuleId));
    case 2:
      return Latin1(ReportTypeName(report.ReportType));
    case 3:
      return Latin1(report.Message);
    default:
      return {};
  }
}

QVariant TReportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  static const std::array<const char*, kColumnCount> kCaptions{"#", "Module", "Type", "Message"};
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount) return {};
  return kCaptions[static_cast<size_t>(section)];
}

}  // namespace tessaro
