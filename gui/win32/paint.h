// Painting of the custom controls, as free functions on a device context, and
// the text conversions the Win32 layer needs. Internal to gui/win32.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/browse_look.h"
#include "gui/look.h"
#include "gui/meter.h"
#include "gui/table_list.h"

namespace kx::gui::win32 {

// Windows-1252 bytes to UTF-16 and back (a character outside the code page
// becomes '?').
std::wstring Wide(const std::string& cp1252);
std::string Narrow(const std::wstring& text);

COLORREF ToColorRef(Color c);
COLORREF ToColorRef(const framework::LookColor& c);

// A font for `spec`; the caller deletes it.
HFONT MakeFont(const FontSpec& spec);

// Pixels of a meter `width` wide drawn in the bar colours: the value's share
// of the total, a total of 0 counting as 1, never outside 0 ... width.
int MeterBarWidth(int width, int64_t value, int64_t total);

// Paints a meter into `rc`: the bar up to the value in the bar colours, the
// rest in the other colours, and `caption` centred over both, each part of it
// in the text colour of the part it lies on.
void PaintMeter(HDC dc, const RECT& rc, HFONT font, const std::string& caption, int64_t value, int64_t total,
                const MeterColors& colors);

// Everything a list paint needs.
struct ListPaint {
  std::vector<ListColumn> columns;
  std::vector<ListRow> rows;       // from the current record on
  framework::BrowseLook look;      // taken when the list was created
  ListLook own;                    // the list's own colours and line style
  HFONT row_font = nullptr;
  HFONT header_font = nullptr;
  bool focused = false;
  int64_t first_position = 0;      // record position of the first row
  std::function<HBITMAP(const std::string&)> bitmap;  // a cell's bitmap by name
};

// Row height (of the header and of every data row) for the list's font.
int ListRowHeight(HDC dc, const ListPaint& p);
// Data rows that fit below the header in a list `height` pixels high, the
// last one possibly cut.
int ListVisibleRows(int height, int row_height);

// Paints the header, the rows (the first one selected), the cell frames and
// the blank rows below the last record.
void PaintList(HDC dc, const RECT& rc, const ListPaint& p);

// Draws `bitmap` centred in `rc` (cut where it is larger); transparent: the
// colour of its top-left pixel is not drawn.
void DrawBitmapCentred(HDC dc, const RECT& rc, HBITMAP bitmap, bool transparent);

}  // namespace kx::gui::win32
