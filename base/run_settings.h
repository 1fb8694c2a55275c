// Process-wide defaults of the run, read and written through get/set functions
// (base/setting.h): called with a value they store it, and they always return
// the current value. The built-in values are those of a program that has not
// run the framework start-up; the start-up stores the values of the run.
#pragma once

#include <optional>

namespace kx {

// Date text: "dd-mm-yyyy" when on, "dd-mm-yy" when off. Built in: off.
bool FourDigitYears(std::optional<bool> on = std::nullopt);
// First year of the hundred-year window in which two-digit years are read:
// with 1920, 20..99 are 1920..1999 and 00..19 are 2000..2019. Built in: 1920.
int EpochYear(std::optional<int> year = std::nullopt);
// Walks of every table skip records marked as deleted. Built in: off (shown).
bool DeletedHidden(std::optional<bool> on = std::nullopt);
// A table opens for this program alone unless the open asks for sharing.
// Built in: on.
bool ExclusiveByDefault(std::optional<bool> on = std::nullopt);

// Text-mode entry settings; kept for completeness, nothing in the tools reads
// them. Built in: confirm off, escape on, intensity on, scoreboard on, menu
// wrap off.
bool EntryConfirm(std::optional<bool> on = std::nullopt);
bool EscapeKey(std::optional<bool> on = std::nullopt);
bool Intensity(std::optional<bool> on = std::nullopt);
bool Scoreboard(std::optional<bool> on = std::nullopt);
bool MenuWrap(std::optional<bool> on = std::nullopt);

// Every setting above back to its built-in value (for tests).
void ResetRunSettings();

}  // namespace kx
