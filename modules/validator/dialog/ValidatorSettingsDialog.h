// The validator module's own settings dialog: the second- and third-priority
// checks on or off (the third priority also as a whole), and the PCR and PTS
// repetition limits. It lives in a library of its
// own (PelvanorSettings.so, beside the module) that the module loads only
// when the dialog is asked for, so a run never loads the toolkit.
#pragma once

#include <QDialog>

#include <array>

#include "validation/Indicators.h"

class QCheckBox;
class QGroupBox;
class QSpinBox;

namespace tessaro {

class TValidatorSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TValidatorSettingsDialog(const TCheckSettings& settings, QWidget* parent = nullptr);
  // The settings as the dialog shows them.
  TCheckSettings Settings() const;

 private:
  TCheckSettings settings_;
  std::array<QCheckBox*, kIndicatorCount> checks_{};
  QGroupBox* third_ = nullptr;
  QSpinBox* pcrLimit_ = nullptr;
  QSpinBox* ptsLimit_ = nullptr;
};

}  // namespace tessaro

// The library's entry: shows the dialog over the active window; true with
// the chosen settings in settings when it was accepted, false when cancelled
// or when the program has no widgets.
extern "C" bool PelvanorEditSettings(tessaro::TCheckSettings* settings);
