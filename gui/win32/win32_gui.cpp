// The Win32 toolkit: modal dialogs from the program's dialog resources and
// the custom controls their templates name.
#include "gui/win32/win32_toolkit.h"

#include <windows.h>

#include <algorithm>
#include <exception>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "framework/browse_look.h"
#include "framework/copy_data.h"
#include "gui/win32/paint.h"
#include "resources/updater_ids.h"

namespace kx::gui::win32 {

namespace {

constexpr UINT kMsgStartAction = WM_APP + 0x51;
const wchar_t kFontProperty[] = L"KxFont";

HINSTANCE ModuleOf(void* module) {
  return module ? static_cast<HINSTANCE>(module) : GetModuleHandleW(nullptr);
}

HFONT FontOf(HWND hwnd) { return static_cast<HFONT>(GetPropW(hwnd, kFontProperty)); }

// Paints through a memory bitmap so that frequent repaints do not flicker.
template <class F>
void BufferedPaint(HWND hwnd, F paint) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  if (rc.right > 0 && rc.bottom > 0) {
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, rc.right, rc.bottom);
    HGDIOBJ old = SelectObject(mem, bmp);
    FillRect(mem, &rc, GetSysColorBrush(COLOR_BTNFACE));
    paint(mem, rc);
    BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
  }
  EndPaint(hwnd, &ps);
}

void PutText(HWND hwnd, const std::string& cp1252) {
  if (hwnd) SetWindowTextW(hwnd, Wide(cp1252).c_str());
}

std::string GetText(HWND hwnd) {
  int n = GetWindowTextLengthW(hwnd);
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(hwnd, w.data(), n + 1);
  w.resize(static_cast<size_t>(std::max(n, 0)));
  return Narrow(w);
}

void Redraw(HWND hwnd, bool now) {
  if (!hwnd) return;
  InvalidateRect(hwnd, nullptr, FALSE);
  if (now) UpdateWindow(hwnd);
}

// Messages every custom control handles alike; true when handled.
bool CommonMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case WM_SETFONT:
      SetPropW(hwnd, kFontProperty, reinterpret_cast<HANDLE>(wp));
      if (LOWORD(lp)) Redraw(hwnd, false);
      *result = 0;
      return true;
    case WM_GETFONT:
      *result = reinterpret_cast<LRESULT>(FontOf(hwnd));
      return true;
    case WM_ERASEBKGND:
      *result = 1;  // the paint covers the whole control
      return true;
    case WM_NCDESTROY:
      RemovePropW(hwnd, kFontProperty);
      return false;
    default:
      return false;
  }
}

class Win32Dialog;

