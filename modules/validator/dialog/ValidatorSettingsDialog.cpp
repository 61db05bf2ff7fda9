#include "ValidatorSettingsDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

#include "ValidatorSettings.h"

namespace tessaro {
namespace {

QSpinBox* LimitBox(double seconds, const char* name, QWidget* parent) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(name);
  box->setRange(kLeastRepetitionLimitMs, kGreatestRepetitionLimitMs);
  box->setSuffix(" ms");
  box->setValue(static_cast<int>(std::lround(seconds * 1000.0)));
  return box;
}

}  // namespace

TValidatorSettingsDialog::TValidatorSettingsDialog(const TCheckSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  setWindowTitle("MPEG-2 TS Validator Settings");
  auto* layout = new QVBoxLayout(this);
  auto* groups = new QHBoxLayout;
  auto* second = new QGroupBox("Second-priority checks (ETSI TR 101 290)", this);
  // Switched off as a whole, the third priority keeps its single checks' states.
  third_ = new QGroupBox("Third-priority checks (ETSI TR 101 290)", this);
  third_->setObjectName("ThirdPriority");
  third_->setCheckable(true);
  third_->setChecked(settings.thirdPriority);
  auto* secondLayout = new QVBoxLayout(second);
  auto* thirdLayout = new QVBoxLayout(third_);
  for (int i = 0; i < kIndicatorCount; ++i) {
    const auto indicator = static_cast<TIndicator>(i);
    if (Priority(indicator) == 1) continue;
    QGroupBox* group = IsSecondPriority(indicator) ? second : third_;
    auto* box = new QCheckBox(IndicatorName(indicator), group);
    box->setObjectName(IndicatorName(indicator));
    box->setChecked(settings.enabled[static_cast<size_t>(i)]);
    (IsSecondPriority(indicator) ? secondLayout : thirdLayout)->addWidget(box);
    checks_[static_cast<size_t>(i)] = box;
  }
  secondLayout->addStretch(1);
  thirdLayout->addStretch(1);
  groups->addWidget(second);
  groups->addWidget(third_);
  layout->addLayout(groups);
  auto* limits = new QFormLayout;
  pcrLimit_ = LimitBox(settings.pcrRepetitionLimit, "PCRRepetitionLimit", this);
  ptsLimit_ = LimitBox(settings.ptsRepetitionLimit, "PTSRepetitionLimit", this);
  limits->addRow("PCR repetition limit:", pcrLimit_);
  limits->addRow("PTS repetition limit:", ptsLimit_);
  layout->addLayout(limits);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

TCheckSettings TValidatorSettingsDialog::Settings() const {
  TCheckSettings settings = settings_;
  for (size_t i = 0; i < checks_.size(); ++i)
    if (checks_[i] != nullptr) settings.enabled[i] = checks_[i]->isChecked();
  settings.thirdPriority = third_->isChecked();
  settings.pcrRepetitionLimit = pcrLimit_->value() / 1000.0;
  settings.ptsRepetitionLimit = ptsLimit_->value() / 1000.0;
  return settings;
}

}  // namespace tessaro

extern "C" __attribute__((visibility("default"))) bool PelvanorEditSettings(tessaro::TCheckSettings* settings) {
  if (settings == nullptr || qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return false;
  tessaro::TValidatorSettingsDialog dialog(*settings, QApplication::activeWindow());
  if (dialog.exec() != QDialog::Accepted) return false;
  *settings = dialog.Settings();
  return true;
}
