// What the window tests share: prompts answered from a script that record
// every text shown, settings kept apart from the user's, and a window.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QSettings>
#include <QStandardPaths>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/MainWindow.h"
#include "ui/Prompts.h"

namespace tessaro::test {

class TScriptedPrompts : public TPrompts {
 public:
  struct TScript {
    std::deque<std::optional<std::string>> inputs;  // nullopt: Cancel
    std::deque<bool> confirms;
    std::deque<std::string> openFiles;
    std::vector<std::string> messages;     // every message and information text, in order
    std::vector<std::string> inputCalls;   // caption | prompt | initial text of each input box
    std::vector<std::string> filters;      // the filter of each open dialog
    std::deque<std::string> saveFiles;     // "" : Cancel
    std::vector<std::string> saveFilters;  // the filter of each save dialog
    // Works a window shown modally (the test's user), then returns as its
    // closing would; without one the window is only recorded.
    std::function<void(QDialog&)> onModal;
    std::vector<std::string> modalTitles;  // each modal window's caption when shown
  };

  explicit TScriptedPrompts(TScript& script) : script_(script) {}
  void ShowMessage(const std::string& text) override { script_.messages.push_back(text); }
  void ShowInformation(const std::string& caption, const std::string& text) override {
    script_.messages.push_back(caption + ": " + text);
  }
  std::optional<std::string> InputQuery(const std::string& caption, const std::string& prompt,
                                        const std::string& initial) override {
    script_.inputCalls.push_back(caption + "|" + prompt + "|" + initial);
    if (script_.inputs.empty()) return std::nullopt;
    auto answer = script_.inputs.front();
    script_.inputs.pop_front();
    return answer;
  }
  bool Confirm(const std::string& text) override {
    script_.messages.push_back(text);
    if (script_.confirms.empty()) return false;
    const bool answer = script_.confirms.front();
    script_.confirms.pop_front();
    return answer;
  }
  std::string OpenFileName(const std::string& filter) override {
    script_.filters.push_back(filter);
    if (script_.openFiles.empty()) return {};
    std::string file = script_.openFiles.front();
    script_.openFiles.pop_front();
    return file;
  }
  std::string SaveFileName(const std::string& filter) override {
    script_.saveFilters.push_back(filter);
    if (script_.saveFiles.empty()) return {};
    std::string file = script_.saveFiles.front();
    script_.saveFiles.pop_front();
    return file;
  }
  void ShowModal(QDialog& dialog) override {
    dialog.show();
    QApplication::processEvents();
    script_.modalTitles.push_back(dialog.windowTitle().toStdString());
    if (script_.onModal) script_.onModal(dialog);
    dialog.close();
  }

 private:
  TScript& script_;
};

// A window with scripted prompts, shown offscreen at its designed size.
struct TWindow {
  TScriptedPrompts::TScript script;
  std::unique_ptr<TForm1> form;

  TWindow() {
    form = std::make_unique<TForm1>(std::make_unique<TScriptedPrompts>(script));
    form->show();
    QApplication::processEvents();
  }
};

// Settings go to a folder of the test's own, emptied before each test.
inline void IsolateSettings() {
  QStandardPaths::setTestModeEnabled(true);
  QSettings("Quindel", "Tessaro").clear();
}

}  // namespace tessaro::test
