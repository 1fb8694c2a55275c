// Watches the progress dialog of a running updater.exe from another process
// and writes what its controls show to a log, sample after sample, until the
// dialog has gone.
//   updater_probe LOG WAIT_SECONDS MIDDLE_VALUE END_VALUE
// The log is UTF-8, one line per fact:
//   found t=MS
//   screen w= h= work=L,T,R,B
//   base x= y=                   dialog base units of the template font
//   dialog x= y= w= h= cw= ch=   window rectangle and client size (pixels)
//   sample n= t=MS
//   c id= cls= x= y= w= h= style= [v= tot= pct= bar= steady=] [rows= rh= vis=] [tr= bw= bh=] text=...
//   phase start|middle|end       first sample; overall meter at MIDDLE_VALUE; at END_VALUE
//   closed t=MS
// Control positions are in the dialog's client pixels. Texts escape "\" as
// "\\", tab as "\t", CR as "\r" and LF as "\n". Exit code 0 once the dialog
// has appeared and closed, 1 when it never appeared within WAIT_SECONDS.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gui/win32/win32_toolkit.h"
#include "resources/updater_ids.h"

namespace {

using namespace kx::gui::win32;

std::string Utf8(const wchar_t* w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n > 0 ? n : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
  s.resize(s.size() - 1);
  return s;
}

std::string Escaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

// The window text as the system keeps it (no message reaches the program).
std::string TextOf(HWND hwnd) {
  static wchar_t buf[16384];
  buf[0] = 0;
  GetWindowTextW(hwnd, buf, 16384);
  return Utf8(buf);
}

// A message answered by the updater's thread, which only reads its queue
// between steps; -1 when it gave no answer in time.
long long Ask(HWND hwnd, UINT msg) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(hwnd, msg, 0, 0, SMTO_NORMAL, 5000, &result)) return -1;
  return static_cast<long long>(static_cast<LRESULT>(result));
}

HWND found_dialog = nullptr;

// The progress dialog: a top-level dialog whose control 110 is a company list.
BOOL CALLBACK FindDialog(HWND hwnd, LPARAM) {
  wchar_t cls[64];
  if (!GetClassNameW(hwnd, cls, 64) || wcscmp(cls, L"#32770") != 0) return TRUE;
  HWND list = GetDlgItem(hwnd, IDC_COMPANY_LIST);
  if (!list || !GetClassNameW(list, cls, 64) || _wcsicmp(cls, L"" KX_LIST_CLASS) != 0) return TRUE;
  found_dialog = hwnd;
  return FALSE;
}

