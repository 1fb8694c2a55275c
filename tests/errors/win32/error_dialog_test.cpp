// The error dialog shown for real: a thread timer, fired inside the dialog's
// own modal loop, reads the controls back through Win32, keeps a screenshot
// and answers the dialog with a button, a key or the close box.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "errors/error_trap.h"
#include "tests/errors/win32/error_dialog_reading.h"
#include "tests/support/paths.h"

namespace kx {
namespace {

using test::ShownControl;

// One way of answering the dialog.
struct Step {
  enum Kind { Click, Key, CloseBox } kind;
  const wchar_t* button = nullptr;  // Click: the button's text
  UINT key = 0;                     // Key: the virtual key, sent to the control with the focus
};

// Shows the dialog through the build's prompt. Once it is on screen, `shown`
// runs on it; then the steps are taken one a tick while the dialog stays.
// A dialog that outlives its steps is reported and closed, so that a fault
// cannot hang the test.
class DialogDriver {
 public:
  DialogChoice Run(const std::string& description, const std::vector<std::string>& calls, bool retry,
                   std::vector<Step> steps, std::function<void(HWND)> shown = nullptr) {
    steps_ = std::move(steps);
    shown_ = std::move(shown);
    active_ = this;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, Tick);
    DialogChoice choice = DefaultErrorPrompt()->Ask(description, calls, retry);
    KillTimer(nullptr, timer);
    active_ = nullptr;
    EXPECT_TRUE(seen_) << "the dialog was never on screen";
    EXPECT_EQ(next_, steps_.size()) << "the dialog closed before its last step";
    return choice;
  }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (active_) active_->OnTick();
  }

  void OnTick() {
    HWND dlg = test::FindErrorDialog(GetCurrentThreadId());
    if (!dlg) return;
    if (!seen_) {
      seen_ = true;
      if (shown_) shown_(dlg);
    }
    if (next_ < steps_.size()) {
      Take(dlg, steps_[next_++]);
      return;
    }
    if (++idle_ > 100) {
      ADD_FAILURE() << "the dialog stayed open after its last step";
      EndDialog(dlg, 0);
    }
  }

