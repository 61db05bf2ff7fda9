#include "ui/PacketListModel.h"

namespace tessaro {

int TPacketListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : browser_.RowCount(); }

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
  beginResetModel();
  endResetModel();
}

}  // namespace tessaro