// Base units of the template's font ("Arial" 8 points) as the dialog manager
// reckons them: average width of the 52 letters, rounded, and the font height.
void BaseUnits(int* x, int* y) {
  HDC dc = GetDC(nullptr);
  HFONT font = CreateFontW(-MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, 0, 0, PROOF_QUALITY, FF_DONTCARE, L"Arial");
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  const wchar_t letters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  GetTextExtentPoint32W(dc, letters, 52, &size);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  *x = (size.cx / 26 + 1) / 2;
  *y = tm.tmHeight;
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: updater_probe LOG WAIT_SECONDS MIDDLE_VALUE END_VALUE\n");
    return 2;
  }
  FILE* log = std::fopen(argv[1], "w");
  if (!log) return 2;
  const DWORD wait_ms = static_cast<DWORD>(std::atoi(argv[2])) * 1000;
  const long long middle = std::atoll(argv[3]), end = std::atoll(argv[4]);
  const DWORD start = GetTickCount();
  // The dialog manager creates the dialog hidden and shows it once it has
  // been initialised: sampling starts when it is on screen.
  while (!(found_dialog && IsWindowVisible(found_dialog)) && GetTickCount() - start < wait_ms) {
    found_dialog = nullptr;
    EnumWindows(FindDialog, 0);
    if (!(found_dialog && IsWindowVisible(found_dialog))) Sleep(5);
  }
  if (found_dialog && !IsWindowVisible(found_dialog)) found_dialog = nullptr;
  if (!found_dialog) {
    std::fprintf(log, "notfound t=%lu\n", GetTickCount() - start);
    std::fclose(log);
    return 1;
  }
  HWND dlg = found_dialog;
  std::fprintf(log, "found t=%lu\n", GetTickCount() - start);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  std::fprintf(log, "screen w=%d h=%d work=%ld,%ld,%ld,%ld\n", GetSystemMetrics(SM_CXSCREEN),
               GetSystemMetrics(SM_CYSCREEN), work.left, work.top, work.right, work.bottom);
  int bx = 0, by = 0;
  BaseUnits(&bx, &by);
  std::fprintf(log, "base x=%d y=%d\n", bx, by);
  int phase = 0;
  for (int n = 1; IsWindow(dlg); ++n) {
    RECT wr{}, cr{};
    GetWindowRect(dlg, &wr);
    GetClientRect(dlg, &cr);
    std::string out = "sample n=" + std::to_string(n) + " t=" + std::to_string(GetTickCount() - start) + "\n";
    char line[256];
    std::snprintf(line, sizeof line, "dialog x=%ld y=%ld w=%ld h=%ld cw=%ld ch=%ld visible=%d\n", wr.left, wr.top,
                  wr.right - wr.left, wr.bottom - wr.top, cr.right, cr.bottom, IsWindowVisible(dlg) ? 1 : 0);
    out += line;
    long long overall = -1;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      wchar_t cls[64] = L"";
      GetClassNameW(c, cls, 64);
      RECT r{};
      GetWindowRect(c, &r);
      MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
      std::string name = Utf8(cls);
      std::snprintf(line, sizeof line, "c id=%d cls=%s x=%ld y=%ld w=%ld h=%ld style=0x%lx", GetDlgCtrlID(c),
                    name.c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top,
                    static_cast<unsigned long>(GetWindowLongW(c, GWL_STYLE)));
      out += line;
      if (_wcsicmp(cls, L"" KX_METER_CLASS) == 0) {
        // The run goes on between two answers: the reads are kept as one
        // state only when the value and the caption did not change meanwhile.
        std::string before = TextOf(c);
        long long v = Ask(c, kMsgMeterValue), tot = Ask(c, kMsgMeterTotal), pct = Ask(c, kMsgMeterPercent),
                  bar = Ask(c, kMsgMeterBarWidth);
        bool steady = Ask(c, kMsgMeterValue) == v && Ask(c, kMsgMeterTotal) == tot && TextOf(c) == before;
        std::snprintf(line, sizeof line, " v=%lld tot=%lld pct=%lld bar=%lld steady=%d", v, tot, pct, bar,
                      steady ? 1 : 0);
        out += line;
        if (GetDlgCtrlID(c) == IDC_OVERALL_METER) overall = v;
      } else if (_wcsicmp(cls, L"" KX_LIST_CLASS) == 0) {
        std::snprintf(line, sizeof line, " rows=%lld rh=%lld vis=%lld", Ask(c, kMsgListRowCount),
                      Ask(c, kMsgListRowHeight), Ask(c, kMsgListVisibleRows));
        out += line;
      } else if (_wcsicmp(cls, L"" KX_PICTURE_CLASS) == 0) {
        long long size = Ask(c, kMsgPictureBitmapSize);
        std::snprintf(line, sizeof line, " tr=%lld bw=%lld bh=%lld", Ask(c, kMsgPictureTransparent),
                      size < 0 ? -1 : size & 0xFFFF, size < 0 ? -1 : (size >> 16) & 0xFFFF);
        out += line;
      }
      out += " text=" + Escaped(TextOf(c)) + "\n";
    }
    if (!IsWindow(dlg)) break;  // a sample of a dialog that closed meanwhile is not kept
    std::fputs(out.c_str(), log);
    if (phase == 0) {
      std::fputs("phase start\n", log);
      phase = 1;
    }
    if (phase == 1 && overall >= middle) {
      std::fputs("phase middle\n", log);
      phase = 2;
    }
    if (phase == 2 && overall >= end) {
      std::fputs("phase end\n", log);
      phase = 3;
    }
    std::fflush(log);
    Sleep(30);
  }
  std::fprintf(log, "closed t=%lu\n", GetTickCount() - start);
  std::fclose(log);
  return 0;
}
