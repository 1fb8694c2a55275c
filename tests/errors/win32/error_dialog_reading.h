// Reading the error dialog through Win32, from the process that shows it or
// from another one: its controls, the list, a screenshot.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace kx::test {

inline const wchar_t kErrorDialogTitle[] = L"KX Rivoroderod Uzizarirero: Librer\u00eda para Windows";

struct ShownControl {
  HWND hwnd;
  std::wstring cls;
  std::wstring text;
  RECT rect;  // in the dialog's client pixels
  LONG style;
};

inline std::wstring ClassOf(HWND hwnd) {
  wchar_t buf[256] = {};
  GetClassNameW(hwnd, buf, 256);
  return buf;
}

inline std::wstring TextOf(HWND hwnd) {
  wchar_t buf[1024] = {};
  GetWindowTextW(hwnd, buf, 1024);
  return buf;
}

// The children of `dialog` in their order (the tab order).
inline std::vector<ShownControl> ShownControls(HWND dialog) {
  std::vector<ShownControl> out;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    ShownControl s{c, ClassOf(c), TextOf(c), {}, GetWindowLongW(c, GWL_STYLE)};
    GetWindowRect(c, &s.rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&s.rect), 2);
    out.push_back(s);
  }
  return out;
}

inline HWND ChildByText(HWND dialog, const std::wstring& text) {
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (TextOf(c) == text) return c;
  return nullptr;
}

inline HWND ChildByClass(HWND dialog, const std::wstring& cls) {
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (ClassOf(c) == cls) return c;
  return nullptr;
}

inline std::vector<std::wstring> ListLines(HWND list) {
  std::vector<std::wstring> out;
  LRESULT n = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    LRESULT len = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring w(static_cast<size_t>(len > 0 ? len : 0) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(w.data()));
    w.resize(static_cast<size_t>(len > 0 ? len : 0));
    out.push_back(w);
  }
  return out;
}

// The visible error dialog of a thread (thread 0: of any thread of process
// `pid`), or null.
inline HWND FindErrorDialog(DWORD thread, DWORD pid = 0) {
  for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", kErrorDialogTitle); w;
       w = FindWindowExW(nullptr, w, L"#32770", kErrorDialogTitle)) {
    DWORD p = 0;
    DWORD t = GetWindowThreadProcessId(w, &p);
    if ((thread == 0 || t == thread) && (pid == 0 || p == pid) && IsWindowVisible(w)) return w;
  }
  return nullptr;
}

inline std::string Show(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
         std::to_string(r.bottom - r.top);
}

// What the window shows on screen, frame included, into a 24-bit .bmp file.
inline bool SaveWindowShot(HWND hwnd, const std::string& path) {
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT rc;
  GetWindowRect(hwnd, &rc);
  int w = rc.right - rc.left, h = rc.bottom - rc.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
  GdiFlush();
  DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(sizeof fh + sizeof bi.bmiHeader + stride * h), 0, 0,
                      static_cast<DWORD>(sizeof fh + sizeof bi.bmiHeader)};
  bool ok = false;
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
         std::fwrite(bits, stride * h, 1, f) == 1;
    ok = std::fclose(f) == 0 && ok;
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace kx::test
