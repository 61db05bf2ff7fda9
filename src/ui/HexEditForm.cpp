#include "ui/HexEditForm.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "core/Diagnostics.h"
#include "ui/Prompts.h"

namespace tessaro {
namespace {

constexpr const char* kConfirmSave =
    "This action will permanently change the file content. Are you sure you want to save all changes?";

// Byte cells are edited with the mask ">NN": two letters or digits, shown in
// upper case. Changed cells are drawn white on red.
class THexCellDelegate : public QStyledItemDelegate {
 public:
  explicit THexCellDelegate(THexEditForm& form) : QStyledItemDelegate(&form), form_(form) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
    auto* editor = new QLineEdit(parent);
    editor->setInputMask(">NN");
    editor->setFrame(false);
    return editor;
  }
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    const QString text = static_cast<QLineEdit*>(editor)->text();
    form_.StringGrid1SetEditText(index.column(), index.row(), text.leftJustified(2, ' ').toStdString());
  }
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!form_.Model().IsChanged(index.column(), index.row())) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    painter->fillRect(option.rect, QColor(0xFF, 0x00, 0x00));
    painter->setPen(Qt::white);
    painter->drawText(option.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, index.data().toString());
  }

 private:
  THexEditForm& form_;
};

}  // namespace

THexEditForm::THexEditForm(TFileStream& stream, const std::string& captionSuffix, int64_t offset, int64_t length,
                           TPrompts& prompts, QWidget* parent)
    : QDialog(parent), stream_(stream), prompts_(prompts) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  StringGrid1 = new QTableWidget(this);
  StringGrid1->setColumnCount(THexEditModel::kColumns);
  StringGrid1->horizontalHeader()->hide();
  StringGrid1->verticalHeader()->hide();
  StringGrid1->horizontalHeader()->setDefaultSectionSize(24);
  StringGrid1->horizontalHeader()->setMinimumSectionSize(20);
  StringGrid1->setShowGrid(true);
  StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
  StringGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed);
  StringGrid1->setItemDelegate(new THexCellDelegate(*this));
  QFont font("Courier New");
  font.setStyleHint(QFont::TypeWriter);
  StringGrid1->setFont(font);
  // Every row is one line: the character column is as wide as its 16
  // characters need and never wraps them.
  StringGrid1->setWordWrap(false);
  StringGrid1->setTextElideMode(Qt::ElideNone);
  const QFontMetrics metrics(font);
  StringGrid1->setColumnWidth(THexEditModel::kCharColumn,
                              std::max(120, metrics.horizontalAdvance(QString(16, QLatin1Char('W'))) + 12));
  StringGrid1->setColumnWidth(0, 180);
  StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGrid1->verticalHeader()->setDefaultSectionSize(metrics.height() + 6);
  bbtnOK = new QPushButton("Save Changes", this);
  bbtnCancel = new QPushButton("Cancel", this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(bbtnOK);
  buttons->addWidget(bbtnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(StringGrid1);
  layout->addLayout(buttons);
  model_.Load(stream_, offset, length);
  FillGrid();
  // The grid shows its columns and, up to a screenful, its rows whole.
  int width = 2 * StringGrid1->frameWidth() + StringGrid1->verticalScrollBar()->sizeHint().width();
  for (int column = 0; column < THexEditModel::kColumns; ++column) width += StringGrid1->columnWidth(column);
  const int rows = std::min(model_.RowCount(), 32);
  StringGrid1->setMinimumSize(width, 2 * StringGrid1->frameWidth() + rows * (metrics.height() + 6) + 1);
  adjustSize();
  setWindowTitle(QString::fromStdString("Hex Edit" + captionSuffix));
  connect(bbtnOK, &QPushButton::clicked, this, [this] { bbtnOKClick(); });
  connect(bbtnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(StringGrid1, &QTableWidget::currentCellChanged, this,
          [this](int row, int column, int, int) { StringGrid1SelectCell(column, row); });
  QApplication::restoreOverrideCursor();
}

void THexEditForm::FillGrid() {
  StringGrid1->setRowCount(model_.RowCount());
  const QColor fixed = palette().color(QPalette::Button);
  for (int row = 0; row < model_.RowCount(); ++row) {
    for (int column = 0; column < THexEditModel::kColumns; ++column) {
      auto* item = new QTableWidgetItem(QString::fromLatin1(model_.CellText(column, row).c_str()));
      Qt::ItemFlags flags = Qt::ItemIsEnabled;
      if (model_.Selectable(column, row)) flags |= Qt::ItemIsSelectable | Qt::ItemIsEditable;
      item->setFlags(flags);
      if (row == 0 || column == 0) item->setBackground(fixed);
      StringGrid1->setItem(row, column, item);
    }
  }
}

void THexEditForm::UpdateRow(int row) {
  GuardedVoid("THexEditForm.UpdateRow", [&] {
    for (int column = 1; column < THexEditModel::kColumns; ++column)
      StringGrid1->item(row, column)->setText(QString::fromLatin1(model_.CellText(column, row).c_str()));
  });
}

void THexEditForm::StringGrid1SetEditText(int column, int row, const std::string& text) {
  model_.SetEditText(column, row, text);
  UpdateRow(row);
  StringGrid1->viewport()->update();
}

void THexEditForm::StringGrid1SelectCell(int column, int row) {
  if (lastRow_ >= 0) {
    model_.TidyCell(lastColumn_, lastRow_);
    UpdateRow(lastRow_);
  }
  if (model_.Selectable(column, row)) {
    lastColumn_ = column;
    lastRow_ = row;
  }
}

void THexEditForm::bbtnOKClick() {
  GuardedVoid("THexEditForm.bbtnOKClick", [&] {
    if (model_.ChangedCells().empty()) {
      prompts_.ShowMessage("No changes to be saved.");
    } else if (prompts_.AskYesNo(kConfirmSave)) {
      const THexSaveResult saved = model_.SaveChanges(stream_);
      if (!saved.ok) prompts_.ShowMessage(saved.message);
    }
  });
  accept();
}

bool EditFile(TFileStream* stream, const std::string& captionSuffix, int64_t offset, int64_t length, TPrompts& prompts,
              QWidget* parent) {
  if (stream == nullptr) {
    DebugOutput("zrk: Error in EditFile - invalid filestream.");
    return false;
  }
  THexEditForm form(*stream, captionSuffix, offset, length, prompts, parent);
  return prompts.RunDialog(form) == QDialog::Accepted;
}

}  // namespace tessaro
