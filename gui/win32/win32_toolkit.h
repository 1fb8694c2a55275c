// The Win32 implementation of the gui interfaces: dialogs from the program's
// dialog resources, with meters, lists and pictures as custom controls.
//
// The dialog templates name the custom controls by the window classes of
// resources/updater_ids.h ("KxMeter", "KxList", "KxPicture"); NewToolkit
// registers them. Texts are Windows-1252 inside the program and are handed to
// the system as UTF-16, so the dialogs read right whatever the system's code
// page.
#pragma once

#include <memory>

#include "gui/toolkit.h"

namespace kx::gui::win32 {

// A toolkit on the resources of `module` (an HINSTANCE; null: the program's
// own file). Registers the custom control classes for that module.
std::unique_ptr<Toolkit> NewToolkit(void* module = nullptr);

// Registers the window classes of the custom controls; true when they are
// registered (also when they already were).
bool RegisterControlClasses(void* module);

// Messages the custom controls answer, so that a test (also one in another
// process) can read what they show. Their window texts hold what they show,
// too: a meter its caption, a picture the name of its bitmap, a list its
// shown rows (cells separated by tabs, rows by CR LF; a bitmap cell as the
// bitmap's name).
enum : unsigned {
  kMsgMeterValue = 0x0400 + 0x300,  // WM_USER + 0x300: the meter's value
  kMsgMeterTotal,                   // its total
  kMsgMeterPercent,                 // the whole percent it paints
  kMsgMeterBarWidth,                // pixels painted in the bar colours
  kMsgListRowCount,                 // rows of the last paint
  kMsgListRowHeight,                // pixel height of a row (and of the header)
  kMsgListVisibleRows,              // data rows the list has room for
  kMsgPictureTransparent,           // 1 when the picture draws transparent
  kMsgPictureBitmapSize,            // MAKELONG(width, height) of the bitmap shown
};

}  // namespace kx::gui::win32
