// The error dialog of the Windows build: a modal dialog with the description,
// the call sequence and the buttons "&Reintentar" (when a retry is offered),
// "&Salir" and "&Defecto". Escape and the close box answer as "&Salir".
//
// The dialog is made from an empty in-memory template; its controls are
// created when it initialises, at the pixel positions of LayOutErrorDialog,
// and the window is sized so that its client area is the layout's. It runs
// its own modal loop, so it also works while another modal dialog of the
// program (the progress dialog) is open: that one becomes its owner and is
// disabled until the answer.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "errors/error_dialog_layout.h"
#include "errors/error_trap.h"

namespace kx {

namespace {

// Control identifiers. "&Salir" is IDCANCEL, so that Escape and the close box
// reach it; no control is IDOK, so Enter does nothing without a default button.
enum : int {
  kIdDescription = 100,
  kIdLogLabel,
  kIdSequencesLabel,
  kIdCallList,
  kIdRetry,
  kIdDefault,
  kIdLeave = IDCANCEL,
};

// What the dialog ends with.
enum : INT_PTR { kEndLeave = 1000, kEndRetry, kEndDefault };

std::wstring Wide(const std::string& cp1252) {
  if (cp1252.empty()) return {};
  int n = MultiByteToWideChar(1252, 0, cp1252.data(), static_cast<int>(cp1252.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(1252, 0, cp1252.data(), static_cast<int>(cp1252.size()), out.data(), n);
  return out;
}

bool NtFamily() { return (GetVersion() & 0x80000000u) == 0; }

// The face and height of the system's default GUI font; the width is left to
// the font mapper.
HFONT MakeDialogFont() {
  LOGFONTW stock{};
  HGDIOBJ gui = GetStockObject(DEFAULT_GUI_FONT);
  if (!gui || GetObjectW(gui, sizeof stock, &stock) == 0) return nullptr;
  LOGFONTW lf{};
  lf.lfHeight = stock.lfHeight;
  lf.lfCharSet = DEFAULT_CHARSET;
  std::wcsncpy(lf.lfFaceName, stock.lfFaceName, LF_FACESIZE - 1);
  return CreateFontIndirectW(&lf);
}

// The window the dialog belongs to: the active window of this thread, else
// the foreground window when this thread owns it, else none.
HWND OwnerWindow() {
  HWND w = GetActiveWindow();
  if (w) return w;
  HWND f = GetForegroundWindow();
  if (f && GetWindowThreadProcessId(f, nullptr) == GetCurrentThreadId()) return f;
  return nullptr;
}

struct DialogData {
  const ErrorDialogLayout* layout;
  const std::vector<std::string>* call_lines;
  HFONT font;
};

SIZE TextSize(HWND hwnd, HFONT font, const std::wstring& text) {
  RECT r{0, 0, 0, 0};
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE);
  if (old) SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

int IdOf(ErrorDialogItem item) {
  switch (item) {
    case ErrorDialogItem::Description: return kIdDescription;
    case ErrorDialogItem::LogLabel: return kIdLogLabel;
    case ErrorDialogItem::SequencesLabel: return kIdSequencesLabel;
    case ErrorDialogItem::CallList: return kIdCallList;
    case ErrorDialogItem::RetryButton: return kIdRetry;
    case ErrorDialogItem::LeaveButton: return kIdLeave;
    case ErrorDialogItem::DefaultButton: return kIdDefault;
  }
  return 0;
}

void CreateControls(HWND dlg, const DialogData& data) {
  HINSTANCE inst = GetModuleHandleW(nullptr);
  for (const ErrorDialogControl& c : data.layout->controls) {
    const wchar_t* cls = L"Static";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD ex = 0;
    switch (c.item) {
      case ErrorDialogItem::Description:
        style |= SS_CENTER | SS_NOPREFIX;
        break;
      case ErrorDialogItem::LogLabel:
      case ErrorDialogItem::SequencesLabel:
        style |= SS_LEFTNOWORDWRAP;
        break;
      case ErrorDialogItem::CallList:
        cls = L"ListBox";
        style |= WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS;
        ex = WS_EX_CLIENTEDGE;
        break;
      case ErrorDialogItem::RetryButton:
      case ErrorDialogItem::LeaveButton:
      case ErrorDialogItem::DefaultButton:
        cls = L"Button";
        style |= WS_TABSTOP | (c.default_button ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        break;
    }
    std::wstring text = Wide(c.text);
    int w = c.width, h = c.height;
    if (w == 0 && h == 0) {
      SIZE s = TextSize(dlg, data.font, text);
      w = s.cx;
      h = s.cy;
    }
    HWND ctl = CreateWindowExW(ex, cls, text.c_str(), style, c.x, c.y, w, h, dlg,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf(c.item))), inst, nullptr);
    if (!ctl) continue;
    if (data.font) SendMessageW(ctl, WM_SETFONT, reinterpret_cast<WPARAM>(data.font), FALSE);
    if (c.item == ErrorDialogItem::CallList) {
      for (const auto& line : *data.call_lines) {
        std::wstring l = Wide(line);
        SendMessageW(ctl, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(l.c_str()));
      }
      SendMessageW(ctl, LB_SETCURSEL, 0, 0);
    }
    if (c.default_button) SendMessageW(dlg, DM_SETDEFID, IdOf(c.item), 0);
  }
}

// Sizes the window around the layout's client area, centred on the screen.
void PlaceWindow(HWND dlg, const ErrorDialogLayout& layout) {
  RECT r{0, 0, layout.client_width, layout.client_height};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(dlg, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(dlg, GWL_EXSTYLE)));
  int w = r.right - r.left, h = r.bottom - r.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  SetWindowPos(dlg, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      const auto* data = reinterpret_cast<const DialogData*>(lp);
      SetWindowTextW(dlg, Wide(data->layout->title).c_str());
      if (data->font) SendMessageW(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(data->font), FALSE);
      CreateControls(dlg, *data);
      PlaceWindow(dlg, *data->layout);
      if (HWND list = GetDlgItem(dlg, kIdCallList)) SetFocus(list);
      return FALSE;  // focus set here
    }
    case WM_COMMAND:
      if (HIWORD(wp) != BN_CLICKED) break;
      switch (LOWORD(wp)) {
        case kIdLeave: EndDialog(dlg, kEndLeave); return TRUE;
        case kIdDefault: EndDialog(dlg, kEndDefault); return TRUE;
        case kIdRetry:
          if (GetDlgItem(dlg, kIdRetry)) EndDialog(dlg, kEndRetry);
          return TRUE;
      }
      break;
    case WM_CLOSE:
      EndDialog(dlg, kEndLeave);
      return TRUE;
  }
  return FALSE;
}

class Win32ErrorPrompt : public ErrorPrompt {
 public:
  DialogChoice Ask(const std::string& description_text, const std::vector<std::string>& call_lines,
                   bool offer_retry) override {
    ErrorDialogLayout layout = LayOutErrorDialog(NtFamily(), offer_retry, description_text);
    DialogData data{&layout, &call_lines, MakeDialogFont()};
    // An empty template: a captioned popup with a close box and no controls.
    // The window is sized and filled when it initialises.
    std::vector<WORD> tpl(16, 0);
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;
    tpl[0] = LOWORD(style);
    tpl[1] = HIWORD(style);
    // exstyle, no items, x, y, cx, cy, no menu, the default class, no title: all 0.
    INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(tpl.data()),
                                             OwnerWindow(), DialogProc, reinterpret_cast<LPARAM>(&data));
    if (data.font) DeleteObject(data.font);
    if (result == kEndRetry) return DialogChoice::Retry;
    if (result == kEndDefault) return DialogChoice::Default;
    return DialogChoice::Leave;  // "&Salir", Escape, the close box, or no dialog at all
  }
};

}  // namespace

ErrorPrompt* DefaultErrorPrompt() {
  static Win32ErrorPrompt prompt;
  return &prompt;
}

}  // namespace kx
