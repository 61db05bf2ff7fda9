#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <array>
#include <cmath>

#include "browser/NodeText.h"
#include "browser/PIDText.h"
#include "browser/StreamPosition.h"
#include "core/Diagnostics.h"
#include "core/PacketSizeProbe.h"
#include "core/TextHelpers.h"
#include "ui/HexEditForm.h"
#include "ui/HexViewPanel.h"
#include "ui/LongWork.h"
#include "ui/PacketListModel.h"
#include "ui/PlainTextDelegate.h"
#include "ui/SteadyScrollBar.h"
#include "ui/StreamAnalysisWindow.h"
#include "ui/UpdateCheck.h"

namespace tessaro {
namespace {

constexpr const char* kOpenFilter =
    "MPEG TS Files (*.ts; *.m2t, *.mpg, *.mpeg)|*.ts;*.m2t;*.mpg;*.mpeg|All Files (*.*)|*.*";
constexpr const char* kNotValid = "Not valid transport stream";
constexpr std::array<int, kColumnCount> kColumnWidths{120, 60, 40, 75, 75, 75, 40, 40, 40, 60, 60};
// The widest text of each column: a column is never made narrower than that.
constexpr std::array<const char*, kColumnCount> kColumnSamples{
    "0x0000000000000000", "0x0000", "0xE0", "00:00:00.00", "00:00:00.00", "00:00:00.00", "PLD", "AF", "CC",
    "EIT-ATSPF",          "AF+PLD"};
constexpr int kLeftPanelWidth = 700;

// The Find Next items of the Search menu, in menu order, by the word of their command.
struct TFindNextItem {
  const char* word;
  const char* caption;
  const char* shortcut;
  bool separatorBefore;
};
constexpr std::array<TFindNextItem, 12> kFindNextItems{{
    {"pat", "Find Next PAT", "Ctrl+T", false},
    {"pmt", "Find Next PMT", "Ctrl+M", false},
    {"cat", "Find Next CAT", "Ctrl+U", false},
    {"payload-start", "Find Next Payload Start", "Ctrl+L", false},
    {"pcr", "Find Next PCR", "Ctrl+R", false},
    {"nit", "Find Next NIT", "Ctrl+N", true},
    {"sdt", "Find Next SDT", "Ctrl+S", false},
    {"eit", "Find Next EIT", "Ctrl+E", false},
    {"tdt", "Find Next TDT", "Ctrl+D", false},
    {"bat", "Find Next BAT", "Ctrl+B", false},
    {"rst", "Find Next RST", "Ctrl+G", false},
    {"tot", "Find Next TOT", "Ctrl+I", false},
}};
constexpr int kBottomPanelHeight = 210;

QFont TreeFont() {
  QFont font("Courier New");
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPixelSize(12);
  return font;
}

// The node an item shows (valid until the tree is built again).
constexpr int kNodeRole = Qt::UserRole;

QTreeWidgetItem* MakeItem(const TTreeNode& node) {
  const auto size = static_cast<qsizetype>(node.text.size());
  const QString text =
      node.utf8 ? QString::fromUtf8(node.text.data(), size) : QString::fromLatin1(node.text.data(), size);
  auto* item = new QTreeWidgetItem(QStringList(text));
  item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(&node)));
  // The whole text, whatever the panel's width shows of it.
  item->setToolTip(0, text);
  for (const auto& child : node.children) item->addChild(MakeItem(*child));
  return item;
}

}  // namespace

// ---- The window ---------------------------------------------------------------------

TForm1::TForm1(std::unique_ptr<TPrompts> prompts, QWidget* parent)
    : QMainWindow(parent), FPrompts(prompts ? std::move(prompts) : std::make_unique<TQtPrompts>(this)) {
  FUpdateCheck = new TUpdateCheck(*FPrompts, this);
  BuildPanels();
  BuildMenus();
  BuildCopyMenus();
  resize(kClientWidth, kClientHeight);
  BuildStatusBar();
  // Wheel steps become Up and Down keys for the focused control.
  qApp->installEventFilter(this);
  FBrowser.SetScanCancel(&FCancelSearch);
  RefreshCaption();
}