  static void Take(HWND dlg, const Step& s) {
    switch (s.kind) {
      case Step::Click: {
        HWND b = test::ChildByText(dlg, s.button);
        EXPECT_NE(b, nullptr) << "no button";
        if (b) PostMessageW(b, BM_CLICK, 0, 0);
        break;
      }
      case Step::Key: {
        HWND focus = GetFocus();
        HWND target = focus && IsChild(dlg, focus) ? focus : dlg;
        PostMessageW(target, WM_KEYDOWN, s.key, 1);
        PostMessageW(target, WM_KEYUP, s.key, 0xC0000001);
        break;
      }
      case Step::CloseBox:
        PostMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
  }

  static DialogDriver* active_;
  std::vector<Step> steps_;
  std::function<void(HWND)> shown_;
  size_t next_ = 0;
  int idle_ = 0;
  bool seen_ = false;
};
DialogDriver* DialogDriver::active_ = nullptr;

const char kDescription[] = " Descripción del error: Error BASE/1081 Suma & resta: C:\\Datos\\Añadidos.dbf";
const wchar_t kDescriptionShown[] =
    L" Descripci\u00f3n del error: Error BASE/1081 Suma & resta: C:\\Datos\\A\u00f1adidos.dbf";
const std::vector<std::string> kCalls = {" Llamado desde TABLAS(212)", " Llamado desde COPIAEMP(88)",
                                         " Llamado desde ACTUA(140)", " Llamado desde MAIN(31)"};

LOGFONTW FontOf(HWND hwnd) {
  LOGFONTW lf{};
  auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
  if (font) GetObjectW(font, sizeof lf, &lf);
  return lf;
}

// Size of a text in a window's font, as a label fitted to it measures.
SIZE TextExtent(HWND hwnd, const std::wstring& text) {
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return SIZE{r.right, r.bottom};
}

struct WantControl {
  const wchar_t* cls;
  const wchar_t* text;  // null: the description
  int x, y, w, h;       // client pixels; w = h = 0: fitted to the text
  bool default_button;
};

// Everything the dialog shows, against the layout on NT-family Windows
// (Wine is one): a grid of two pixels a unit in a 300 x 250 client area.
void CheckShown(HWND dlg, bool retry, const std::vector<WantControl>& want, const std::string& shot) {
  EXPECT_EQ(test::ClassOf(dlg), L"#32770");
  EXPECT_EQ(test::TextOf(dlg), test::kErrorDialogTitle);
  LONG style = GetWindowLongW(dlg, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU) << "close box";
  EXPECT_FALSE(style & WS_CHILD);
  RECT client;
  GetClientRect(dlg, &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 250);
  RECT win;
  GetWindowRect(dlg, &win);
  EXPECT_LE(std::abs(win.left + win.right - GetSystemMetrics(SM_CXSCREEN)), 1) << test::Show(win);
  EXPECT_LE(std::abs(win.top + win.bottom - GetSystemMetrics(SM_CYSCREEN)), 1) << test::Show(win);
  EXPECT_EQ(GetWindow(dlg, GW_OWNER), nullptr) << "no window of the program was active";

  LOGFONTW stock{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof stock, &stock);
  std::vector<ShownControl> shown = test::ShownControls(dlg);
  ASSERT_EQ(shown.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    const WantControl& w = want[i];
    const ShownControl& s = shown[i];
    std::wstring text = w.text ? w.text : kDescriptionShown;
    SCOPED_TRACE(testing::Message() << "control " << i << " " << test::Show(s.rect));
    EXPECT_EQ(s.cls, w.cls);
    EXPECT_EQ(s.text, text);
    EXPECT_EQ(s.rect.left, w.x);
    EXPECT_EQ(s.rect.top, w.y);
    if (w.w == 0) {
      SIZE fit = TextExtent(s.hwnd, text);
      EXPECT_GT(fit.cx, 0);
      EXPECT_EQ(s.rect.right - s.rect.left, fit.cx);
      EXPECT_EQ(s.rect.bottom - s.rect.top, fit.cy);
    } else {
      EXPECT_EQ(s.rect.right - s.rect.left, w.w);
      EXPECT_EQ(s.rect.bottom - s.rect.top, w.h);
    }
    // The default GUI font's face and height, the width left to the font.
    LOGFONTW lf = FontOf(s.hwnd);
    EXPECT_STREQ(lf.lfFaceName, stock.lfFaceName);
    EXPECT_EQ(lf.lfHeight, stock.lfHeight);
    EXPECT_EQ(lf.lfWidth, 0);
    if (s.cls == L"Button") {
      EXPECT_EQ((s.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON, w.default_button);
      EXPECT_TRUE(s.style & WS_TABSTOP);
    }
  }
  // The description is centred and shows "&" as such; the label's "&" marks its mnemonic.
  HWND description = test::ChildByText(dlg, kDescriptionShown);
  ASSERT_NE(description, nullptr);
  EXPECT_EQ(GetWindowLongW(description, GWL_STYLE) & SS_TYPEMASK, SS_CENTER);
  EXPECT_TRUE(GetWindowLongW(description, GWL_STYLE) & SS_NOPREFIX);
  EXPECT_FALSE(GetWindowLongW(test::ChildByText(dlg, L"&Secuencias"), GWL_STYLE) & SS_NOPREFIX);

  HWND list = test::ChildByClass(dlg, L"ListBox");
  ASSERT_NE(list, nullptr);
  std::vector<std::wstring> lines = test::ListLines(list);
  ASSERT_EQ(lines.size(), kCalls.size());
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], std::wstring(kCalls[i].begin(), kCalls[i].end()));
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(GetFocus(), list);

  // Enter goes to "&Salir" when retry is offered; otherwise there is no default.
  LRESULT def = SendMessageW(dlg, DM_GETDEFID, 0, 0);
  HWND def_button = HIWORD(def) == DC_HASDEFID ? GetDlgItem(dlg, LOWORD(def)) : nullptr;
  if (retry)
    EXPECT_EQ(def_button, test::ChildByText(dlg, L"&Salir"));
  else
    EXPECT_TRUE(def_button == nullptr || test::ClassOf(def_button) != L"Button");

  EXPECT_TRUE(test::SaveWindowShot(dlg, test::BinaryPath(shot)));
}

TEST(ErrorDialogWin32, ShowsLayoutTextsAndFont) {
  struct Case {
    bool retry;
    std::vector<WantControl> want;
    const char* shot;
  } cases[] = {
      {true,
       {{L"Static", nullptr, 44, 6, 252, 44, false},
        {L"Static", L"Vea fichero Error.log", 180, 48, 0, 0, false},
        {L"Static", L"&Secuencias", 12, 48, 0, 0, false},
        {L"ListBox", L"", 6, 66, 290, 156, false},
        {L"Button", L"&Reintentar", 26, 222, 60, 24, false},
        {L"Button", L"&Salir", 120, 222, 60, 24, true},
        {L"Button", L"&Defecto", 216, 222, 60, 24, false}},
       "error_dialog_three_buttons.bmp"},
      {false,
       {{L"Static", nullptr, 44, 6, 252, 44, false},
        {L"Static", L"Vea fichero Error.log", 180, 48, 0, 0, false},
        {L"Static", L"&Secuencias", 12, 48, 0, 0, false},
        {L"ListBox", L"", 6, 66, 290, 156, false},
        {L"Button", L"&Salir", 74, 222, 60, 24, false},
        {L"Button", L"&Defecto", 216, 222, 60, 24, false}},
       "error_dialog_two_buttons.bmp"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shot);
    DialogDriver driver;
    DialogChoice choice = driver.Run(kDescription, kCalls, c.retry, {{Step::Click, L"&Defecto"}},
                                     [&](HWND dlg) { CheckShown(dlg, c.retry, c.want, c.shot); });
    EXPECT_EQ(choice, DialogChoice::Default);
  }
}

