#include "ui/PacketListModel.h"

namespace tessaro {

int TPacketListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows_; }

int TPacketListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant TPacketListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  return QString::fromStdString(browser_.RowText(index.row(), static_cast<TColumn>(index.column())));
}

QVariant TPacketListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
  return QString(kColumnNames[static_cast<size_t>(section)]);
}

void TPacketListModel::PageChanged() {
  // A page of as many rows as the last one only changes texts: the view
  // repaints without laying itself out again.
  const int rows = browser_.RowCount();
  if (rows == shownRows_ && rows > 0) {
    emit dataChanged(index(0, 0), index(rows - 1, kColumnCount - 1), {Qt::DisplayRole});
    return;
  }
  beginResetModel();
  shownRows_ = rows;
  endResetModel();
}

}  // namespace tessaro
