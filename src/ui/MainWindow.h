// TForm1: the main window. It draws the browser's state and forwards every
// command to it: the paged packet list with its navigation scroll bar, the
// decode tree of the selected packet, the hex view's place, the lists of seen
// PIDs and programs, the File, Search, Operations, Tools and Help menus, the
// status bar, Copy in the list, the tree and the hex view, and the window
// settings kept between runs.
#pragma once

#include <QMainWindow>
#include <QSize>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "browser/ExtractionCommands.h"
#include "browser/StreamBrowser.h"
#include "ui/PacketListView.h"
#include "ui/Prompts.h"
#include "validation/CustomReport.h"

class QAction;
class QLabel;
class QListWidget;
class QScrollBar;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

namespace tessaro {

class TPacketListModel;
class THexViewPanel;
class TStreamAnalysisForm;
class TUpdateCheck;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 993;
  static constexpr int kClientHeight = 691;

  // prompts: the dialogs to use (the window's own Qt dialogs when null).
  explicit TForm1(std::unique_ptr<TPrompts> prompts = nullptr, QWidget* parent = nullptr);
  ~TForm1() override;

  // Opening and closing (File menu, dropped files, the command line's file).
  bool LoadFile(const std::string& fileName);
  bool UnloadFile();
  void RefreshCaption();
  // Opens a chosen file as File > Open does ("Not valid transport stream"
  // when it is not one; nothing for a path that does not exist).
  void OpenFile(const std::string& path);
  // Files dropped on the packet list, in the order given.
  void DropFiles(const std::vector<std::string>& files);

  // Loads the page at offset into the list.
  void RefreshPosition(int64_t offset);
  // Rebuilds the decode tree for the packet at offset.
  void RefreshTSPacket(int64_t offset);
  // Rebuilds the decode tree for the selected row, when one is selected.
  void RefreshSelectedPacket();

  // The Search menu and the window's own commands, as the menus run them.
  void Open1Click();
  void Close1Click();
  void FindnextPID1Click();
  void Searchagain1Click();
  void FindNextClick(const TFindNextCommand& command);
  // Search > "Go To Offset...": an offset (0x hex or decimal) or a packet
  // number (#N); the packet that holds it is selected and shown.
  void GoToOffset1Click();
  // Loads the page at the packet at offset, selects the packet and shows its
  // tree and bytes (the next packet when none starts there); false then.
  bool ShowPacket(int64_t offset);
  void About1Click();
  void HexEdit1Click();

  // Tools > Validation (MediaValidationCommand.cpp) with the module found when
  // the window was first shown; tests may point it elsewhere.
  void Validation1Click();
  const std::string& ValidatorPath() const { return FValidatorPath; }
  void SetValidatorPath(const std::string& path) { FValidatorPath = path; }
  // Pelvanor.pvm in the program's folder, else in the installed module
  // folder; without it Tools > Validation is disabled and its tooltip says
  // where the module was looked for.
  void FindValidatorPath(const std::string& programFolder);
  QAction* ValidationItem() const { return Validation1; }
  // A finding of the validation window chosen: its packet selected, its tree
  // shown and its bytes marked, or the nearest page when no packet is there.
  void ShowFinding(int64_t offset);

  // Tools > "Stream Analysis" (StreamAnalysisCommand.cpp): the analysis
  // window over the open file; opening or closing a file closes it.
  void StreamAnalysis1Click();
  QAction* StreamAnalysisItem() const { return StreamAnalysis1; }
  // The analysis window once it was opened, else null.
  TStreamAnalysisForm* StreamAnalysisWindow() const { return FAnalysisForm; }

  // Window settings (QSettings "Quindel", "Tessaro").
  void LoadRegistrySettings();
  void SaveRegistrySettings();

  // The parts a test looks at.
  const TStreamBrowser& Browser() const { return FBrowser; }
  TPacketListView* PacketList() const { return ListView1; }
  QScrollBar* NavigationBar() const { return ScrollBar1; }
  QTreeWidget* DecodeTree() const { return TreeView1; }
  QListWidget* SeenPIDsBox() const { return lboxSeenPIDs; }
  THexViewPanel* HexView() const { return FHexView; }
  QListWidget* SeenProgramsBox() const { return lboxSeenPrograms; }
  QWidget* LeftPanel() const { return Panel2; }
  QSplitter* Splitter() const { return Splitter1; }
  const std::vector<QAction*>& FindNextActions() const { return FFindNextActions; }
  QAction* GoToOffsetItem() const { return GoToOffset1; }
  // The status bar's fields: slot size, packet number, offset, file size.
  QStringList StatusFields() const;
  // Copy: the context menus' items of the list, the tree and the hex view.
  enum class TCopy : uint8_t { PacketRows, NodeText, NodeValue, Subtree, HexLines };
  void CopyClick(TCopy what);
  // The tree's "Show Bytes": the hex view goes to the selected node's first span.
  void ShowBytesClick();
  // The selected row, or -1.
  int SelectedRow() const;
  void SelectRow(int row);
  bool CheckForUpdates() const { return FCheckForUpdates; }
  // How long a search runs before its progress dialog shows (default 500 ms).
  void SetProgressDelay(int milliseconds) { FProgressDelayMs = milliseconds; }

