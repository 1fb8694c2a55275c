// The error dialog of the Windows build. Until the dialog window of its own
// is in place, the choice falls back to "&Salir" (the program ends with 1).
#include "errors/error_trap.h"

namespace kx {

namespace {
class LeavePrompt : public ErrorPrompt {
 public:
  DialogChoice Ask(const std::string&, const std::vector<std::string>&, bool) override { return DialogChoice::Leave; }
};
}  // namespace

ErrorPrompt* DefaultErrorPrompt() {
  static LeavePrompt prompt;
  return &prompt;
}

}  // namespace kx
