#include "base/run_settings.h"

#include "base/module_variables.h"
#include "base/setting.h"

namespace kx {
namespace {

struct RunSettings {
  Setting<bool> four_digit_years{false};
  Setting<int> epoch_year{1920};
  Setting<bool> deleted_hidden{false};
  Setting<bool> exclusive{true};
  Setting<bool> confirm{false};
  Setting<bool> escape{true};
  Setting<bool> intensity{true};
  Setting<bool> scoreboard{true};
  Setting<bool> wrap{false};
};

KX_MODULE_VARIABLES(9);  // the members of RunSettings

RunSettings& S() {
  static RunSettings settings;
  return settings;
}

}  // namespace

bool FourDigitYears(std::optional<bool> on) { return S().four_digit_years(on); }
int EpochYear(std::optional<int> year) { return S().epoch_year(year); }
bool DeletedHidden(std::optional<bool> on) { return S().deleted_hidden(on); }
bool ExclusiveByDefault(std::optional<bool> on) { return S().exclusive(on); }
bool EntryConfirm(std::optional<bool> on) { return S().confirm(on); }
bool EscapeKey(std::optional<bool> on) { return S().escape(on); }
bool Intensity(std::optional<bool> on) { return S().intensity(on); }
bool Scoreboard(std::optional<bool> on) { return S().scoreboard(on); }
bool MenuWrap(std::optional<bool> on) { return S().wrap(on); }

void ResetRunSettings() { S() = RunSettings(); }

}  // namespace kx