// Bitmaps of the program's resources, loaded once by name and released with
// their owner.
class BitmapCache {
 public:
  explicit BitmapCache(HINSTANCE module) : module_(module) {}
  ~BitmapCache() { Clear(); }
  HBITMAP Get(const std::string& name) {
    auto it = bitmaps_.find(name);
    if (it != bitmaps_.end()) return it->second;
    HBITMAP bmp = static_cast<HBITMAP>(LoadImageA(module_, name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    bitmaps_[name] = bmp;
    return bmp;
  }
  void Clear() {
    for (auto& [name, bmp] : bitmaps_)
      if (bmp) DeleteObject(bmp);
    bitmaps_.clear();
  }

 private:
  HINSTANCE module_;
  std::map<std::string, HBITMAP> bitmaps_;
};

// ---------------------------------------------------------------- meter

class Win32Meter : public Meter {
 public:
  void SetTotal(int64_t total) override {
    total_ = total;
    Changed(false);
  }
  int64_t Total() const override { return total_; }
  void SetValue(int64_t value) override {
    value_ = std::clamp<int64_t>(value, 0, std::max<int64_t>(total_, 0));
    Changed(true);
  }
  int64_t Value() const override { return value_; }
  void SetText(const std::string& text) override {
    text_ = text;
    Changed(false);
  }
  std::string Text() const override { return text_; }
  void SetFont(const FontSpec& font) override {
    spec_ = font;
    has_spec_ = true;
    if (hwnd_) MakeOwnFont();
  }
  void SetColors(const MeterColors& colors) override {
    colors_ = colors;
    Redraw(hwnd_, false);
  }
  void Repaint() override { Redraw(hwnd_, true); }

  void Attach(HWND hwnd) {
    hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (has_spec_) MakeOwnFont();
    PutText(hwnd_, Caption());
    Redraw(hwnd_, false);
  }
  void Detach() {
    if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    if (font_) DeleteObject(font_);
    font_ = nullptr;
  }
  ~Win32Meter() override { Detach(); }

  void Paint(HDC dc, const RECT& rc) {
    PaintMeter(dc, rc, font_ ? font_ : FontOf(hwnd_), Caption(), value_, total_, colors_);
  }
  int BarWidth() const {
    RECT rc{};
    if (hwnd_) GetClientRect(hwnd_, &rc);
    return MeterBarWidth(rc.right, value_, total_);
  }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Win32Meter*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (CommonMessage(hwnd, msg, wp, lp, &result)) return result;
    switch (msg) {
      case WM_PAINT:
        BufferedPaint(hwnd, [&](HDC dc, const RECT& rc) {
          if (self) self->Paint(dc, rc);
        });
        return 0;
      case kMsgMeterValue:
        return self ? static_cast<LRESULT>(self->value_) : 0;
      case kMsgMeterTotal:
        return self ? static_cast<LRESULT>(self->total_) : 0;
      case kMsgMeterPercent:
        return self ? self->Percentage() : 0;
      case kMsgMeterBarWidth:
        return self ? self->BarWidth() : 0;
      default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
  }

 private:
  void Changed(bool now) {
    PutText(hwnd_, Caption());
    Redraw(hwnd_, now);
  }
  void MakeOwnFont() {
    if (font_) DeleteObject(font_);
    font_ = MakeFont(spec_);
    Redraw(hwnd_, false);
  }

  HWND hwnd_ = nullptr;
  int64_t value_ = 0, total_ = 100;
  std::string text_;
  FontSpec spec_;
  bool has_spec_ = false;
  HFONT font_ = nullptr;
  MeterColors colors_;
};

// ---------------------------------------------------------------- list

class Win32List : public TableList {
 public:
  explicit Win32List(HINSTANCE module) : bitmaps_(module) {}
  ~Win32List() override { Detach(); }

  void SetColumns(const std::vector<ListColumn>& columns) override {
    columns_ = columns;
    Redraw(hwnd_, false);
  }
  void SetSource(ListSource* source) override { source_ = source; }
  void SetLook(const ListLook& look) override {
    own_ = look;
    if (hwnd_) MakeHeaderFont();
    Redraw(hwnd_, false);
  }
  void Enable(bool enabled) override {
    enabled_ = enabled;
    if (hwnd_) EnableWindow(hwnd_, enabled ? TRUE : FALSE);
    Redraw(hwnd_, false);
  }
  bool Enabled() const override { return enabled_; }
  void Repaint() override {
    Fetch();
    Redraw(hwnd_, true);
  }
  std::vector<ListRow> ShownRows() const override { return shown_; }

  void Attach(HWND hwnd) {
    hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // The framework's list takes its look from the settings when it is made.
    look_ = framework::CurrentBrowseLook();
    EnableWindow(hwnd_, enabled_ ? TRUE : FALSE);
    MakeHeaderFont();
    Redraw(hwnd_, false);
  }
  void Detach() {
    if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    if (header_font_) DeleteObject(header_font_);
    header_font_ = nullptr;
    bitmaps_.Clear();
  }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Win32List*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (CommonMessage(hwnd, msg, wp, lp, &result)) return result;
    switch (msg) {
      case WM_PAINT:
        BufferedPaint(hwnd, [&](HDC dc, const RECT& rc) {
          if (self) self->Paint(dc, rc);
        });
        return 0;
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
        Redraw(hwnd, false);
        return 0;
      case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        return 0;
      case kMsgListRowCount:
        return self ? static_cast<LRESULT>(self->shown_.size()) : 0;
      case kMsgListRowHeight:
        return self ? self->RowHeight() : 0;
      case kMsgListVisibleRows:
        return self ? self->VisibleRows() : 0;
      default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
  }

 private:
  ListPaint Spec() {
    ListPaint p;
    p.columns = columns_;
    p.look = look_;
    p.own = own_;
    p.row_font = FontOf(hwnd_);
    p.header_font = header_font_ ? header_font_ : p.row_font;
    p.focused = hwnd_ && GetFocus() == hwnd_;
    p.first_position = 0;
    p.bitmap = [this](const std::string& name) { return bitmaps_.Get(name); };
    return p;
  }
  int RowHeight() {
    if (!hwnd_) return 0;
    HDC dc = GetDC(hwnd_);
    int rh = ListRowHeight(dc, Spec());
    ReleaseDC(hwnd_, dc);
    return rh;
  }
  int VisibleRows() {
    if (!hwnd_) return 0;
    RECT rc;
    GetClientRect(hwnd_, &rc);
    return ListVisibleRows(rc.bottom, RowHeight());
  }
  void Fetch() {
    fetched_ = true;
    size_t rows = hwnd_ ? static_cast<size_t>(std::max(VisibleRows(), 1)) : 6;
    shown_ = source_ ? source_->RowsFromCurrent(rows) : std::vector<ListRow>{};
    std::string text;
    for (const ListRow& row : shown_) {
      for (size_t c = 0; c < row.size(); ++c) {
        if (c) text += '\t';
        text += row[c].bitmap.empty() ? row[c].text : row[c].bitmap;
      }
      text += "\r\n";
    }
    PutText(hwnd_, text);
  }
  void Paint(HDC dc, const RECT& rc) {
    // The rows come from the source when the list is repainted on purpose;
    // other paints (the window uncovered) show the rows of the last one.
    if (!fetched_) Fetch();
    ListPaint p = Spec();
    p.rows = shown_;
    PaintList(dc, rc, p);
  }
  void MakeHeaderFont() {
    if (header_font_) DeleteObject(header_font_);
    header_font_ = own_.header_font.face.empty() ? nullptr : MakeFont(own_.header_font);
  }

  HWND hwnd_ = nullptr;
  std::vector<ListColumn> columns_;
  ListSource* source_ = nullptr;
  ListLook own_;
  framework::BrowseLook look_ = framework::CurrentBrowseLook();
  bool enabled_ = true;
  bool fetched_ = false;
  std::vector<ListRow> shown_;
  HFONT header_font_ = nullptr;
  BitmapCache bitmaps_;
};

// ---------------------------------------------------------------- picture

class Win32Picture : public Picture {
 public:
  explicit Win32Picture(HINSTANCE module) : module_(module), bitmaps_(module) {}
  ~Win32Picture() override { Detach(); }

  bool ShowBitmap(const std::string& name) override {
    if (!FindResourceA(module_, name.c_str(), MAKEINTRESOURCEA(2))) return false;  // RT_BITMAP
    name_ = name;
    PutText(hwnd_, name_);
    Redraw(hwnd_, true);
    return true;
  }
  std::string BitmapName() const override { return name_; }
  void SetTransparent(bool transparent) override {
    transparent_ = transparent;
    Redraw(hwnd_, false);
  }
  void Repaint() override { Redraw(hwnd_, true); }

  void Attach(HWND hwnd) {
    hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    PutText(hwnd_, name_);
    Redraw(hwnd_, false);
  }
  void Detach() {
    if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    bitmaps_.Clear();
  }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Win32Picture*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (CommonMessage(hwnd, msg, wp, lp, &result)) return result;
    switch (msg) {
      case WM_PAINT:
        BufferedPaint(hwnd, [&](HDC dc, const RECT& rc) {
          if (self && !self->name_.empty()) DrawBitmapCentred(dc, rc, self->bitmaps_.Get(self->name_), self->transparent_);
        });
        return 0;
      case kMsgPictureTransparent:
        return self && self->transparent_ ? 1 : 0;
      case kMsgPictureBitmapSize: {
        BITMAP bm{};
        HBITMAP bmp = self && !self->name_.empty() ? self->bitmaps_.Get(self->name_) : nullptr;
        if (!bmp || !GetObjectW(bmp, sizeof bm, &bm)) return 0;
        return MAKELONG(bm.bmWidth, bm.bmHeight);
      }
      default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
  }

 private:
  HINSTANCE module_;
  HWND hwnd_ = nullptr;
  std::string name_;
  bool transparent_ = false;
  BitmapCache bitmaps_;
};

// ---------------------------------------------------------------- label

class Win32Label : public Label {
 public:
  void SetText(const std::string& text) override {
    text_ = text;
    has_text_ = true;
    PutText(hwnd_, text);
  }
  std::string Text() const override { return text_; }
  void SetTextColor(Color color) override {
    color_ = color;
    has_color_ = true;
    Redraw(hwnd_, false);
  }

  void Attach(HWND hwnd) {
    hwnd_ = hwnd;
    if (has_text_) {
      PutText(hwnd_, text_);
    } else {
      text_ = GetText(hwnd_);
    }
  }
  void Detach() { hwnd_ = nullptr; }
  bool has_color() const { return has_color_; }
  Color color() const { return color_; }

 private:
  HWND hwnd_ = nullptr;
  std::string text_;
  bool has_text_ = false;
  Color color_;
  bool has_color_ = false;
};

// ---------------------------------------------------------------- toolkit

class Win32Toolkit : public Toolkit {
 public:
  explicit Win32Toolkit(HINSTANCE module) : module_(module) { RegisterControlClasses(module); }

  std::unique_ptr<Dialog> LoadDialog(const std::string& resource_name, Dialog* parent) override;
  void ProcessPendingMessages() override;
  bool HasBitmap(const std::string& resource_name) override {
    return FindResourceA(module_, resource_name.c_str(), MAKEINTRESOURCEA(2)) != nullptr;  // RT_BITMAP
  }

  HINSTANCE module() const { return module_; }
  // Dialogs on screen, innermost last (for the keyboard of the dialogs).
  std::vector<HWND> open_dialogs;

 private:
  HINSTANCE module_;
};

// ---------------------------------------------------------------- dialog


// Gives a child control the font (0 for none); EnumChildWindows callback, so
// it must be a stdcall function, not a lambda.
BOOL CALLBACK SetChildFont(HWND child, LPARAM font) {
  SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), font != 0);
  return TRUE;
}

