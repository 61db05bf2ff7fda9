// What the window tests share: prompts answered from a script that record
// every text shown, settings kept apart from the user's, a window, a cancel
// for its progress dialogs, a look-up in the decode tree, a list box's texts,
// and whether the window shows a packet.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QProgressDialog>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/HexViewPanel.h"
#include "ui/MainWindow.h"
#include "ui/Prompts.h"

namespace tessaro::test {

class TScriptedPrompts : public TPrompts {
 public:
  struct TScript {
    std::deque<std::optional<std::string>> inputs;  // nullopt: Cancel
    std::deque<bool> confirms;
    std::deque<bool> yesNo;
    // The test's user of each of the program's own dialogs, in the order they
    // open: called while the dialog is shown, it returns the dialog's result.
    // A dialog without one is only recorded and closed (Rejected).
    std::deque<std::function<int(QDialog&)>> dialogs;
    std::vector<std::string> dialogTitles;  // each dialog's caption when shown
    std::deque<std::string> openFiles;
    std::vector<std::string> messages;    // every message and information text, in order
    std::vector<std::string> inputCalls;  // caption | prompt | initial text of each input box
    std::vector<std::string> filters;     // the filter of each open dialog

    std::deque<std::string> saveFiles;     // "": Cancel
    std::vector<std::string> saveFilters;  // the filter of each save dialog
    // The PID picker: each answer (nullopt: Cancel) and the seen PIDs it was given.
    std::deque<std::optional<std::vector<uint16_t>>> pidChoices;
    std::vector<std::vector<int32_t>> pidDialogs;
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
  bool AskYesNo(const std::string& text) override {
    script_.messages.push_back(text);
    if (script_.yesNo.empty()) return false;
    const bool answer = script_.yesNo.front();
    script_.yesNo.pop_front();
    return answer;
  }
  int RunDialog(QDialog& dialog) override {
    dialog.show();
    QApplication::processEvents();
    script_.dialogTitles.push_back(dialog.windowTitle().toStdString());
    int result = QDialog::Rejected;
    if (!script_.dialogs.empty()) {
      auto answer = std::move(script_.dialogs.front());
      script_.dialogs.pop_front();
      result = answer(dialog);
    }
    dialog.close();
    return result;
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
  bool ExecuteExtractPIDs(const std::vector<int32_t>& seenPIDs, std::vector<uint16_t>& chosen) override {
    script_.pidDialogs.push_back(seenPIDs);
    if (script_.pidChoices.empty() || !script_.pidChoices.front()) {
      if (!script_.pidChoices.empty()) script_.pidChoices.pop_front();
      return false;
    }
    chosen = *script_.pidChoices.front();
    script_.pidChoices.pop_front();
    return true;
  }

 private:
  TScript& script_;
};

// A dialog's test user that works it and then leaves it to be closed.
inline std::function<int(QDialog&)> ClosedAfter(std::function<void(QDialog&)> work) {
  return [work = std::move(work)](QDialog& dialog) {
    work(dialog);
    return static_cast<int>(QDialog::Rejected);
  };
}

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

// Once the event loop next runs (a long command pumps it), every progress
// dialog of the window is cancelled; seen tells whether there was one.
inline void CancelProgressWhenShown(TForm1& form, bool& seen) {
  QTimer::singleShot(0, [&form, &seen] {
    for (QProgressDialog* dialog : form.findChildren<QProgressDialog*>()) {
      seen = true;
      dialog->cancel();
    }
  });
}

// Settings go to a folder of the test program's own, emptied before each
// test: test programs that run side by side never see each other's.
inline void IsolateSettings() {
  QStandardPaths::setTestModeEnabled(true);
  static const QTemporaryDir folder;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
  QSettings("Quindel", "Tessaro").clear();
}

// The first item at or below item whose text starts with prefix.
inline QTreeWidgetItem* FindItem(QTreeWidgetItem* item, const std::string& prefix) {
  if (item->text(0).toStdString().rfind(prefix, 0) == 0) return item;
  for (int i = 0; i < item->childCount(); ++i)
    if (QTreeWidgetItem* found = FindItem(item->child(i), prefix)) return found;
  return nullptr;
}

// The texts of a list box, in order.
inline std::vector<std::string> Items(const QListWidget* box) {
  std::vector<std::string> items;
  for (int i = 0; i < box->count(); ++i) items.push_back(box->item(i)->text().toStdString());
  return items;
}

// Whether the window shows the packet at offset: its row selected, its tree
// built and its bytes marked.
inline bool ShowsPacket(TForm1& form, int64_t offset) {
  const int row = form.SelectedRow();
  return row >= 0 && form.Browser().Row(row).Offset == offset && form.DecodeTree()->topLevelItemCount() > 0 &&
         form.HexView()->View().Highlight() == TSpans{{offset, 0, 188 * 8}};
}

// Counts the paint events of the widgets it is installed on.
class TPaintCount : public QObject {
 public:
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
};

}  // namespace tessaro::test
