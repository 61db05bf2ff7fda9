// The validator module's settings, kept between runs in the file
// Quindel/Pelvanor.conf of the user's configuration folder ($XDG_CONFIG_HOME,
// else ~/.config), in the INI form QSettings reads: which second- and
// third-priority checks are made, whether the third priority is made at all,
// and the PCR and PTS repetition limits. The module reads
// them without Qt, so loading it for a run costs no toolkit.
#pragma once

#include <string>

#include "validation/Indicators.h"

namespace tessaro {

// Limits the settings accept, in milliseconds.
inline constexpr int kLeastRepetitionLimitMs = 1;
inline constexpr int kGreatestRepetitionLimitMs = 10000;

std::string ValidatorSettingsPath();
// The stored settings; defaults for what is missing or out of range.
TCheckSettings LoadValidatorSettings();
bool SaveValidatorSettings(const TCheckSettings& settings);

}  // namespace tessaro