class Win32Dialog : public Dialog {
 public:
  Win32Dialog(Win32Toolkit* toolkit, std::string name, Dialog* parent)
      : toolkit_(toolkit), name_(std::move(name)), parent_(parent) {}
  ~Win32Dialog() override {
    if (hwnd_) DestroyWindow(hwnd_);
  }

  Meter* BindMeter(int id) override { return Bind(meters_, id, [] { return std::make_unique<Win32Meter>(); }); }
  TableList* BindList(int id) override {
    return Bind(lists_, id, [this] { return std::make_unique<Win32List>(toolkit_->module()); });
  }
  Picture* BindPicture(int id) override {
    return Bind(pictures_, id, [this] { return std::make_unique<Win32Picture>(toolkit_->module()); });
  }
  Label* BindLabel(int id) override { return Bind(labels_, id, [] { return std::make_unique<Win32Label>(); }); }

  void SetFont(const FontSpec& font) override {
    font_spec_ = font;
    has_font_ = true;
    if (hwnd_) ApplyFont();
  }
  void SetIconResource(int resource_id) override {
    icon_id_ = resource_id;
    if (hwnd_) ApplyIcon();
  }
  void SetInitAction(std::function<void()> action) override { init_ = std::move(action); }
  void SetStartAction(std::function<void()> action) override { start_ = std::move(action); }

