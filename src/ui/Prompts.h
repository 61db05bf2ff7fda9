// Every modal interaction of the window goes through TPrompts: message and
// input boxes, confirmations, file dialogs and the PID picker. The window
// shows Qt dialogs (TQtPrompts); the tests answer from a script and read
// every text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QDialog;
class QWidget;

namespace tessaro {

class TPrompts {
 public:
  virtual ~TPrompts() = default;
  // A message box with the program's caption and an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // An information box with its own caption.
  virtual void ShowInformation(const std::string& caption, const std::string& text) = 0;
  // An input box; nullopt when the user cancels.
  virtual std::optional<std::string> InputQuery(const std::string& caption, const std::string& prompt,
                                                const std::string& initial) = 0;
  // A question answered OK (true) or Cancel.
  virtual bool Confirm(const std::string& text) = 0;
  // A question answered Yes (true) or No.
  virtual bool AskYesNo(const std::string& text) = 0;
  // Shows one of the program's own dialogs modally; its result code.
  virtual int RunDialog(QDialog& dialog) = 0;
  // The open-file dialog. filter: "Name|patterns|Name|patterns", patterns
  // separated by ";". The chosen path, or "" when cancelled.
  virtual std::string OpenFileName(const std::string& filter) = 0;
  // The save-file dialog (same filter form, "" for none); it asks nothing
  // about an existing file, the caller does. The chosen path, or "" when
  // cancelled.
  virtual std::string SaveFileName(const std::string& filter) = 0;
  // The Extract PIDs dialog over the seen PIDs (discovery order): true with
  // the chosen PIDs, in the dialog's list order, when it is closed with OK.
  virtual bool ExecuteExtractPIDs(const std::vector<int32_t>& seenPIDs, std::vector<uint16_t>& chosen) = 0;
};

class TQtPrompts : public TPrompts {
 public:
  explicit TQtPrompts(QWidget* parent) : parent_(parent) {}
  void ShowMessage(const std::string& text) override;
  void ShowInformation(const std::string& caption, const std::string& text) override;
  std::optional<std::string> InputQuery(const std::string& caption, const std::string& prompt,
                                        const std::string& initial) override;
  bool Confirm(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  int RunDialog(QDialog& dialog) override;
  std::string OpenFileName(const std::string& filter) override;
  std::string SaveFileName(const std::string& filter) override;
  bool ExecuteExtractPIDs(const std::vector<int32_t>& seenPIDs, std::vector<uint16_t>& chosen) override;

 private:
  QWidget* parent_;
};

// The question asked before an output replaces an existing file.
std::string ReplaceQuestion(const std::string& file);

// The file a save of a window over stream is to write, asked of the user:
// "" when cancelled, when the user keeps an existing file, or when it is the
// stream itself by any of its names (then the user is told so).
std::string AskOutputFile(TPrompts& prompts, const std::string& filter, const std::string& stream);

// "Name|*.a;*.b|All|*.*" as Qt's "Name (*.a *.b);;All (*)" name filters.
std::string QtNameFilters(const std::string& filter);

}  // namespace tessaro