TEST(ErrorDialogWin32, AnswersOfButtonsKeysAndCloseBox) {
  struct Case {
    const char* name;
    bool retry;
    std::vector<Step> steps;
    DialogChoice want;
  } cases[] = {
      {"Reintentar", true, {{Step::Click, L"&Reintentar"}}, DialogChoice::Retry},
      {"Salir with retry", true, {{Step::Click, L"&Salir"}}, DialogChoice::Leave},
      {"Defecto with retry", true, {{Step::Click, L"&Defecto"}}, DialogChoice::Default},
      {"Salir", false, {{Step::Click, L"&Salir"}}, DialogChoice::Leave},
      {"Defecto", false, {{Step::Click, L"&Defecto"}}, DialogChoice::Default},
      {"Escape", true, {{Step::Key, nullptr, VK_ESCAPE}}, DialogChoice::Leave},
      {"Escape without retry", false, {{Step::Key, nullptr, VK_ESCAPE}}, DialogChoice::Leave},
      {"close box", true, {{Step::CloseBox}}, DialogChoice::Leave},
      {"close box without retry", false, {{Step::CloseBox}}, DialogChoice::Leave},
      // Enter presses the default button "&Salir"...
      {"Enter with retry", true, {{Step::Key, nullptr, VK_RETURN}}, DialogChoice::Leave},
      // ...and does nothing where no button is the default.
      {"Enter without retry", false, {{Step::Key, nullptr, VK_RETURN}, {Step::Click, L"&Defecto"}},
       DialogChoice::Default},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DialogDriver driver;
    EXPECT_EQ(driver.Run(kDescription, kCalls, c.retry, c.steps), c.want);
  }
}

TEST(ErrorDialogWin32, EmptyCallSequence) {
  DialogDriver driver;
  bool checked = false;
  DialogChoice choice = driver.Run(" Descripción del error: Error BASE/1", {}, false, {{Step::Click, L"&Defecto"}},
                                   [&](HWND dlg) {
                                     HWND list = test::ChildByClass(dlg, L"ListBox");
                                     EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 0);
                                     EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
                                     checked = true;
                                   });
  EXPECT_TRUE(checked);
  EXPECT_EQ(choice, DialogChoice::Default);
}

// An error raised inside another modal dialog's loop (the progress dialog's
// company loop): the error dialog is owned by that dialog, which stays
// disabled until the answer and is usable again afterwards.
struct OuterRun {
  DialogChoice choice = DialogChoice::Leave;
  bool asked = false;
  HWND outer = nullptr;
  HWND owner_seen = nullptr;
  bool outer_enabled_meanwhile = true;
};
OuterRun g_outer;
constexpr UINT kMsgRaise = WM_APP + 7;

INT_PTR CALLBACK OuterProc(HWND dlg, UINT msg, WPARAM, LPARAM) {
  if (msg == WM_INITDIALOG) {
    g_outer.outer = dlg;
    SetWindowTextW(dlg, L"Actualizaci\u00f3n");
    SetWindowPos(dlg, nullptr, 100, 100, 500, 400, SWP_NOZORDER);
    PostMessageW(dlg, kMsgRaise, 0, 0);
    return TRUE;
  }
  if (msg == kMsgRaise) {
    DialogDriver driver;
    g_outer.choice = driver.Run(kDescription, kCalls, true, {{Step::Click, L"&Reintentar"}}, [](HWND err) {
      g_outer.owner_seen = GetWindow(err, GW_OWNER);
      g_outer.outer_enabled_meanwhile = IsWindowEnabled(g_outer.outer) != FALSE;
      test::SaveWindowShot(GetDesktopWindow(), test::BinaryPath("error_dialog_over_modal.bmp"));
    });
    g_outer.asked = true;
    EndDialog(dlg, IsWindowEnabled(dlg) ? 1 : 2);
    return TRUE;
  }
  return FALSE;
}

TEST(ErrorDialogWin32, OwnedByTheOpenModalDialog) {
  std::vector<WORD> tpl(16, 0);
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME;
  tpl[0] = LOWORD(style);
  tpl[1] = HIWORD(style);
  INT_PTR end = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(tpl.data()),
                                        nullptr, OuterProc, 0);
  EXPECT_TRUE(g_outer.asked);
  EXPECT_EQ(g_outer.choice, DialogChoice::Retry);
  EXPECT_EQ(g_outer.owner_seen, g_outer.outer);
  EXPECT_FALSE(g_outer.outer_enabled_meanwhile);
  EXPECT_EQ(end, 1) << "the outer dialog stays disabled after the answer";
}

}  // namespace
}  // namespace kx
