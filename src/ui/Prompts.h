// Every modal interaction of the window goes through TPrompts: message and
// input boxes, confirmations and file dialogs. The window shows Qt dialogs
// (TQtPrompts); the tests answer from a script and read every text.
#pragma once

#include <optional>
#include <string>

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
  // The open-file dialog. filter: "Name|patterns|Name|patterns", patterns
  // separated by ";". The chosen path, or "" when cancelled.
  virtual std::string OpenFileName(const std::string& filter) = 0;
  // The save-file dialog (same filter form); it asks nothing about an
  // existing file, the caller does. The chosen path, or "" when cancelled.
  virtual std::string SaveFileName(const std::string& filter) = 0;
  // Shows a window of the program's own modally until it is closed.
  virtual void ShowModal(QDialog& dialog) = 0;
};

class TQtPrompts : public TPrompts {
 public:
  explicit TQtPrompts(QWidget* parent) : parent_(parent) {}
  void ShowMessage(const std::string& text) override;
  void ShowInformation(const std::string& caption, const std::string& text) override;
  std::optional<std::string> InputQuery(const std::string& caption, const std::string& prompt,
                                        const std::string& initial) override;
  bool Confirm(const std::string& text) override;
  std::string OpenFileName(const std::string& filter) override;
  std::string SaveFileName(const std::string& filter) override;
  void ShowModal(QDialog& dialog) override;

 private:
  QWidget* parent_;
};

// "Name|*.a;*.b|All|*.*" as Qt's "Name (*.a *.b);;All (*)" name filters.
std::string QtNameFilters(const std::string& filter);

}  // namespace tessaro
