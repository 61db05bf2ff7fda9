// Tools > Stream Analysis of the main window: the analysis window over the
// open file, kept while the file stays open (reopened, it shows its last
// result), and the way from a PID or a plot point to its packet.
#include "ui/MainWindow.h"
#include "ui/StreamAnalysisWindow.h"

namespace tessaro {

void TForm1::StreamAnalysis1Click() {
  if (!FBrowser.IsLoaded() || FBrowser.RowCount() == 0) {
    FPrompts->ShowMessage("No file loaded.");
    return;
  }
  if (FAnalysisForm == nullptr) {
    FAnalysisForm = new TStreamAnalysisForm(*FPrompts, this);
    connect(FAnalysisForm, &TStreamAnalysisForm::PacketChosen, this, [this](qint64 offset) {
      ShowFinding(offset);
      raise();
      activateWindow();
    });
  }
  FAnalysisForm->SetFindings(FValidationFile == FBrowser.FileName() ? FValidationReports
                                                                    : std::vector<TCustomReport>{});
  FAnalysisForm->Open(FBrowser.FileName());
}

void TForm1::CloseStreamAnalysis() {
  if (FAnalysisForm != nullptr) FAnalysisForm->close();
}

}  // namespace tessaro
