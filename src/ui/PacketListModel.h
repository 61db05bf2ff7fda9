// The packet list's model: the browser's page of rows, with every text
// computed on demand (the list asks only for the rows it shows).
#pragma once

#include <QAbstractTableModel>

#include "browser/StreamBrowser.h"

namespace tessaro {

class TPacketListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit TPacketListModel(const TStreamBrowser& browser, QObject* parent = nullptr)
      : QAbstractTableModel(parent), browser_(browser) {}

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // The browser loaded another page (or none).
  void PageChanged();

 private:
  const TStreamBrowser& browser_;
  int shownRows_ = 0;
};

}  // namespace tessaro
