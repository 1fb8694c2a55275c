#include "errors/error_dialog_layout.h"

namespace kx {

namespace {

// Grid units (top, left, width, height) to client pixels.
ErrorDialogControl At(ErrorDialogItem item, std::string text, int top, int left, int width, int height) {
  constexpr int k = kErrorDialogPixelsPerUnit;
  ErrorDialogControl c;
  c.item = item;
  c.text = std::move(text);
  c.x = left * k;
  c.y = top * k;
  c.width = width * k;
  c.height = height * k;
  return c;
}

}  // namespace

const ErrorDialogControl* ErrorDialogLayout::Find(ErrorDialogItem item) const {
  for (const auto& c : controls)
    if (c.item == item) return &c;
  return nullptr;
}

ErrorDialogLayout LayOutErrorDialog(bool nt, bool offer_retry, const std::string& description_text) {
  constexpr int k = kErrorDialogPixelsPerUnit;
  ErrorDialogLayout d;
  d.title = "KX Rivoroderod Uzizarirero: Librería para Windows";
  d.client_width = 150 * k;
  d.client_height = (nt ? 125 : 100) * k;
  const int button_top = nt ? 111 : 87;

  // The description spans from (3, 22) to bottom 25, right 148.
  d.controls.push_back(At(ErrorDialogItem::Description, description_text, 3, 22, 148 - 22, 25 - 3));
  d.controls.push_back(At(ErrorDialogItem::LogLabel, "Vea fichero Error.log", 24, 90, 0, 0));
  d.controls.push_back(At(ErrorDialogItem::SequencesLabel, "&Secuencias", 24, 6, 0, 0));
  d.controls.push_back(At(ErrorDialogItem::CallList, "", 33, 3, 145, nt ? 78 : 60));
  if (offer_retry) d.controls.push_back(At(ErrorDialogItem::RetryButton, "&Reintentar", button_top, 13, 30, 12));
  ErrorDialogControl leave = At(ErrorDialogItem::LeaveButton, "&Salir", button_top, offer_retry ? 60 : 37, 30, 12);
  leave.default_button = offer_retry;
  d.controls.push_back(leave);
  d.controls.push_back(At(ErrorDialogItem::DefaultButton, "&Defecto", button_top, 108, 30, 12));
  return d;
}

}  // namespace kx
