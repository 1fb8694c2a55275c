// Geometry and fixed texts of the error dialog, apart from any window system:
// the Win32 dialog places its controls by it, and tests check it natively.
//
// The controls sit on a grid of two pixels a unit; the layout gives them in
// pixels of the dialog's client area, already doubled.
#pragma once

#include <string>
#include <vector>

namespace kx {

enum class ErrorDialogItem {
  Description,     // the description text, centred, "&" shown as such
  SequencesLabel,  // "&Secuencias"
  LogLabel,        // "Vea fichero Error.log"
  CallList,        // the call-sequence lines, first one selected
  RetryButton,     // "&Reintentar", only when a retry is offered
  LeaveButton,     // "&Salir"
  DefaultButton,   // "&Defecto"
};

struct ErrorDialogControl {
  ErrorDialogItem item;
  std::string text;  // Windows-1252; empty for the list
  int x = 0, y = 0;  // top left, client pixels
  // Size in pixels; 0 x 0 for a label that is fitted to its text.
  int width = 0, height = 0;
  bool default_button = false;
};

struct ErrorDialogLayout {
  std::string title;  // Windows-1252
  int client_width = 0, client_height = 0;
  // In tab order: a label comes right before the control its mnemonic
  // reaches ("&Secuencias" before the list).
  std::vector<ErrorDialogControl> controls;

  // The control of `item`, or null when the dialog has none (no retry offered).
  const ErrorDialogControl* Find(ErrorDialogItem item) const;
};

constexpr int kErrorDialogPixelsPerUnit = 2;

// The dialog for an error with the given description text. `nt`: the NT
// family of Windows, whose dialog is taller (list and buttons lower).
// "&Salir" is the default button only when a retry is offered; otherwise no
// button is.
ErrorDialogLayout LayOutErrorDialog(bool nt, bool offer_retry, const std::string& description_text);

}  // namespace kx
