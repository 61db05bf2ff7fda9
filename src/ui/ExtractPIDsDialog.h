// TForm2, the "Extract PIDs" dialog: the seen PIDs on the left, the PIDs to
// extract on the right, moved with Add and Remove (or a double click), a
// typed PID added with Custom. Its messages go through the prompts.
#pragma once

#include <QDialog>

#include <cstdint>
#include <vector>

class QListWidget;
class QPushButton;

namespace tessaro {

class TPrompts;

class TForm2 : public QDialog {
  Q_OBJECT

 public:
  // result: filled with the chosen PIDs when the dialog closes with OK.
  TForm2(TPrompts& prompts, const std::vector<int32_t>& seenPIDs, std::vector<uint16_t>& result,
         QWidget* parent = nullptr);

  void FormShow();
  void btnAddClick();
  void btnRemoveClick();
  void btnClearClick();
  void bbtnAddCustomClick();
  void btnOKClick();
  bool IsPIDInOutputPIDs(uint16_t pid) const;

  QListWidget* lboxSeenPIDs = nullptr;
  QListWidget* lboxPIDsToExtract = nullptr;
  QPushButton* btnAdd = nullptr;
  QPushButton* btnRemove = nullptr;
  QPushButton* bbtnAddCustom = nullptr;
  QPushButton* btnClear = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* bbtnCancel = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void AddPID(QListWidget* box, uint16_t pid);

  TPrompts& prompts_;
  const std::vector<int32_t>& seenPIDs_;
  std::vector<uint16_t>& result_;
};

// Shows the dialog modally; true only when it closed with OK.
bool ExecuteExtractPIDs(QWidget* parent, TPrompts& prompts, const std::vector<int32_t>& seenPIDs,
                        std::vector<uint16_t>& result);

}  // namespace tessaro
