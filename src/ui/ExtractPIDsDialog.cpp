#include "ui/ExtractPIDsDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>

#include "browser/PIDText.h"
#include "core/Diagnostics.h"
#include "ui/Prompts.h"

namespace tessaro {
namespace {

QString EntryText(uint16_t pid) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%.4x", pid);
  return QString::fromLatin1(text);
}

uint16_t EntryPID(const QListWidgetItem* item) { return static_cast<uint16_t>(item->data(Qt::UserRole).toUInt()); }

}  // namespace

TForm2::TForm2(TPrompts& prompts, const std::vector<int32_t>& seenPIDs, std::vector<uint16_t>& result, QWidget* parent)
    : QDialog(parent), prompts_(prompts), seenPIDs_(seenPIDs), result_(result) {
  setWindowTitle("Extract PIDs");
  auto* layout = new QGridLayout(this);
  lboxSeenPIDs = new QListWidget(this);
  lboxPIDsToExtract = new QListWidget(this);
  btnAdd = new QPushButton("Add", this);
  btnRemove = new QPushButton("Remove", this);
  bbtnAddCustom = new QPushButton("Custom", this);
  btnClear = new QPushButton("Clear", this);
  btnOK = new QPushButton("OK", this);
  bbtnCancel = new QPushButton("Cancel", this);
  btnOK->setDefault(true);
  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {btnAdd, btnRemove, bbtnAddCustom, btnClear}) buttons->addWidget(button);
  buttons->addStretch(1);
  buttons->addWidget(btnOK);
  buttons->addWidget(bbtnCancel);
  layout->addWidget(new QLabel("Seen PIDs", this), 0, 0);
  layout->addWidget(new QLabel("PIDs to extract", this), 0, 2);
  layout->addWidget(lboxSeenPIDs, 1, 0);
  layout->addLayout(buttons, 1, 1);
  layout->addWidget(lboxPIDsToExtract, 1, 2);

  connect(btnAdd, &QPushButton::clicked, this, &TForm2::btnAddClick);
  connect(lboxSeenPIDs, &QListWidget::itemDoubleClicked, this, &TForm2::btnAddClick);
  connect(btnRemove, &QPushButton::clicked, this, &TForm2::btnRemoveClick);
  connect(lboxPIDsToExtract, &QListWidget::itemDoubleClicked, this, &TForm2::btnRemoveClick);
  connect(bbtnAddCustom, &QPushButton::clicked, this, &TForm2::bbtnAddCustomClick);
  connect(btnClear, &QPushButton::clicked, this, &TForm2::btnClearClick);
  connect(btnOK, &QPushButton::clicked, this, &TForm2::btnOKClick);
  connect(bbtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm2::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TForm2::AddPID(QListWidget* box, uint16_t pid) {
  auto* item = new QListWidgetItem(EntryText(pid), box);
  item->setData(Qt::UserRole, pid);
}

void TForm2::FormShow() {
  GuardedVoid("TForm2.FormShow", [&] {
    lboxSeenPIDs->clear();
    for (int32_t pid : seenPIDs_) AddPID(lboxSeenPIDs, static_cast<uint16_t>(pid));
  });
}

bool TForm2::IsPIDInOutputPIDs(uint16_t pid) const {
  return Guarded("TForm2.IsPIDInOutputPIDs", false, [&] {
    for (int i = 0; i < lboxPIDsToExtract->count(); ++i)
      if (EntryPID(lboxPIDsToExtract->item(i)) == pid) return true;
    return false;
  });
}

void TForm2::btnAddClick() {
  GuardedVoid("TForm2.btnAddClick", [&] {
    const QListWidgetItem* item = lboxSeenPIDs->currentItem();
    if (item == nullptr || !item->isSelected() || IsPIDInOutputPIDs(EntryPID(item))) return;
    AddPID(lboxPIDsToExtract, EntryPID(item));
  });
}

void TForm2::btnRemoveClick() {
  GuardedVoid("TForm2.btnRemoveClick", [&] {
    QListWidgetItem* item = lboxPIDsToExtract->currentItem();
    if (item != nullptr && item->isSelected()) delete item;
  });
}

void TForm2::btnClearClick() {
  GuardedVoid("TForm2.btnClearClick", [&] { lboxPIDsToExtract->clear(); });
}

void TForm2::bbtnAddCustomClick() {
  GuardedVoid("TForm2.bbtnAddCustomClick", [&] {
    const std::optional<std::string> text =
        prompts_.InputQuery("Add custom PID", "Enter valid PID (0x0000-0x1FFF)", "0x0000");
    if (!text) return;
    uint16_t pid = 0;
    if (const std::optional<std::string> message = CheckPIDText(*text, pid)) {
      prompts_.ShowMessage(*message);
      return;
    }
    if (!IsPIDInOutputPIDs(pid)) AddPID(lboxPIDsToExtract, pid);
  });
}

void TForm2::btnOKClick() {
  GuardedVoid("TForm2.btnOKClick", [&] {
    result_.clear();
    for (int i = 0; i < lboxPIDsToExtract->count(); ++i) result_.push_back(EntryPID(lboxPIDsToExtract->item(i)));
    accept();
  });
}

bool ExecuteExtractPIDs(QWidget* parent, TPrompts& prompts, const std::vector<int32_t>& seenPIDs,
                        std::vector<uint16_t>& result) {
  TForm2 dialog(prompts, seenPIDs, result, parent);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace tessaro
