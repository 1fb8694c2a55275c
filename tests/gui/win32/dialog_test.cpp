// The progress dialog "DLGINS" shown for real: its controls read back through
// Win32 while its start action runs, and the rules of a dialog that must not
// close before its run is over.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "framework/browse_look.h"
#include "gui/win32/paint.h"
#include "gui/win32/win32_toolkit.h"
#include "resources/updater_ids.h"
#include "tests/support/paths.h"

namespace kx::gui::win32 {
namespace {

struct Child {
  HWND hwnd;
  int id;
  std::wstring cls;
  std::wstring text;
  RECT rect;  // in the dialog's client pixels
  LONG style;
};

std::vector<Child> Children(HWND dialog) {
  std::vector<Child> out;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    Child ch{};
    ch.hwnd = c;
    ch.id = GetDlgCtrlID(c);
    wchar_t buf[512];
    GetClassNameW(c, buf, 512);
    ch.cls = buf;
    GetWindowTextW(c, buf, 512);
    ch.text = buf;
    GetWindowRect(c, &ch.rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&ch.rect), 2);
    ch.style = GetWindowLongW(c, GWL_STYLE);
    out.push_back(ch);
  }
  return out;
}

// Pixels of a rectangle in dialog units, as the dialog manager places a
// control: position and size are converted each on its own.
RECT Dlu(HWND dialog, int x, int y, int w, int h) {
  RECT r = {x, y, w, h};
  MapDialogRect(dialog, &r);
  return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
         std::to_string(r.bottom - r.top);
}

std::string ListText(HWND list) {
  int n = GetWindowTextLengthW(list);
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(list, w.data(), n + 1);
  w.resize(static_cast<size_t>(n));
  return Narrow(w);
}

// Company rows from a position on, as the table bound to the list gives them.
class FakeCompanies : public ListSource {
 public:
  std::vector<ListRow> RowsFromCurrent(size_t max_rows) override {
    ++calls;
    std::vector<ListRow> rows;
    for (size_t i = current; i < codes.size() && rows.size() < max_rows; ++i)
      rows.push_back({{"", i <= current ? "BMPSIACT" : "BMPNOACT"}, {codes[i], ""}, {names[i], ""}});
    return rows;
  }
  std::vector<std::string> codes = {"001", "002", "003", "004", "005", "006", "007"};
  std::vector<std::string> names = {"PRIMERA", "SEGUNDA", "TERCERA", "CUARTA", "QUINTA", "SEXTA", "SÉPTIMA"};
  size_t current = 0;
  int calls = 0;
};

// Writes what the dialog shows on screen into a bitmap file beside the tests.
void SaveShot(HWND hwnd, const std::string& path) {
  RECT rc;
  GetWindowRect(hwnd, &rc);
  int w = rc.right - rc.left, h = rc.bottom - rc.top;
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
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(&fh, sizeof fh, 1, f);
    std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
    std::fwrite(bits, stride * h, 1, f);
    std::fclose(f);
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    framework::ResetBrowseLook();
    toolkit_ = NewToolkit();
    dialog_ = toolkit_->LoadDialog("DLGINS", nullptr);
    ASSERT_NE(dialog_, nullptr);
    // The set-up of the updater's entry.
    dialog_->SetFont(FontSpec{"Arial", 5, 14, true});
    dialog_->SetIconResource(IDI_APP);
    dialog_->BindLabel(IDC_ROOT_LABEL)->SetText(root_);
    dialog_->BindLabel(IDC_ROOT_LABEL)->SetTextColor(Rgb(0, 0, 128));
    list_ = dialog_->BindList(IDC_COMPANY_LIST);
    list_->SetColumns({{"#", 16, ListColumn::Kind::Bitmap}, {"Cod.", 30, ListColumn::Kind::Text},
                       {"Nombre", 185, ListColumn::Kind::Text}});
    list_->SetSource(&companies_);
    list_->SetLook(ListLook{Rgb(0, 0, 0), Brush::Window(), framework::NLINESTYLE(), FontSpec{"Arial", 5, 14, true}});
    for (int id : {IDC_OVERALL_METER, IDC_COMPANY_METER}) dialog_->BindMeter(id)->SetFont(FontSpec{"Arial", 5, 14, false});
    dialog_->BindPicture(IDC_ANIMATION)->ShowBitmap("ACTUA0");
    dialog_->BindPicture(IDC_BANNER)->ShowBitmap("BMPACTUA");
    dialog_->BindPicture(IDC_LOGO)->ShowBitmap("BMPLOGO");
    dialog_->BindPicture(IDC_LOGO)->SetTransparent(true);
  }

  HWND Hwnd() const { return static_cast<HWND>(dialog_->NativeHandle()); }
  HWND Item(int id) const { return GetDlgItem(Hwnd(), id); }

  std::string root_ = "Z:\\datos\\Instalación";
  std::unique_ptr<Toolkit> toolkit_;
  std::unique_ptr<Dialog> dialog_;
  TableList* list_ = nullptr;
  FakeCompanies companies_;
};