  void RunModal(bool centred) override {
    if (ran_) return;
    ran_ = true;
    open_ = true;
    centred_ = centred;
    HWND owner = parent_ ? static_cast<HWND>(parent_->NativeHandle()) : nullptr;
    DialogBoxParamA(toolkit_->module(), name_.c_str(), owner, &Win32Dialog::Proc, reinterpret_cast<LPARAM>(this));
    open_ = false;
    // An exception of an action (the program ending from the error handler)
    // was held while the system's dialog loop ran: C++ exceptions must not
    // unwind through the system's frames. It goes on from here.
    if (pending_) std::rethrow_exception(std::exchange(pending_, nullptr));
  }
  void Close() override {
    close_requested_ = true;
    if (hwnd_ && !in_action_) EndDialog(hwnd_, 0);
  }
  bool IsOpen() const override { return open_; }
  void Repaint() override {
    if (hwnd_) RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  void* NativeHandle() const override { return hwnd_; }

 private:
  template <class T, class Make>
  T* Bind(std::map<int, std::unique_ptr<T>>& m, int id, Make make) {
    auto& slot = m[id];
    if (!slot) {
      slot = make();
      if (hwnd_) {
        if (HWND child = GetDlgItem(hwnd_, id)) slot->Attach(child);
      }
    }
    return slot.get();
  }

  // The user cannot close the dialog while its start action has still to run
  // or is running: the run behind it must not be cut short.
  bool UserMayClose() const { return !start_ || start_done_; }

  static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Win32Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (msg == WM_INITDIALOG) {
      self = reinterpret_cast<Win32Dialog*>(lp);
      SetWindowLongPtrW(hwnd, DWLP_USER, lp);
      self->OnInit(hwnd);
      return FALSE;
    }
    if (!self) return FALSE;
    switch (msg) {
      case WM_PAINT:
        if (!self->start_posted_) {
          // The start action runs once the first paint has been handled.
          self->start_posted_ = true;
          PostMessageW(hwnd, kMsgStartAction, 0, 0);
        }
        return FALSE;
      case kMsgStartAction:
        self->OnStart();
        return TRUE;
      case WM_COMMAND:
        if (LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK) {
          if (self->UserMayClose()) self->Close();
          return TRUE;
        }
        return FALSE;
      case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == SC_CLOSE && !self->UserMayClose()) {
          SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
          return TRUE;
        }
        return FALSE;
      case WM_CLOSE:
        if (self->UserMayClose()) self->Close();
        return TRUE;
      case WM_COPYDATA:
        // The framework hands the block to a service that runs (the updater
        // runs none) and answers 0.
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, kx::framework::AnswerCopyData(static_cast<uintptr_t>(lp)));
        return TRUE;
      case WM_CTLCOLORSTATIC: {
        auto it = self->labels_.find(GetDlgCtrlID(reinterpret_cast<HWND>(lp)));
        if (it == self->labels_.end() || !it->second->has_color()) return FALSE;
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, ToColorRef(it->second->color()));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      case WM_DESTROY:
        self->OnDestroy();
        return FALSE;
      default:
        return FALSE;
    }
  }

  void OnInit(HWND hwnd) {
    hwnd_ = hwnd;
    toolkit_->open_dialogs.push_back(hwnd);
    if (has_font_) ApplyFont();
    for (auto& [id, c] : meters_) AttachTo(id, c.get());
    for (auto& [id, c] : lists_) AttachTo(id, c.get());
    for (auto& [id, c] : pictures_) AttachTo(id, c.get());
    for (auto& [id, c] : labels_) AttachTo(id, c.get());
    if (icon_id_) ApplyIcon();
    if (centred_) Centre();
    if (init_) RunAction(init_);
    if (close_requested_) EndDialog(hwnd_, 0);
  }

  template <class T>
  void AttachTo(int id, T* control) {
    if (HWND child = GetDlgItem(hwnd_, id)) control->Attach(child);
  }

  void OnStart() {
    // Let every control finish its first paint before the action takes over.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (start_ && !close_requested_) RunAction(start_);
    start_done_ = true;
    if (close_requested_ && hwnd_) EndDialog(hwnd_, 0);
  }

  // Runs an action of the dialog; an exception it lets out closes the dialog
  // and is raised again once the dialog loop has returned.
  void RunAction(const std::function<void()>& action) {
    in_action_ = true;
    try {
      action();
    } catch (...) {
      pending_ = std::current_exception();
      close_requested_ = true;
    }
    in_action_ = false;
  }

  void OnDestroy() {
    for (auto& [id, c] : meters_) c->Detach();
    for (auto& [id, c] : lists_) c->Detach();
    for (auto& [id, c] : pictures_) c->Detach();
    for (auto& [id, c] : labels_) c->Detach();
    auto& open = toolkit_->open_dialogs;
    open.erase(std::remove(open.begin(), open.end(), hwnd_), open.end());
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, 0);
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, 0);
    if (icon_big_) DestroyIcon(icon_big_);
    if (icon_small_) DestroyIcon(icon_small_);
    icon_big_ = icon_small_ = nullptr;
    // The controls are destroyed after their parent's WM_DESTROY: they must
    // not keep the font that is deleted here.
    EnumChildWindows(hwnd_, SetChildFont, 0);
    if (font_) DeleteObject(font_);
    font_ = nullptr;
    hwnd_ = nullptr;
  }

  void ApplyFont() {
    HFONT old = font_;
    font_ = MakeFont(font_spec_);
    EnumChildWindows(hwnd_, SetChildFont, reinterpret_cast<LPARAM>(font_));
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    if (old) DeleteObject(old);
  }

  void ApplyIcon() {
    HINSTANCE module = toolkit_->module();
    HICON big = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(icon_id_), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    HICON small = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(icon_id_), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    if (icon_big_) DestroyIcon(icon_big_);
    if (icon_small_) DestroyIcon(icon_small_);
    icon_big_ = big;
    icon_small_ = small;
  }

  // Centres the dialog in the work area of the screen it is on.
  void Centre() {
    RECT rc;
    GetWindowRect(hwnd_, &rc);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    RECT area;
    if (GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &mi)) {
      area = mi.rcWork;
    } else {
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    int x = area.left + ((area.right - area.left) - w) / 2;
    int y = area.top + ((area.bottom - area.top) - h) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  Win32Toolkit* toolkit_;
  std::string name_;
  Dialog* parent_;
  HWND hwnd_ = nullptr;
  std::map<int, std::unique_ptr<Win32Meter>> meters_;
  std::map<int, std::unique_ptr<Win32List>> lists_;
  std::map<int, std::unique_ptr<Win32Picture>> pictures_;
  std::map<int, std::unique_ptr<Win32Label>> labels_;
  FontSpec font_spec_;
  bool has_font_ = false;
  HFONT font_ = nullptr;
  int icon_id_ = 0;
  HICON icon_big_ = nullptr, icon_small_ = nullptr;
  std::function<void()> init_, start_;
  bool ran_ = false, open_ = false, centred_ = false;
  bool start_posted_ = false, start_done_ = false, in_action_ = false, close_requested_ = false;
  std::exception_ptr pending_;
};

