// The main window's status bar: the slot size, the selected packet's number
// out of the file's packets, its offset and the file size, kept beside the
// messages the window shows there.
#include <QLabel>
#include <QStatusBar>

#include "browser/StreamPosition.h"
#include "core/TextHelpers.h"
#include "ui/MainWindow.h"

namespace tessaro {

void TForm1::BuildStatusBar() {
  for (int i = 0; i < 4; ++i) {
    auto* field = new QLabel(statusBar());
    statusBar()->addPermanentWidget(field);
    FStatusFields.push_back(field);
  }
  connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateStatus(); });
}

void TForm1::UpdateStatus() {
  if (FStatusFields.empty()) return;
  std::array<std::string, 4> texts;
  if (FBrowser.IsLoaded()) {
    const TSlotLayout layout{FBrowser.FileSize(), FBrowser.PacketSize(), FBrowser.StartOffset()};
    texts[0] = SlotSizeText(layout.packetSize);
    const int row = SelectedRow();
    if (row >= 0 && row < FBrowser.RowCount()) {
      const int64_t offset = FBrowser.Row(row).Offset;
      texts[1] = PacketPositionText(layout, offset);
      texts[2] = "0x" + HexDigits(static_cast<uint64_t>(offset), 16);
    }
    texts[3] = FileSizeText(layout.fileSize);
  }
  for (size_t i = 0; i < texts.size(); ++i) {
    const QString text = QString::fromStdString(texts[i]);
    // An unchanged text is not set again: each key would repaint the bar.
    if (FStatusFields[i]->text() != text) FStatusFields[i]->setText(text);
    FStatusFields[i]->setVisible(!text.isEmpty());
  }
}

QStringList TForm1::StatusFields() const {
  QStringList fields;
  for (const QLabel* field : FStatusFields) fields.push_back(field->text());
  return fields;
}

}  // namespace tessaro
