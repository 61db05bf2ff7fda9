// TReportListModel: the rows of the validation window's report list, one per
// report of a finished run: "#" counted from 1, the module's display name,
// the type name and the message, with the row colour of the type
// (lvReportCustomDrawItem).
#pragma once

#include <QAbstractTableModel>
#include <QColor>

#include <optional>
#include <string>
#include <vector>

#include "validation/CustomReport.h"

namespace tessaro {

// The background of a row by the text of its Type column; the values are the
// platform's blue-green-red colours 0xFFEEEE (Info), 0xCCFFFF (Warning) and
// 0xCCCCFF (Error). Other types keep the default.
std::optional<QColor> lvReportCustomDrawItem(const std::string& typeText);

class TReportListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kColumnCount = 4;

  using QAbstractTableModel::QAbstractTableModel;
  void SetReports(std::vector<TCustomReport> reports);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  std::vector<TCustomReport> reports_;
};

}  // namespace tessaro
