// Tools > Validation of the main window: the validation window over the open
// file, with the module found beside the program when the window was first
// shown (FValidatorPath); without one the menu item is disabled and says
// where the module was looked for.
#include <QAction>

#include <filesystem>

#include "ui/MainWindow.h"
#include "ui/MediaValidationForm.h"
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
  ShowMediaValidation(FValidatorPath, FBrowser.FileName(), *FPrompts, this);
}

}  // namespace tessaro