  // Help > "Check For Updates": toggles FCheckForUpdates and the check mark; a
  // pending check is neither started nor stopped.
  void CheckForUpdates1Click();
  QAction* CheckForUpdatesItem() const { return CheckForUpdates1; }
  // View > "Decoded Values": on by default, kept as the setting "DecodedValues".
  QAction* DecodedValuesItem() const { return DecodedValues1; }
  TUpdateCheck& UpdateCheck() const { return *FUpdateCheck; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  // A column's designed width, or the width its texts need in the list's font.
  int DefaultColumnWidth(int column) const;
  void BuildPanels();
  void ListView1KeyDown(int key);
  void MyScrollMouseDown();
  // The list, the scroll bar and the seen lists after the browser changed the page.
  void ShowPage();
  void ShowTree();
  // The decode tree and the hex view for the packet whose tree the browser built.
  void ShowPacketViews(int64_t offset);
  // The selected node's value scrolled into view when the line is wider than the tree.
  void RevealNodeValue(const QTreeWidgetItem* item);
  void BuildStatusBar();
  void UpdateStatus();
  void BuildCopyMenus();
  // Stops the analysis window's pass and closes it.
  void CloseStreamAnalysis();
  // The selected tree node's bytes are marked in the hex view.
  void TreeView1Change();
  void ShowSeenLists();
  void ClearViews();
  // The selected row's offset, or row 0's when none is selected.
  int64_t SearchStart() const;
  // Runs a search with the busy cursor and, when it takes long, a progress
  // dialog that can cancel it; shows the hit or the message.
  void RunSearch(const std::function<TSearchOutcome()>& search);
  void SetScrollPosition(int64_t position);

  std::unique_ptr<TPrompts> FPrompts;
  TStreamBrowser FBrowser;
  TPacketListModel* FModel = nullptr;

  QWidget* Panel1 = nullptr;  // bottom: hex view and the seen lists
  QWidget* Panel2 = nullptr;  // left: packet list and navigation scroll bar
  QWidget* Panel3 = nullptr;  // right: decode tree
  QSplitter* Splitter1 = nullptr;
  TPacketListView* ListView1 = nullptr;
  QScrollBar* ScrollBar1 = nullptr;
  QTreeWidget* TreeView1 = nullptr;
  THexViewPanel* FHexView = nullptr;  // the hex list ListBox1 and its scroll bar ScrollBar2
  QListWidget* lboxSeenPIDs = nullptr;
  QListWidget* lboxSeenPrograms = nullptr;
  std::vector<QAction*> FFindNextActions;
  QAction* CheckForUpdates1 = nullptr;
  QAction* GoToOffset1 = nullptr;
  QAction* Validation1 = nullptr;
  QAction* StreamAnalysis1 = nullptr;
  TStreamAnalysisForm* FAnalysisForm = nullptr;  // a child window of this one
  // The reports of the last validation run and the file they are of, for the
  // analysis window's Errors tab.
  std::vector<TCustomReport> FValidationReports;
  std::string FValidationFile;
  std::vector<QLabel*> FStatusFields;  // slot size, packet, offset, file size
  QString FKeptPageMessage;            // shown while a page load keeps the old rows
  QAction* DecodedValues1 = nullptr;
  TUpdateCheck* FUpdateCheck = nullptr;  // owns tmUpdate

  bool FBusy = false;  // code moves the navigation scroll bar
  bool FWheelAtEdge = false;
  bool FCheckForUpdates = true;
  bool FShown = false;
  int FProgressDelayMs = 500;
  QSize FSavedFrameSize;  // the outer size the settings asked for
  std::atomic<bool> FCancelSearch{false};
  size_t FShownSeenPIDs = 0;
  size_t FShownSeenPrograms = 0;

  // ---- The Operations menu (OperationsCommands.cpp).
 public:
  void ExtractPIDs1Click();
  void ExtractPES1Click();
  void ExtractESfromPID1Click();
  void Extractprogram1Click();
  void DemultiplextoES1Click();
  void Demux1Click();
  const std::vector<QAction*>& OperationsActions() const { return FOperationsActions; }

 private:
  void BuildOperationsMenu();
  void ExtractFromPID(bool es);
  void Demultiplex(bool es);
  // The save dialog and, for an existing file, the replace question (OK
  // deletes the file). Empty when the user stops.
  std::string AskOutputFile(bool askReplace);
  // Runs a command with the busy cursor and the cancellable progress dialog,
  // then shows its message.
  void RunOperation(const std::function<TExtractionOutcome(TExtractionCommands&)>& command);
  std::vector<QAction*> FOperationsActions;
  std::string FValidatorPath;  // the validation module, or empty
};

}  // namespace tessaro