TForm1::~TForm1() {
  // Its pass ends before the window it reports to; it is a child, but
  // children go only after the members it uses.
  delete FAnalysisForm;
  FAnalysisForm = nullptr;
  qApp->removeEventFilter(this);
  FBrowser.SetScanProgress(nullptr);
}

void TForm1::BuildPanels() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Splitter1 = new QSplitter(Qt::Horizontal, central);
  Panel2 = new QWidget(Splitter1);
  auto* left = new QHBoxLayout(Panel2);
  left->setContentsMargins(0, 0, 0, 0);
  left->setSpacing(0);
  ListView1 = new TPacketListView(Panel2);
  FModel = new TPacketListModel(FBrowser, this);
  ListView1->setModel(FModel);
  for (int c = 0; c < kColumnCount; ++c) ListView1->setColumnWidth(c, DefaultColumnWidth(c));
  ScrollBar1 = new TSteadyScrollBar(Qt::Vertical, Panel2);
  ScrollBar1->setFixedWidth(16);
  ScrollBar1->setRange(0, 0);
  left->addWidget(ListView1);
  left->addWidget(ScrollBar1);

  Panel3 = new QWidget(Splitter1);
  auto* right = new QVBoxLayout(Panel3);
  right->setContentsMargins(0, 0, 0, 0);
  TreeView1 = new QTreeWidget(Panel3);
  TreeView1->setHeaderHidden(true);
  TreeView1->setVerticalScrollBar(new TSteadyScrollBar(Qt::Vertical));
  TreeView1->setHorizontalScrollBar(new TSteadyScrollBar(Qt::Horizontal));
  TreeView1->setFont(TreeFont());
  TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView1->setUniformRowHeights(true);
  TreeView1->setItemDelegate(new TPlainTextDelegate(TreeView1));
  // Long texts scroll sideways rather than being cut short.
  TreeView1->setTextElideMode(Qt::ElideNone);
  TreeView1->header()->setStretchLastSection(false);
  TreeView1->header()->setSectionResizeMode(QHeaderView::Fixed);
  right->addWidget(TreeView1);
  connect(TreeView1, &QTreeWidget::currentItemChanged, this, [this] { TreeView1Change(); });
  Splitter1->addWidget(Panel2);
  Splitter1->addWidget(Panel3);
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({kLeftPanelWidth, kClientWidth - kLeftPanelWidth});

  Panel1 = new QWidget(central);
  Panel1->setFixedHeight(kBottomPanelHeight);
  auto* bottom = new QHBoxLayout(Panel1);
  bottom->setContentsMargins(2, 2, 2, 2);
  bottom->setSpacing(4);
  auto column = [&](const char* caption, QWidget* body) {
    auto* box = new QVBoxLayout;
    box->setSpacing(2);
    box->addWidget(new QLabel(caption, Panel1));
    box->addWidget(body);
    bottom->addLayout(box);
  };
  // The hex view: its line list and its own scroll bar.
  FHexView = new THexViewPanel(Panel1);
  FHexView->List()->setMinimumWidth(706);
  column("Hex View", FHexView);
  lboxSeenPIDs = new QListWidget(Panel1);
  lboxSeenPIDs->setFixedWidth(121);
  column("Seen PIDs", lboxSeenPIDs);
  lboxSeenPrograms = new QListWidget(Panel1);
  lboxSeenPrograms->setFixedWidth(120);
  column("Seen Programs", lboxSeenPrograms);
  bottom->addStretch(1);

  layout->addWidget(Splitter1, 1);
  layout->addWidget(Panel1);
  setCentralWidget(central);

  connect(ListView1, &TPacketListView::keyPressing, this, [this](int key) { ListView1KeyDown(key); });
  connect(ListView1, &TPacketListView::keyReleased, this, [this] { RefreshSelectedPacket(); });
  connect(ListView1, &TPacketListView::mousePressed, this, [this] { RefreshSelectedPacket(); });
  connect(ListView1, &TPacketListView::filesDropped, this, [this](const QStringList& files) {
    std::vector<std::string> names;
    for (const QString& file : files) names.push_back(file.toStdString());
    DropFiles(names);
  });
  connect(ListView1, &TPacketListView::resized, this, [this] { RefreshPosition(FBrowser.TopOffset()); });
  connect(ScrollBar1, &QScrollBar::sliderReleased, this, &TForm1::MyScrollMouseDown);
  connect(ScrollBar1, &QScrollBar::valueChanged, this, [this] {
    if (!ScrollBar1->isSliderDown()) MyScrollMouseDown();
  });
}

