// The meter and list painting, on a memory bitmap: which colour lands where.
#include <windows.h>

#include <gtest/gtest.h>

#include "framework/browse_look.h"
#include "gui/win32/paint.h"

namespace kx::gui::win32 {
namespace {

// A 32-bit memory bitmap to paint on and read back.
class Surface {
 public:
  Surface(int w, int h) : w_(w), h_(h) {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bmp_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    old_ = SelectObject(dc_, bmp_);
    RECT rc = {0, 0, w, h};
    FillRect(dc_, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  ~Surface() {
    SelectObject(dc_, old_);
    DeleteObject(bmp_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  RECT rect() const { return RECT{0, 0, w_, h_}; }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }
  // Pixels of `color` in the rectangle.
  int Count(COLORREF color, int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += At(x, y) == color;
    return n;
  }

 private:
  int w_, h_;
  HDC dc_;
  HBITMAP bmp_;
  HGDIOBJ old_;
};

HFONT ArialFont(bool bold) { return MakeFont(FontSpec{"Arial", 5, 14, bold}); }

TEST(MeterBarWidth, ShareOfTheTotalClampedAndZeroTotalCountsAsOne) {
  struct Case { int width; int64_t value, total; int bar; };
  const Case cases[] = {
      {200, 0, 100, 0},  {200, 50, 100, 100}, {200, 100, 100, 200}, {200, 1, 3, 66},
      {200, 7, 4, 200},  {200, -5, 100, 0},   {200, 0, 0, 0},       {200, 1, 0, 200},
      {0, 50, 100, 0},   {287, 2, 2, 287},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MeterBarWidth(c.width, c.value, c.total), c.bar) << c.value << "/" << c.total;
}

TEST(PaintMeter, BarColoursUpToTheValueGreyAfterIt) {
  Surface s(200, 15);
  HFONT font = ArialFont(false);
  PaintMeter(s.dc(), s.rect(), font, "ACTUALIZANDO EMPRESAS  25%", 1, 4, MeterColors{});
  const COLORREF blue = RGB(0, 0, 255), grey = RGB(192, 192, 192);
  const COLORREF yellow = RGB(255, 255, 0), dark = RGB(128, 128, 128);
  // Background: corners and the top row of either part.
  EXPECT_EQ(s.At(0, 0), blue);
  EXPECT_EQ(s.At(49, 0), blue);
  EXPECT_EQ(s.At(50, 0), grey);
  EXPECT_EQ(s.At(199, 14), grey);
  // The caption is centred over both parts: each part holds text in its own
  // text colour and none in the other's.
  EXPECT_GT(s.Count(yellow, 0, 0, 50, 15) + s.Count(dark, 50, 0, 200, 15), 40);
  EXPECT_EQ(s.Count(dark, 0, 0, 50, 15), 0);
  EXPECT_EQ(s.Count(yellow, 50, 0, 200, 15), 0);
  EXPECT_GT(s.Count(dark, 50, 0, 200, 15), 0);
  DeleteObject(font);
}

TEST(PaintMeter, FullAndEmptyMeters) {
  HFONT font = ArialFont(false);
  {
    Surface s(120, 15);
    PaintMeter(s.dc(), s.rect(), font, "X 100%", 5, 5, MeterColors{});
    EXPECT_EQ(s.Count(RGB(192, 192, 192), 0, 0, 120, 15), 0);
    EXPECT_EQ(s.At(119, 14), RGB(0, 0, 255));
  }
  {
    Surface s(120, 15);
    PaintMeter(s.dc(), s.rect(), font, "X   0%", 0, 0, MeterColors{});  // a total of 0 counts as 1
    EXPECT_EQ(s.Count(RGB(0, 0, 255), 0, 0, 120, 15), 0);
    EXPECT_EQ(s.At(0, 0), RGB(192, 192, 192));
  }
  DeleteObject(font);
}

// The company list as the updater sets it up: three columns, the tick and
// cross bitmaps, the default list look with solid frames.
class ListPaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    framework::ResetBrowseLook();
    row_font_ = ArialFont(true);
    tick_ = MakeBitmap(RGB(255, 0, 255), RGB(0, 150, 40));
    cross_ = MakeBitmap(RGB(255, 0, 255), RGB(200, 30, 30));
    p_.columns = {{"#", 16, ListColumn::Kind::Bitmap}, {"Cod.", 30, ListColumn::Kind::Text},
                  {"Nombre", 185, ListColumn::Kind::Text}};
    p_.rows = {{{"", "BMPSIACT"}, {"002", ""}, {"SEGUNDA", ""}},
               {{"", "BMPNOACT"}, {"003", ""}, {"TERCERA", ""}},
               {{"", "BMPNOACT"}, {"004", ""}, {"CUARTA", ""}}};
    p_.look = framework::CurrentBrowseLook();
    p_.own.text = Rgb(0, 0, 0);
    p_.own.background = Brush::Window();
    p_.own.line_style = framework::NLINESTYLE();
    p_.row_font = row_font_;
    p_.header_font = row_font_;
    p_.bitmap = [this](const std::string& name) { return name == "BMPSIACT" ? tick_ : cross_; };
  }
  void TearDown() override {
    DeleteObject(row_font_);
    DeleteObject(tick_);
    DeleteObject(cross_);
  }
  // A 12 x 12 bitmap of `key` with a 6 x 6 square of `ink` in its middle.
  static HBITMAP MakeBitmap(COLORREF key, COLORREF ink) {
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 12, 12);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 12; ++x) SetPixel(dc, x, y, x >= 3 && x < 9 && y >= 3 && y < 9 ? ink : key);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return bmp;
  }
  int RowHeight(const Surface& s) { return ListRowHeight(s.dc(), p_); }

