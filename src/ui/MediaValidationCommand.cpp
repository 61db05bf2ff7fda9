// Tools > Validation of the main window: the validation window over the open
// file, with the module found beside the program when the window was first
// shown (FValidatorPath).
#include <QCoreApplication>

#include "ui/MainWindow.h"
#include "ui/MediaValidationForm.h"
#include "validation/ValidatorModule.h"

namespace tessaro {

void TForm1::FindValidatorPath() {
  FValidatorPath = FindValidatorModule(QCoreApplication::applicationDirPath().toStdString());
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