std::unique_ptr<Dialog> Win32Toolkit::LoadDialog(const std::string& resource_name, Dialog* parent) {
  if (!FindResourceA(module_, resource_name.c_str(), MAKEINTRESOURCEA(5))) return nullptr;  // RT_DIALOG
  return std::make_unique<Win32Dialog>(this, resource_name, parent);
}

void Win32Toolkit::ProcessPendingMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave the quit for the loop that waits for it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (!open_dialogs.empty() && IsDialogMessageW(open_dialogs.back(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace

bool RegisterControlClasses(void* module) {
  HINSTANCE instance = ModuleOf(module);
  struct Class {
    const char* name;
    WNDPROC proc;
  };
  const Class classes[] = {
      {KX_METER_CLASS, &Win32Meter::Proc},
      {KX_LIST_CLASS, &Win32List::Proc},
      {KX_PICTURE_CLASS, &Win32Picture::Proc},
  };
  bool ok = true;
  for (const Class& c : classes) {
    std::wstring name = Wide(c.name);
    WNDCLASSEXW wc{};
    if (GetClassInfoExW(instance, name.c_str(), &wc)) continue;
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = c.proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = name.c_str();
    if (!RegisterClassExW(&wc)) ok = false;
  }
  return ok;
}

std::unique_ptr<Toolkit> NewToolkit(void* module) {
  return std::make_unique<Win32Toolkit>(ModuleOf(module));
}

}  // namespace kx::gui::win32