int TForm1::DefaultColumnWidth(int column) const {
  const auto c = static_cast<size_t>(column);
  const int text = ListView1->fontMetrics().horizontalAdvance(kColumnSamples[c]) + 12;
  return std::max(kColumnWidths[c], text);
}

void TForm1::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->addAction("&Open", QKeySequence("Ctrl+O"), this, [this] { Open1Click(); });
  file->addAction("&Close", this, [this] { Close1Click(); });
  file->addSeparator();
  file->addAction("E&xit", QKeySequence("Ctrl+Q"), this, [this] { close(); });

  QMenu* search = menuBar()->addMenu("Search");
  search->addAction("Find PID", QKeySequence("Ctrl+F"), this, [this] { FindnextPID1Click(); });
  search->addAction("Search Again", QKeySequence("F3"), this, [this] { Searchagain1Click(); });
  GoToOffset1 = search->addAction("Go To Offset...", QKeySequence("Ctrl+J"), this, [this] { GoToOffset1Click(); });
  for (const TFindNextItem& item : kFindNextItems) {
    if (item.separatorBefore) search->addSeparator();
    const TFindNextCommand* command = FindNextCommand(item.word);
    if (command == nullptr) continue;
    FFindNextActions.push_back(search->addAction(item.caption, QKeySequence(item.shortcut), this,
                                                 [this, command] { FindNextClick(*command); }));
  }

  BuildOperationsMenu();

  QMenu* tools = menuBar()->addMenu("Tools");
  tools->addAction("Hex Edit", this, [this] { HexEdit1Click(); });
  tools->addSeparator();
  Validation1 = tools->addAction("Validation", this, [this] { Validation1Click(); });
  StreamAnalysis1 =
      tools->addAction("Stream Analysis", QKeySequence("Ctrl+Shift+A"), this, [this] { StreamAnalysis1Click(); });
  // A disabled Validation item tells why.
  tools->setToolTipsVisible(true);

  QMenu* view = menuBar()->addMenu("View");
  DecodedValues1 = view->addAction("Decoded Values");
  DecodedValues1->setCheckable(true);
  DecodedValues1->setChecked(true);
  FBrowser.SetDecodedValues(true);
  connect(DecodedValues1, &QAction::toggled, this, [this](bool shown) {
    FBrowser.SetDecodedValues(shown);
    ShowTree();
  });

  QMenu* help = menuBar()->addMenu("Help");
  CheckForUpdates1 = help->addAction("Check For Updates");
  CheckForUpdates1->setCheckable(true);
  CheckForUpdates1->setChecked(FCheckForUpdates);
  connect(CheckForUpdates1, &QAction::triggered, this, [this] { CheckForUpdates1Click(); });
  help->addAction("About", this, [this] { About1Click(); });
}

// ---- Opening and closing -----------------------------------------------------------

void TForm1::RefreshCaption() {
  std::string caption = FBrowser.Caption();
  if (FBrowser.IsReadOnly()) caption += " [read-only]";
  setWindowTitle(QString::fromStdString(caption));
}

void TForm1::ClearViews() {
  TreeView1->clear();
  FHexView->CloseFile();
  lboxSeenPIDs->clear();
  lboxSeenPrograms->clear();
  FShownSeenPIDs = 0;
  FShownSeenPrograms = 0;
}

