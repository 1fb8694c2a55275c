#include "gui/win32/paint.h"

#include <algorithm>

namespace kx::gui::win32 {

std::wstring Wide(const std::string& cp1252) {
  if (cp1252.empty()) return {};
  int n = MultiByteToWideChar(1252, 0, cp1252.data(), static_cast<int>(cp1252.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(1252, 0, cp1252.data(), static_cast<int>(cp1252.size()), out.data(), n);
  return out;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(1252, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, "?", nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(1252, 0, text.data(), static_cast<int>(text.size()), out.data(), n, "?", nullptr);
  return out;
}

COLORREF ToColorRef(Color c) { return RGB(c.r, c.g, c.b); }

COLORREF ToColorRef(const framework::LookColor& c) {
  return c.is_system() ? GetSysColor(c.system_index) : static_cast<COLORREF>(c.rgb);
}

HFONT MakeFont(const FontSpec& spec) {
  std::wstring face = Wide(spec.face);
  return CreateFontW(spec.height, spec.width, 0, 0, spec.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                     ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, face.c_str());
}

int MeterBarWidth(int width, int64_t value, int64_t total) {
  if (width <= 0) return 0;
  if (total <= 0) total = 1;
  value = std::clamp<int64_t>(value, 0, total);
  return static_cast<int>(static_cast<int64_t>(width) * value / total);
}

namespace {

void Fill(HDC dc, const RECT& rc, COLORREF color) {
  SetBkColor(dc, color);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

void Text(HDC dc, const RECT& rc, const std::wstring& text, COLORREF color, UINT format) {
  SetTextColor(dc, color);
  SetBkMode(dc, TRANSPARENT);
  RECT r = rc;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_SINGLELINE | DT_NOPREFIX);
}

void HLine(HDC dc, int x0, int x1, int y) {
  MoveToEx(dc, x0, y, nullptr);
  LineTo(dc, x1, y);
}

void VLine(HDC dc, int x, int y0, int y1) {
  MoveToEx(dc, x, y0, nullptr);
  LineTo(dc, x, y1);
}

}  // namespace

void PaintMeter(HDC dc, const RECT& rc, HFONT font, const std::string& caption, int64_t value, int64_t total,
                const MeterColors& colors) {
  int width = rc.right - rc.left;
  int bar = MeterBarWidth(width, value, total);
  RECT done = {rc.left, rc.top, rc.left + bar, rc.bottom};
  RECT rest = {rc.left + bar, rc.top, rc.right, rc.bottom};
  Fill(dc, done, ToColorRef(colors.bar_back));
  Fill(dc, rest, ToColorRef(colors.rest_back));
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  std::wstring text = Wide(caption);
  const UINT format = DT_CENTER | DT_VCENTER;
  for (int part = 0; part < 2; ++part) {
    const RECT& clip = part == 0 ? done : rest;
    if (clip.right <= clip.left) continue;
    int saved = SaveDC(dc);
    IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    Text(dc, rc, text, ToColorRef(part == 0 ? colors.bar_text : colors.rest_text), format);
    RestoreDC(dc, saved);
  }
  if (old) SelectObject(dc, old);
}

int ListRowHeight(HDC dc, const ListPaint& p) {
  HGDIOBJ old = p.row_font ? SelectObject(dc, p.row_font) : nullptr;
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  if (old) SelectObject(dc, old);
  return framework::BrowseRowHeight(p.look, tm.tmHeight);
}

int ListVisibleRows(int height, int row_height) {
  if (row_height <= 0 || height <= row_height) return 0;
  return (height - row_height + row_height - 1) / row_height;
}

void PaintList(HDC dc, const RECT& rc, const ListPaint& p) {
  const framework::BrowseLook& look = p.look;
  const int rh = ListRowHeight(dc, p);
  const int line_style = p.own.line_style;
  const bool blank_rows = look.blank_rows && line_style != framework::kLineClassic;
  // The list's own colours stand for the rows when they do not alternate.
  framework::BrowseLook rows_look = look;
  if (p.own.background.kind == Brush::Kind::Rgb) {
    rows_look.row_back = framework::LookColor::Of(ToColorRef(p.own.background.color));
  } else {
    rows_look.row_back = framework::LookColor::System(
        p.own.background.kind == Brush::Kind::SystemButtonFace ? COLOR_BTNFACE : COLOR_WINDOW);
  }
  rows_look.row_text = framework::LookColor::Of(ToColorRef(p.own.text));
  COLORREF own_back = ToColorRef(rows_look.row_back);

  Fill(dc, rc, own_back);

  // Header: every cell in the header colours, framed in the button shadow
  // colour around a raised edge; the width after the last column likewise.
  HGDIOBJ old_font = SelectObject(dc, p.header_font ? p.header_font : p.row_font);
  HPEN shadow = CreatePen(PS_SOLID, 1, ToColorRef(look.header_frame));
  HGDIOBJ old_pen = SelectObject(dc, shadow);
  int x = rc.left;
  auto header_cell = [&](int x0, int x1, const std::wstring& text) {
    RECT cell = {x0, rc.top, x1, rc.top + rh};
    Fill(dc, cell, ToColorRef(look.header_back));
    RECT edge = {x0 + 1, rc.top + 1, x1 - 1, rc.top + rh - 1};
    DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, x0, rc.top, x1, rc.top + rh);
    RECT inner = {x0 + 4, rc.top + 1, x1 - 3, rc.top + rh - 1};
    Text(dc, inner, text, ToColorRef(look.header_text), DT_LEFT | DT_VCENTER | DT_END_ELLIPSIS);
  };
  for (const ListColumn& col : p.columns) {
    header_cell(x, x + col.width, Wide(col.header));
    x += col.width;
  }
  if (x < rc.right) header_cell(x, rc.right, L"");
  SelectObject(dc, old_pen);
  DeleteObject(shadow);

  // Data rows, then blank rows down to the bottom.
  SelectObject(dc, p.row_font);
  HPEN grid = nullptr;
  if (line_style == framework::kLineSolid) {
    grid = CreatePen(PS_SOLID, 1, ToColorRef(look.line_color));
  } else if (line_style == framework::kLineDotted) {
    LOGBRUSH lb = {BS_SOLID, RGB(0, 0, 0), 0};
    grid = ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &lb, 0, nullptr);
  }
  int columns_width = 0;
  for (const ListColumn& col : p.columns) columns_width += col.width;
  const int visible = ListVisibleRows(rc.bottom - rc.top, rh);
  const int drawn = blank_rows ? visible : std::min<int>(visible, static_cast<int>(p.rows.size()));
  for (int r = 0; r < drawn; ++r) {
    const int y0 = rc.top + rh * (r + 1);
    const bool data = r < static_cast<int>(p.rows.size());
    const bool selected = data && r == 0;
    framework::RowColors colors = framework::BrowseRowColors(rows_look, p.first_position + r);
    COLORREF back = ToColorRef(colors.back);
    COLORREF fore = ToColorRef(colors.text);
    if (selected) {
      back = ToColorRef(p.focused ? look.focus_back : look.unfocused_back);
      fore = ToColorRef(look.focus_text);
    }
    RECT row = {rc.left, y0, rc.right, y0 + rh};
    Fill(dc, row, back);
    int cx = rc.left;
    for (size_t c = 0; c < p.columns.size(); ++c) {
      const ListColumn& col = p.columns[c];
      RECT cell = {cx, y0, cx + col.width, y0 + rh};
      if (data && c < p.rows[r].size()) {
        const ListCell& value = p.rows[r][c];
        if (col.kind == ListColumn::Kind::Bitmap) {
          HBITMAP bmp = p.bitmap && !value.bitmap.empty() ? p.bitmap(value.bitmap) : nullptr;
          if (bmp) {
            RECT inner = {cell.left + 1, cell.top + 1, cell.right, cell.bottom};
            DrawBitmapCentred(dc, inner, bmp, true);
          }
        } else {
          RECT inner = {cell.left + 3, cell.top + 1, cell.right - 2, cell.bottom};
          Text(dc, inner, Wide(value.text), fore, DT_LEFT | DT_VCENTER | DT_END_ELLIPSIS);
        }
      }
      cx += col.width;
    }
    if (grid) {
      // One-pixel frames round every cell; neighbours share their lines.
      HGDIOBJ prev = SelectObject(dc, grid);
      HLine(dc, rc.left, rc.left + columns_width, y0 + rh - 1);
      int gx = rc.left;
      for (const ListColumn& col : p.columns) {
        VLine(dc, gx, y0, y0 + rh);
        gx += col.width;
      }
      VLine(dc, gx - 1, y0, y0 + rh);
      SelectObject(dc, prev);
    }
  }
  if (grid) DeleteObject(grid);
  SelectObject(dc, old_font);
}

void DrawBitmapCentred(HDC dc, const RECT& rc, HBITMAP bitmap, bool transparent) {
  BITMAP bm{};
  if (!bitmap || !GetObjectW(bitmap, sizeof bm, &bm)) return;
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bitmap);
  int w = bm.bmWidth, h = bm.bmHeight;
  int x = rc.left + ((rc.right - rc.left) - w) / 2;
  int y = rc.top + ((rc.bottom - rc.top) - h) / 2;
  int saved = SaveDC(dc);
  IntersectClipRect(dc, rc.left, rc.top, rc.right, rc.bottom);
  if (transparent) {
    COLORREF key = GetPixel(mem, 0, 0);
    TransparentBlt(dc, x, y, w, h, mem, 0, 0, w, h, key);
  } else {
    BitBlt(dc, x, y, w, h, mem, 0, 0, SRCCOPY);
  }
  RestoreDC(dc, saved);
  SelectObject(mem, old);
  DeleteDC(mem);
}

}  // namespace kx::gui::win32
