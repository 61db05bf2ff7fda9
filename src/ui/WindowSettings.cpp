// The window settings of TForm1, kept between runs under QSettings("Quindel",
// "Tessaro"): the frame's place and size (moved onto a screen that is there),
// the packet list's column widths, the list panel's width, the window state
// and the update check option.
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QSplitter>

#include <array>
#include <optional>

#include "ui/MainWindow.h"

namespace tessaro {
namespace {

// Settings names in the order they are read and written.
constexpr std::array<const char*, kColumnCount> kColumnSettings{
    "OffsetColWidth",  "PIDColWidth",        "ESColWidth",         "PCRColWidth", "PTSColWidth", "DTSColWidth",
    "payloadColWidth", "adaptationColWidth", "continuityColWidth", "PSIColWidth", "InfoColWidth"};

// A stored integer, or nothing when it is missing or not a number.
std::optional<int> ReadInteger(const QSettings& settings, const char* name) {
  const QVariant value = settings.value(name);
  if (!value.isValid()) return std::nullopt;
  bool ok = false;
  const int number = value.toInt(&ok);
  if (!ok) return std::nullopt;
  return number;
}

}  // namespace

void TForm1::LoadRegistrySettings() {
  QSettings settings("Quindel", "Tessaro");
  // The stored size is the outer one; without it the client area has the designed size.
  const QSize margins = isVisible() ? frameGeometry().size() - size() : QSize(0, 0);
  QRect frame(430, 164, kClientWidth + margins.width(), kClientHeight + margins.height());
  if (auto v = ReadInteger(settings, "FormTop")) frame.moveTop(*v);
  if (auto v = ReadInteger(settings, "FormLeft")) frame.moveLeft(*v);
  const std::optional<int> storedHeight = ReadInteger(settings, "FormHeight");
  const std::optional<int> storedWidth = ReadInteger(settings, "FormWidth");
  if (storedHeight) frame.setHeight(std::max(*storedHeight, 100));
  if (storedWidth) frame.setWidth(std::max(*storedWidth, 100));
  // A position saved on a screen that is gone is moved onto one that is there.
  bool visible = false;
  for (const QScreen* screen : QGuiApplication::screens())
    visible = visible || screen->availableGeometry().intersects(frame.adjusted(0, 0, 0, -frame.height() + 40));
  if (!visible && QGuiApplication::primaryScreen() != nullptr) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    frame.moveTopLeft(area.topLeft());
    frame.setSize(frame.size().boundedTo(area.size()));
  }
  move(frame.topLeft());
  resize(frame.size() - margins);
  // Before the window is shown its frame is not known: the size is set again then.
  if (!isVisible() && (storedHeight || storedWidth)) FSavedFrameSize = frame.size();
  for (int c = 0; c < kColumnCount; ++c)
    if (auto v = ReadInteger(settings, kColumnSettings[static_cast<size_t>(c)])) ListView1->setColumnWidth(c, *v);
  if (auto v = ReadInteger(settings, "Panel2Width")) {
    const int total = std::max(Splitter1->width(), width());
    Splitter1->setSizes({*v, std::max(total - *v, 1)});
  }
  if (auto v = ReadInteger(settings, "WindowState")) {
    if (*v == 1) setWindowState(Qt::WindowMinimized);
    if (*v == 2) setWindowState(Qt::WindowMaximized);
  }
  if (auto v = ReadInteger(settings, "CheckForUpdates")) FCheckForUpdates = *v != 0;
  CheckForUpdates1->setChecked(FCheckForUpdates);
  const auto decoded = ReadInteger(settings, "DecodedValues");
  DecodedValues1->setChecked(!decoded || *decoded != 0);
}

void TForm1::SaveRegistrySettings() {
  QSettings settings("Quindel", "Tessaro");
  const QRect frame = frameGeometry();
  settings.setValue("FormTop", frame.top());
  settings.setValue("FormLeft", frame.left());
  settings.setValue("FormHeight", frame.height());
  settings.setValue("FormWidth", frame.width());
  for (int c = 0; c < kColumnCount; ++c)
    settings.setValue(kColumnSettings[static_cast<size_t>(c)], ListView1->columnWidth(c));
  settings.setValue("Panel2Width", Panel2->width());
  const int state = isMinimized() ? 1 : isMaximized() ? 2 : 0;
  settings.setValue("WindowState", state);
  settings.setValue("CheckForUpdates", FCheckForUpdates ? 1 : 0);
  settings.setValue("DecodedValues", DecodedValues1->isChecked() ? 1 : 0);
  settings.sync();
}

}  // namespace tessaro
