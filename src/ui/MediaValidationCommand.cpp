// Tools > Validation of the main window: the validation window over the open
// file, with the module found beside the program when the window was first
// shown (FValidatorPath; without one the menu item is disabled and says
// where the module was looked for), and the way from one of its findings to
// its packet.
#include <QAction>
#include <QCoreApplication>

#include <algorithm>
#include <filesystem>

#include "ui/MainWindow.h"
#include "ui/MediaValidationForm.h"
#include "ui/StreamAnalysisWindow.h"
#include "validation/ValidatorModule.h"

namespace tessaro {

void TForm1::FindValidatorPath(const std::string& programFolder) {
  FValidatorPath = FindValidatorModule(programFolder);
  Validation1->setEnabled(!FValidatorPath.empty());
  if (!FValidatorPath.empty()) {
    Validation1->setToolTip({});
    return;
  }
  const std::filesystem::path folder(programFolder);
  const std::string beside = (folder / kValidatorModuleFile).lexically_normal().string();
  const std::string installed = (folder / ".." / "lib" / "tessaro" / kValidatorModuleFile).lexically_normal().string();
  Validation1->setToolTip(QString::fromStdString("No validation module: neither " + beside + " nor " + installed +
                                                 " was found when the program started."));
}

void TForm1::Validation1Click() {
  if (!FBrowser.IsLoaded() || FBrowser.RowCount() == 0) {
    FPrompts->ShowMessage("No file loaded.");
    return;
  }
  // A module that does not load shows nothing; the reason is a diagnostic line.
  ShowMediaValidation(
      FValidatorPath, FBrowser.FileName(), *FPrompts, this, [this](int64_t offset) { ShowFinding(offset); },
      [this](const std::vector<TCustomReport>& reports) {
        FValidationReports = reports;
        FValidationFile = FBrowser.FileName();
        if (FAnalysisForm != nullptr) FAnalysisForm->SetFindings(reports);
      });
}

void TForm1::ShowFinding(int64_t offset) {
  if (!FBrowser.IsLoaded()) return;
  FBrowser.SetVisibleRows(ListView1->VisibleRowCount());
  if (!FBrowser.SelectPacket(offset)) {
    // No packet there any more (the file changed): the page the scroll bar
    // shows for that place.
    FBrowser.ScrollPaging((offset - FBrowser.StartOffset()) / std::max(FBrowser.PacketSize(), 1));
    ShowPage();
    SelectRow(0);
    RefreshSelectedPacket();
    return;
  }
  ShowPage();
  for (int row = 0; row < FBrowser.RowCount(); ++row)
    if (FBrowser.Row(row).Offset == offset) SelectRow(row);
  RefreshTSPacket(offset);
}

}  // namespace tessaro