  HFONT row_font_ = nullptr;
  HBITMAP tick_ = nullptr, cross_ = nullptr;
  ListPaint p_;
};

TEST_F(ListPaintTest, RowHeightIsTextHeightPlusOnePlusSpacing) {
  Surface s(290, 107);
  HGDIOBJ old = SelectObject(s.dc(), row_font_);
  TEXTMETRICW tm{};
  GetTextMetricsW(s.dc(), &tm);
  SelectObject(s.dc(), old);
  EXPECT_EQ(RowHeight(s), tm.tmHeight + 1 + 5);
  EXPECT_EQ(ListVisibleRows(107, 20), 5);  // header 20, rows at 20..100, the last one cut
  EXPECT_EQ(ListVisibleRows(100, 20), 4);
  EXPECT_EQ(ListVisibleRows(20, 20), 0);
}

TEST_F(ListPaintTest, HeaderRowsSelectionFramesAndBlankRows) {
  Surface s(290, 200);
  PaintList(s.dc(), s.rect(), p_);
  const int rh = RowHeight(s);
  const COLORREF header = RGB(215, 211, 202), set1 = RGB(255, 255, 255), set2 = RGB(237, 239, 234);
  const COLORREF black = RGB(0, 0, 0);
  auto mid = [&](int row) { return rh * (row + 1) + rh / 2; };  // row -1 is the header
  // Header: background inside the cells, shadow frame round them.
  EXPECT_EQ(s.At(40, rh / 2), header);  // inside "Cod." right of its text
  EXPECT_EQ(s.At(280, rh / 2), header);
  EXPECT_EQ(s.At(20, 0), GetSysColor(COLOR_BTNSHADOW));
  // Row 0 is the selected row of an unfocused list: white text on grey.
  EXPECT_EQ(s.At(200, mid(0)), RGB(128, 128, 128));
  EXPECT_GT(s.Count(RGB(255, 255, 255), 17, rh + 1, 46, 2 * rh - 1), 5);
  // Rows 1, 2 alternate with the records: set 1 then set 2; the blank rows
  // below the last record go on with the pattern.
  EXPECT_EQ(s.At(200, mid(1)), set1);
  EXPECT_EQ(s.At(200, mid(2)), set2);
  EXPECT_EQ(s.At(200, mid(3)), set1);
  EXPECT_EQ(s.At(200, mid(4)), set2);
  // Solid black frames round every data cell, blank rows included.
  for (int row = 0; row < 5; ++row) {
    EXPECT_EQ(s.At(0, mid(row)), black) << row;
    EXPECT_EQ(s.At(16, mid(row)), black) << row;
    EXPECT_EQ(s.At(46, mid(row)), black) << row;
    EXPECT_EQ(s.At(230, mid(row)), black) << row;
    EXPECT_EQ(s.At(100, rh * (row + 2) - 1), black) << row;
  }
  // Right of the last column: the row colour, no frame.
  EXPECT_EQ(s.At(260, rh * 3 - 1), set1);
  // The tick of row 0 and the cross of row 1, drawn without their key colour.
  EXPECT_EQ(s.At(8, mid(0)), RGB(0, 150, 40));
  EXPECT_EQ(s.At(8, mid(1)), RGB(200, 30, 30));
  EXPECT_EQ(s.Count(RGB(255, 0, 255), 0, 0, 290, 200), 0);
}

TEST_F(ListPaintTest, PatternFollowsTheRecordPositionAndFocusColoursTheSelection) {
  Surface s(290, 120);
  p_.first_position = 1;  // the list shows from the second record on
  p_.focused = true;
  PaintList(s.dc(), s.rect(), p_);
  const int rh = RowHeight(s);
  EXPECT_EQ(s.At(200, rh + rh / 2), RGB(132, 134, 133));
  EXPECT_EQ(s.At(200, 2 * rh + rh / 2), RGB(237, 239, 234));  // position 2: set 2
  EXPECT_EQ(s.At(200, 3 * rh + rh / 2), RGB(255, 255, 255));
}

TEST_F(ListPaintTest, LineStylesAndRowsThatDoNotAlternate) {
  const int w = 290, h = 160;
  {
    // Style 3: no frames and no blank rows: the list's own background below.
    Surface s(w, h);
    p_.own.line_style = framework::kLineClassic;
    PaintList(s.dc(), s.rect(), p_);
    const int rh = RowHeight(s);
    EXPECT_EQ(s.At(16, 2 * rh + rh / 2), RGB(255, 255, 255));
    EXPECT_EQ(s.At(16, 5 * rh + rh / 2), GetSysColor(COLOR_WINDOW));
  }
  {
    // Style 0: blank rows without frames.
    Surface s(w, h);
    p_.own.line_style = framework::kLineNone;
    PaintList(s.dc(), s.rect(), p_);
    const int rh = RowHeight(s);
    EXPECT_EQ(s.At(16, 4 * rh + rh / 2), RGB(255, 255, 255));
    EXPECT_EQ(s.At(16, 5 * rh + rh / 2), RGB(237, 239, 234));
  }
  {
    // Rows that do not alternate take the list's own colours.
    Surface s(w, h);
    framework::LALTERCLR(false);
    p_.look = framework::CurrentBrowseLook();
    p_.own.line_style = framework::kLineSolid;
    p_.own.background = Brush::Of(Rgb(10, 20, 30));
    PaintList(s.dc(), s.rect(), p_);
    const int rh = RowHeight(s);
    EXPECT_EQ(s.At(200, 2 * rh + rh / 2), RGB(10, 20, 30));
    EXPECT_EQ(s.At(200, 3 * rh + rh / 2), RGB(10, 20, 30));
    framework::ResetBrowseLook();
  }
}

}  // namespace
}  // namespace kx::gui::win32