bool TForm1::LoadFile(const std::string& fileName) {
  CloseStreamAnalysis();
  ClearViews();
  FBrowser.SetVisibleRows(ListView1->VisibleRowCount());
  const bool loaded = FBrowser.LoadFile(fileName);
  RefreshCaption();
  ShowPage();
  ShowSeenLists();
  if (loaded) FHexView->OpenFile(fileName);
  if (loaded && FBrowser.RowCount() > 0) {
    ListView1->setFocus();
    SelectRow(0);
    RefreshTSPacket(FBrowser.Row(0).Offset);
  }
  return loaded;
}

bool TForm1::UnloadFile() {
  CloseStreamAnalysis();
  FBrowser.UnloadFile();
  RefreshCaption();
  ShowPage();
  ClearViews();
  return true;
}

void TForm1::Open1Click() { OpenFile(FPrompts->OpenFileName(kOpenFilter)); }

void TForm1::OpenFile(const std::string& path) {
  if (path.empty() || !QFileInfo::exists(QString::fromStdString(path))) return;
  if (!LoadFile(path)) FPrompts->ShowMessage(kNotValid);
}

void TForm1::Close1Click() { UnloadFile(); }

void TForm1::DropFiles(const std::vector<std::string>& files) {
  // Files that are not transport streams are passed over, so the last one
  // that is stays open; a drop with none says so.
  bool loaded = false;
  {
    TBusyCursor busy;
    for (const std::string& file : files) {
      int32_t packetSize = 0;
      int32_t startOffset = 0;
      if (!QFileInfo::exists(QString::fromStdString(file)) || !IsTS(file, packetSize, startOffset)) continue;
      UnloadFile();
      loaded = LoadFile(file) || loaded;
    }
  }
  if (!loaded && !files.empty()) FPrompts->ShowMessage(kNotValid);
}

// ---- Paging ---------------------------------------------------------------------------