TEST_F(DialogTest, LoadsOnlyDialogsTheProgramCarries) {
  EXPECT_EQ(toolkit_->LoadDialog("NOHAY", nullptr), nullptr);
  EXPECT_TRUE(toolkit_->HasBitmap("ACTUA9"));
  EXPECT_TRUE(toolkit_->HasBitmap("BMPSIACT"));
  EXPECT_FALSE(toolkit_->HasBitmap("ACTUA10"));
  EXPECT_FALSE(dialog_->BindPicture(IDC_ANIMATION)->ShowBitmap("ACTUA10"));
  EXPECT_EQ(dialog_->BindPicture(IDC_ANIMATION)->BitmapName(), "ACTUA0");
}

TEST_F(DialogTest, LayoutTextsAndStylesAsTheTemplateSays) {
  bool checked = false;
  dialog_->SetStartAction([&] {
    HWND dlg = Hwnd();
    // A popup with a dialog frame and no title bar, the size of the template.
    LONG style = GetWindowLongW(dlg, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_EQ(style & WS_CAPTION, WS_DLGFRAME);
    EXPECT_TRUE(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    RECT client;
    GetClientRect(dlg, &client);
    EXPECT_TRUE(Same(client, Dlu(dlg, 0, 0, 328, 217))) << Show(client);
    // Centred in the work area.
    RECT win, area;
    GetWindowRect(dlg, &win);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_LE(std::abs((win.left + win.right) - (area.left + area.right)), 2);
    EXPECT_LE(std::abs((win.top + win.bottom) - (area.top + area.bottom)), 2);

    struct Want {
      int id;
      const wchar_t* cls;
      const wchar_t* text;  // null: not compared
      int x, y, w, h;
      LONG kind;  // SS_ type of a static, -1 for the custom controls
    };
    std::wstring root = Wide(root_);
    const Want want[] = {
        {-1, L"Static", L"Directorio del programa : ", 7, 37, 82, 8, SS_LEFT},
        {IDC_ROOT_LABEL, L"Static", root.c_str(), 92, 37, 228, 8, SS_LEFT},
        {IDC_COMPANY_LIST, L"KxList", nullptr, 14, 57, 193, 61, -1},
        {IDC_OVERALL_METER, L"KxMeter", nullptr, 14, 181, 191, 9, -1},
        {IDC_COMPANY_METER, L"KxMeter", nullptr, 14, 195, 191, 9, -1},
        {IDC_ANIMATION, L"KxPicture", L"ACTUA0", 17, 128, 186, 42, -1},
        {IDC_BANNER, L"KxPicture", L"BMPACTUA", 7, 7, 314, 23, -1},
        {IDC_LOGO, L"KxPicture", L"BMPLOGO", 222, 121, 100, 71, -1},
        {-1, L"Static", L"Proceso de actualizaci\u00f3n de versiones anteriores a ORVINTA VESPRA", 232, 58, 76, 32,
         SS_CENTER},
        {-1, L"Static", L"Espere, por favor", 232, 98, 76, 8, SS_CENTER},
        {-1, L"Static", L"Norvo KX", 223, 201, 100, 8, SS_CENTER},
        {-1, L"Static", L"", 5, 5, 318, 27, SS_BLACKFRAME},
        {-1, L"Static", L"", 10, 54, 201, 67, SS_BLACKFRAME},
        {-1, L"Static", L"", 10, 124, 200, 50, SS_BLACKFRAME},
        {-1, L"Static", L"", 10, 178, 200, 28, SS_BLACKFRAME},
        {-1, L"Static", L"", 5, 51, 210, 160, SS_WHITEFRAME},
        {-1, L"Static", L"", 221, 51, 103, 59, SS_WHITEFRAME},
    };
    std::vector<Child> children = Children(dlg);
    EXPECT_EQ(children.size(), std::size(want));
    for (const Want& w : want) {
      RECT r = Dlu(dlg, w.x, w.y, w.w, w.h);
      int found = 0;
      for (const Child& c : children) {
        if (!Same(c.rect, r) || _wcsicmp(c.cls.c_str(), w.cls) != 0) continue;
        if (w.id != -1 && c.id != w.id) continue;
        if (w.kind >= 0 && (c.style & SS_TYPEMASK) != w.kind) continue;
        if (w.text && c.text != w.text) continue;
        EXPECT_TRUE(c.style & WS_VISIBLE);
        ++found;
      }
      EXPECT_EQ(found, 1) << "control " << w.id << " at " << w.x << "," << w.y << " " << w.w << "x" << w.h
                          << " (" << Show(r) << " pixels)";
    }
    // The dialog font on the texts: Arial, width 5, height 14, bold.
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Item(IDC_ROOT_LABEL), WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_STREQ(lf.lfFaceName, L"Arial");
    EXPECT_EQ(lf.lfHeight, 14);
    EXPECT_EQ(lf.lfWidth, 5);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    // The application icon.
    EXPECT_NE(SendMessageW(dlg, WM_GETICON, ICON_BIG, 0), 0);
    // The bitmaps fit their pictures at this screen's dialog units.
    for (int id : {IDC_ANIMATION, IDC_BANNER, IDC_LOGO}) {
      RECT rc;
      GetClientRect(Item(id), &rc);
      LRESULT size = SendMessageW(Item(id), kMsgPictureBitmapSize, 0, 0);
      ASSERT_NE(size, 0) << id;
      EXPECT_LE(LOWORD(size), rc.right + 2) << id;
      EXPECT_LE(HIWORD(size), rc.bottom + 2) << id;
      std::printf("picture %d: control %ldx%ld pixels, bitmap %dx%d\n", id, rc.right, rc.bottom, LOWORD(size),
                  HIWORD(size));
    }
    EXPECT_EQ(SendMessageW(Item(IDC_LOGO), kMsgPictureTransparent, 0, 0), 1);
    EXPECT_EQ(SendMessageW(Item(IDC_BANNER), kMsgPictureTransparent, 0, 0), 0);
    RECT unit = Dlu(dlg, 0, 0, 4, 8);
    std::printf("dialog base units: %ld x %ld pixels\n", unit.right, unit.bottom);
    SaveShot(dlg, kx::test::BinaryPath("dialog_layout.bmp").substr(2));
    checked = true;
    dialog_->Close();
  });
  dialog_->RunModal(true);
  EXPECT_TRUE(checked);
}

TEST_F(DialogTest, MetersShowValueTotalAndCaption) {
  dialog_->SetStartAction([&] {
    Meter* m = dialog_->BindMeter(IDC_OVERALL_METER);
    HWND h = Item(IDC_OVERALL_METER);
    RECT rc;
    GetClientRect(h, &rc);
    m->SetText("ACTUALIZANDO EMPRESAS");
    // The resource caption is never shown: the meter's window text is what it paints.
    struct Step { int64_t total, set, value, percent; const char* caption; };
    const Step steps[] = {
        {4, 1, 1, 25, "ACTUALIZANDO EMPRESAS  25%"}, {4, 9, 4, 100, "ACTUALIZANDO EMPRESAS 100%"},
        {4, -3, 0, 0, "ACTUALIZANDO EMPRESAS   0%"}, {0, 5, 0, 0, "ACTUALIZANDO EMPRESAS   0%"},
        {3, 2, 2, 66, "ACTUALIZANDO EMPRESAS  66%"}, {100, 100, 100, 100, "ACTUALIZANDO EMPRESAS 100%"},
    };
    for (const Step& s : steps) {
      m->SetTotal(s.total);
      m->SetValue(s.set);
      toolkit_->ProcessPendingMessages();
      EXPECT_EQ(SendMessageW(h, kMsgMeterTotal, 0, 0), s.total);
      EXPECT_EQ(SendMessageW(h, kMsgMeterValue, 0, 0), s.value) << s.set << "/" << s.total;
      EXPECT_EQ(SendMessageW(h, kMsgMeterPercent, 0, 0), s.percent);
      EXPECT_EQ(SendMessageW(h, kMsgMeterBarWidth, 0, 0), MeterBarWidth(rc.right, s.value, s.total));
      wchar_t text[128];
      GetWindowTextW(h, text, 128);
      EXPECT_EQ(Narrow(text), s.caption);
    }
    dialog_->Close();
  });
  dialog_->RunModal(true);
}

TEST_F(DialogTest, ListShowsTheCurrentCompanyOnItsFirstRow) {
  dialog_->SetStartAction([&] {
    HWND h = Item(IDC_COMPANY_LIST);
    list_->Enable(false);
    EXPECT_FALSE(IsWindowEnabled(h));
    EXPECT_FALSE(list_->Enabled());
    int visible = static_cast<int>(SendMessageW(h, kMsgListVisibleRows, 0, 0));
    int rh = static_cast<int>(SendMessageW(h, kMsgListRowHeight, 0, 0));
    RECT rc;
    GetClientRect(h, &rc);
    EXPECT_EQ(visible, (rc.bottom - rh + rh - 1) / rh);
    std::printf("list: %ld x %ld pixels, rows of %d pixels, %d data rows\n", rc.right, rc.bottom, rh, visible);
    for (size_t current : {size_t{0}, size_t{2}, size_t{6}}) {
      companies_.current = current;
      list_->Repaint();
      toolkit_->ProcessPendingMessages();
      std::string want;
      size_t rows = 0;
      for (size_t i = current; i < companies_.codes.size() && rows < static_cast<size_t>(visible); ++i, ++rows)
        want += std::string(i == current ? "BMPSIACT" : "BMPNOACT") + "\t" + companies_.codes[i] + "\t" +
                companies_.names[i] + "\r\n";
      EXPECT_EQ(ListText(h), want) << current;
      EXPECT_EQ(static_cast<size_t>(SendMessageW(h, kMsgListRowCount, 0, 0)), rows);
      EXPECT_EQ(list_->ShownRows().size(), rows);
    }
    // An uncovered list paints the rows it has without asking the table again.
    int calls = companies_.calls;
    InvalidateRect(h, nullptr, FALSE);
    UpdateWindow(h);
    EXPECT_EQ(companies_.calls, calls);
    companies_.current = 1;
    list_->Repaint();
    SaveShot(Hwnd(), kx::test::BinaryPath("dialog_list.bmp").substr(2));
    dialog_->Close();
  });
  dialog_->RunModal(true);
}

TEST_F(DialogTest, InitBeforeFirstPaintStartOnceAfterItNoClosingWhileItRuns) {
  std::vector<std::string> order;
  bool painted_at_start = false;
  dialog_->SetInitAction([&] {
    order.push_back("init");
    EXPECT_TRUE(dialog_->IsOpen());
    EXPECT_FALSE(IsWindowVisible(Hwnd()));
    dialog_->BindPicture(IDC_ANIMATION)->ShowBitmap("ACTUA1");
  });
  dialog_->SetStartAction([&] {
    order.push_back("start");
    HWND dlg = Hwnd();
    EXPECT_TRUE(IsWindowVisible(dlg));
    // Everything painted once already: no window has anything left to paint.
    painted_at_start = !GetUpdateRect(dlg, nullptr, FALSE);
    for (const Child& c : Children(dlg)) painted_at_start = painted_at_start && !GetUpdateRect(c.hwnd, nullptr, FALSE);
    EXPECT_EQ(dialog_->BindPicture(IDC_ANIMATION)->BitmapName(), "ACTUA1");

    // Escape, Alt+F4, the close command and WM_CLOSE leave the dialog open.
    SendMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    SendMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    SendMessageW(dlg, WM_CLOSE, 0, 0);
    PostMessageW(dlg, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(dlg, WM_SYSKEYDOWN, VK_F4, 1 << 29);
    toolkit_->ProcessPendingMessages();
    EXPECT_TRUE(IsWindow(dlg));
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_TRUE(dialog_->IsOpen());

    // Copy-data messages are answered with 0 and change nothing.
    for (ULONG_PTR id : {ULONG_PTR{1001}, ULONG_PTR{1003}, ULONG_PTR{7}}) {
      char payload[] = "hola";
      COPYDATASTRUCT cds{id, sizeof payload, payload};
      EXPECT_EQ(SendMessageW(dlg, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 0);
    }
    EXPECT_TRUE(dialog_->IsOpen());

    // Closing from the action ends the dialog once the action has returned.
    dialog_->Close();
    toolkit_->ProcessPendingMessages();
    EXPECT_TRUE(IsWindow(dlg));
    order.push_back("end of start");
  });
  dialog_->RunModal(true);
  EXPECT_EQ(order, (std::vector<std::string>{"init", "start", "end of start"}));
  EXPECT_TRUE(painted_at_start);
  EXPECT_FALSE(dialog_->IsOpen());
  EXPECT_EQ(dialog_->NativeHandle(), nullptr);
  dialog_->RunModal(true);  // a dialog runs once
  EXPECT_EQ(order.size(), 3u);
}

TEST_F(DialogTest, AnimationFramesChangeThePicture) {
  dialog_->SetStartAction([&] {
    Picture* pic = dialog_->BindPicture(IDC_ANIMATION);
    HWND h = Item(IDC_ANIMATION);
    for (int k = 0; k < 10; ++k) {
      std::string name = "ACTUA" + std::to_string(k);
      EXPECT_TRUE(pic->ShowBitmap(name));
      wchar_t text[32];
      GetWindowTextW(h, text, 32);
      EXPECT_EQ(Narrow(text), name);
      EXPECT_EQ(SendMessageW(h, kMsgPictureBitmapSize, 0, 0), MAKELONG(279, 63));
    }
    dialog_->Close();
  });
  dialog_->RunModal(true);
}

}  // namespace
}  // namespace kx::gui::win32
