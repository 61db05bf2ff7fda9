// THexEditForm ("Hex Edit"): a byte range of the open file in an editable
// grid of 18 columns, changed bytes white on red, "Save Changes" writing them
// back into the file in place. The grid only draws: THexEditModel decides.
#pragma once

#include <QDialog>

#include <string>

#include "hex/HexEdit.h"

class QTableWidget;
class QPushButton;

namespace tessaro {

class TPrompts;

class THexEditForm : public QDialog {
  Q_OBJECT

 public:
  THexEditForm(TFileStream& stream, const std::string& captionSuffix, int64_t offset, int64_t length, TPrompts& prompts,
               QWidget* parent = nullptr);

  QTableWidget* Grid() const { return StringGrid1; }
  QPushButton* SaveButton() const { return bbtnOK; }
  const THexEditModel& Model() const { return model_; }

  // What typing text into a byte cell does (the grid's editor calls it).
  void StringGrid1SetEditText(int column, int row, const std::string& text);
  void bbtnOKClick();

 private:
  void FillGrid();
  void UpdateRow(int row);
  void StringGrid1SelectCell(int column, int row);

  TFileStream& stream_;
  TPrompts& prompts_;
  THexEditModel model_;
  QTableWidget* StringGrid1 = nullptr;
  QPushButton* bbtnOK = nullptr;
  QPushButton* bbtnCancel = nullptr;
  int lastColumn_ = -1;
  int lastRow_ = -1;
};

// Shows the dialog modally over the range of the stream (through the
// prompts); true when it closed with OK. Without a stream: a diagnostic, false.
bool EditFile(TFileStream* stream, const std::string& captionSuffix, int64_t offset, int64_t length, TPrompts& prompts,
              QWidget* parent);

}  // namespace tessaro