int TForm1::SelectedRow() const {
  const QModelIndexList rows = ListView1->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void TForm1::SelectRow(int row) {
  if (row < 0 || row >= FModel->rowCount()) return;
  ListView1->setCurrentIndex(FModel->index(row, 0));
  ListView1->selectRow(row);
}

void TForm1::SetScrollPosition(int64_t position) {
  FBusy = true;
  ScrollBar1->setValue(static_cast<int>(std::clamp<int64_t>(position, 0, ScrollBar1->maximum())));
  FBusy = false;
}

void TForm1::ShowPage() {
  // A new page keeps the selected row's place in the list.
  const int selected = SelectedRow();
  FModel->PageChanged();
  if (selected >= 0) SelectRow(std::min(selected, FModel->rowCount() - 1));
  FBusy = true;
  const int64_t maximum = FBrowser.IsLoaded() ? FBrowser.ScrollMaximum() : 0;
  ScrollBar1->setRange(0, static_cast<int>(std::min<int64_t>(maximum, INT32_MAX)));
  ScrollBar1->setPageStep(std::max(FBrowser.VisibleRows(), 1));
  FBusy = false;
  SetScrollPosition(FBrowser.ScrollPosition());
  // A page load that kept the old rows says so until one finds packets again.
  if (FBrowser.IsLoaded() && FBrowser.PageKept()) {
    FKeptPageMessage = QString::fromStdString(KeptPageText(FBrowser.TopOffset()));
    statusBar()->showMessage(FKeptPageMessage);
  } else if (!FKeptPageMessage.isEmpty()) {
    if (statusBar()->currentMessage() == FKeptPageMessage) statusBar()->clearMessage();
    FKeptPageMessage.clear();
  }
  UpdateStatus();
}

void TForm1::RefreshPosition(int64_t offset) {
  FBrowser.SetVisibleRows(ListView1->VisibleRowCount());
  FBrowser.RefreshPosition(offset);
  ShowPage();
}

void TForm1::ListView1KeyDown(int key) {
  const int selected = SelectedRow();
  if (selected >= 0) {
    static const std::array<std::pair<int, TPagingKey>, 6> kKeys{{{Qt::Key_Up, TPagingKey::Up},
                                                                  {Qt::Key_Down, TPagingKey::Down},
                                                                  {Qt::Key_PageUp, TPagingKey::PageUp},
                                                                  {Qt::Key_PageDown, TPagingKey::PageDown},
                                                                  {Qt::Key_Home, TPagingKey::Home},
                                                                  {Qt::Key_End, TPagingKey::End}}};
    for (const auto& [qtKey, paging] : kKeys) {
      if (qtKey != key) continue;
      const bool jump = paging != TPagingKey::Up && paging != TPagingKey::Down;
      std::optional<TBusyCursor> busy;
      if (jump) busy.emplace();
      FBrowser.SetVisibleRows(ListView1->VisibleRowCount());
      if (FBrowser.KeyPaging(paging, selected)) ShowPage();
    }
  }
  if (FWheelAtEdge) {
    FWheelAtEdge = false;
    RefreshSelectedPacket();
  }
}

void TForm1::MyScrollMouseDown() {
  if (FBusy || !FBrowser.IsLoaded()) return;
  {
    TBusyCursor busy;
    FBrowser.SetVisibleRows(ListView1->VisibleRowCount());
    FBrowser.ScrollPaging(ScrollBar1->value());
  }
  ShowPage();
  if (SelectedRow() < 0) SelectRow(0);
  RefreshSelectedPacket();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Wheel) return QMainWindow::eventFilter(watched, event);
  auto* wheel = static_cast<QWheelEvent*>(event);
  const int delta = wheel->angleDelta().y();
  if (delta == 0) return true;
  const bool up = delta > 0;
  QWidget* focused = QApplication::focusWidget();
  if (focused == ListView1) {
    const int selected = SelectedRow();
    if (selected >= 0) {
      const TStreamBrowser::TWheelStep step = FBrowser.WheelStep(selected, FModel->rowCount(), up);
      RefreshTSPacket(FBrowser.Row(step.row).Offset);
      FWheelAtEdge = FWheelAtEdge || step.atEdge;
    }
  }
  // The step goes on to the focused control as a key.
  if (focused != nullptr) {
    QKeyEvent key(QEvent::KeyPress, up ? Qt::Key_Up : Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(focused, &key);
  }
  return true;
}

// ---- Decode tree and seen lists ------------------------------------------------------

void TForm1::ShowTree() {
  // Refilled as it stands, nothing is painted before the event loop runs.
  // (Switching updates off and on again would repaint the whole widget, its
  // frame and every panel beneath it, on every key.)
  TreeView1->clear();
  for (const auto& node : FBrowser.Tree().children) TreeView1->addTopLevelItem(MakeItem(*node));
  TreeView1->expandAll();
  // The column is as wide as the widest line, so long texts scroll sideways;
  // the font is fixed-pitch, which makes that a count of characters.
  // The advance is fractional: rounded to whole pixels, long lines (decoded
  // values) would lose their last characters.
  const qreal charWidth = QFontMetricsF(TreeView1->font()).horizontalAdvance(QLatin1Char('0'));
  int widest = 0;
  std::function<void(const TTreeNode&, int)> measure = [&](const TTreeNode& node, int depth) {
    widest = std::max(widest, (depth + 1) * TreeView1->indentation() +
                                  static_cast<int>(std::ceil(static_cast<qreal>(node.text.size()) * charWidth)));
    for (const auto& child : node.children) measure(*child, depth + 1);
  };
  for (const auto& node : FBrowser.Tree().children) measure(*node, 0);
  TreeView1->header()->resizeSection(0, widest + static_cast<int>(std::ceil(2 * charWidth)));
  ShowSeenLists();
}

void TForm1::RefreshTSPacket(int64_t offset) {
  FBrowser.RefreshTSPacket(offset);
  ShowPacketViews(offset);
}

void TForm1::ShowPacketViews(int64_t offset) {
  ShowTree();
  // The hex view shows the packet, its bytes marked.
  FHexView->RefreshFileData(offset);
  FHexView->SetHighlight({{offset, 0, kTSPacketSize * 8}}, false);
}

void TForm1::TreeView1Change() {
  const QTreeWidgetItem* item = TreeView1->currentItem();
  if (item == nullptr) return;
  const auto* node = reinterpret_cast<const TTreeNode*>(item->data(0, kNodeRole).value<quintptr>());
  if (node != nullptr) FHexView->SetHighlight(node->spans, true);
  RevealNodeValue(item);
}

void TForm1::RevealNodeValue(const QTreeWidgetItem* item) {
  const auto* delegate = dynamic_cast<const TPlainTextDelegate*>(TreeView1->itemDelegate());
  const QString text = item->text(0);
  if (delegate == nullptr || text.isEmpty()) return;
  QStyleOptionViewItem option;
  option.rect = TreeView1->visualItemRect(item);
  option.font = TreeView1->font();
  const QList<qreal> edges = delegate->TextEdges(option, text);
  const auto valueStart = static_cast<qsizetype>(NodeValueStart(text.toLatin1().toStdString()));
  const int margin = TreeView1->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  const int left = static_cast<int>(edges[valueStart]) - margin;
  const int right = static_cast<int>(std::ceil(edges.back())) + margin;
  const int width = TreeView1->viewport()->width();
  if (left >= 0 && right <= width) return;
  // As much of the value as fits, from its start.
  QScrollBar* bar = TreeView1->horizontalScrollBar();
  bar->setValue(bar->value() + std::min(left, right - width));
}

void TForm1::RefreshSelectedPacket() {
  const int row = SelectedRow();
  if (row >= 0 && row < FBrowser.RowCount()) RefreshTSPacket(FBrowser.Row(row).Offset);
}

void TForm1::ShowSeenLists() {
  // The lists only grow while a file is open; new texts are added in their place.
  auto update = [](QListWidget* box, const std::vector<std::string>& texts, size_t& shown) {
    if (texts.size() == shown) return;
    box->clear();
    for (const std::string& text : texts) box->addItem(QString::fromStdString(text));
    shown = texts.size();
  };
  update(lboxSeenPIDs, FBrowser.Seen().PIDTexts(), FShownSeenPIDs);
  update(lboxSeenPrograms, FBrowser.Seen().ProgramTexts(), FShownSeenPrograms);
}

// ---- Search menu ------------------------------------------------------------------------

int64_t TForm1::SearchStart() const { return FBrowser.SelectedOffset(SelectedRow()); }

void TForm1::RunSearch(const std::function<TSearchOutcome()>& search) {
  TSearchOutcome outcome;
  {
    TBusyCursor busy;
    TScanProgress progress(FBrowser, FCancelSearch, this, "Searching...", FProgressDelayMs);
    outcome = search();
  }
  if (outcome.cancelled) {
    statusBar()->showMessage("Search cancelled.", 5000);
    return;
  }
  if (!outcome.found) {
    FPrompts->ShowMessage(outcome.message);
    return;
  }
  // The hit is the first row of its page, and the selected packet.
  ShowPacket(outcome.offset);
}

void TForm1::GoToOffset1Click() {
  if (!FBrowser.IsLoaded() || FBrowser.RowCount() == 0) {
    FPrompts->ShowMessage("No file loaded.");
    return;
  }
  const std::optional<std::string> text =
      FPrompts->InputQuery("Go To Offset", "Enter an offset (0x hex or decimal) or a packet number (#N)",
                           "0x" + HexDigits(static_cast<uint64_t>(SearchStart()), 16));
  if (!text) return;
  const TGoToTarget target = ReadGoToText(*text, {FBrowser.FileSize(), FBrowser.PacketSize(), FBrowser.StartOffset()});
  if (!target.message.empty()) {
    FPrompts->ShowMessage(target.message);
    return;
  }
  TBusyCursor busy;
  if (ShowPacket(target.offset)) return;
  // No packet starts in that slot (the stream lost its alignment there).
  const std::string place = "0x" + HexDigits(static_cast<uint64_t>(target.offset), 16);
  statusBar()->showMessage(QString::fromStdString(FBrowser.SelectedOffset(SelectedRow()) > target.offset
                                                      ? "No packet starts at " + place + ": the next packet is shown"
                                                      : KeptPageText(target.offset)));
}

bool TForm1::ShowPacket(int64_t offset) {
  const int64_t top = FBrowser.TopOffset();
  FBrowser.SetVisibleRows(ListView1->VisibleRowCount());
  const bool selected = FBrowser.SelectPacket(offset);
  // Nothing to show there: the page before comes back.
  if (FBrowser.RowCount() == 0) FBrowser.RefreshPosition(top);
  if (FBrowser.PacketSize() > 0)
    FBrowser.SetScrollPosition(std::clamp<int64_t>(offset / FBrowser.PacketSize(), 0, FBrowser.ScrollMaximum()));
  ShowPage();
  int row = 0;
  while (row < FBrowser.RowCount() && FBrowser.Row(row).Offset != offset) ++row;
  if (row == FBrowser.RowCount()) row = 0;
  SelectRow(row);
  if (selected)
    ShowPacketViews(offset);
  else
    RefreshSelectedPacket();
  return selected;
}

void TForm1::FindnextPID1Click() {
  if (!FBrowser.IsLoaded() || FBrowser.RowCount() == 0) {
    FPrompts->ShowMessage("No file loaded.");
    return;
  }
  const std::optional<std::string> text = FPrompts->InputQuery(
      "Extract PES from PID", "Enter valid PID (0x0000-0x1FFF)", "0x" + HexDigits(FBrowser.LastSearchPID(), 4));
  if (!text) return;
  uint16_t pid = 0;
  if (const std::optional<std::string> message = CheckPIDText(*text, pid)) {
    FPrompts->ShowMessage(*message);
    return;
  }
  const int64_t start = SearchStart();
  RunSearch([&] { return FBrowser.FindPID(pid, start); });
}

void TForm1::Searchagain1Click() {
  const int64_t start = SearchStart();
  RunSearch([&] { return FBrowser.SearchAgain(start); });
}

void TForm1::FindNextClick(const TFindNextCommand& command) {
  const int64_t start = SearchStart();
  RunSearch([&] { return FBrowser.FindNext(command, start); });
}

void TForm1::About1Click() { FPrompts->ShowInformation("Tessaro", "Tessaro\nVersion 2.0"); }

void TForm1::CheckForUpdates1Click() {
  FCheckForUpdates = !FCheckForUpdates;
  CheckForUpdates1->setChecked(FCheckForUpdates);
}

void TForm1::HexEdit1Click() {
  GuardedVoid("TForm1.HexEdit1Click", [&] {
    const int row = SelectedRow();
    if (!FBrowser.IsLoaded() || row < 0 || row >= FBrowser.RowCount()) return;
    // A file that could only be opened for reading cannot be changed: say so.
    if (FBrowser.IsReadOnly()) {
      FPrompts->ShowMessage("The file is read-only and cannot be edited.");
      return;
    }
    const int64_t offset = FBrowser.Row(row).Offset;
    if (!EditFile(FBrowser.WritableStream(), "", offset, FBrowser.PacketSize(), *FPrompts, this)) return;
    // The saved bytes show at once: the page, the tree and the hex view again.
    RefreshPosition(FBrowser.TopOffset());
    TreeView1->clear();
    RefreshSelectedPacket();
  });
}

// ---- Window events and settings ------------------------------------------------------

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (FShown) return;
  FShown = true;
  RefreshCaption();
  CheckForUpdates1->setChecked(FCheckForUpdates);
  if (FCheckForUpdates) FUpdateCheck->Start();
  FindValidatorPath(QCoreApplication::applicationDirPath().toStdString());
  // The settings hold the outer size; the frame's own size is known once shown.
  QTimer::singleShot(0, this, [this] {
    const QSize margins = frameGeometry().size() - size();
    if (FSavedFrameSize.isValid() && (margins.width() > 0 || margins.height() > 0)) resize(FSavedFrameSize - margins);
  });
}

void TForm1::closeEvent(QCloseEvent* event) {
  CloseStreamAnalysis();
  SaveRegistrySettings();
  QMainWindow::closeEvent(event);
}

}  // namespace tessaro
