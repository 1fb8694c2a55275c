#include "framework/browse_look.h"

#include "base/module_variables.h"
#include "base/setting.h"

namespace kx::framework {

namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

struct Store {
  Setting<int> line_style{kLineSolid};
  Setting<bool> color_brw{false};
  Setting<bool> classic{false};
  Setting<uint32_t> line{0};
  Setting<uint32_t> fore_header{0};
  Setting<uint32_t> back_header{Rgb(215, 211, 202)};
  Setting<uint32_t> text{0};
  std::optional<uint32_t> pane;  // default follows the classic flag
  Setting<uint32_t> text_row1{0};
  Setting<uint32_t> pane_row1{Rgb(255, 255, 255)};
  Setting<uint32_t> text_row2{0};
  Setting<uint32_t> pane_row2{Rgb(237, 239, 234)};
  Setting<bool> alternate{true};
  Setting<int> hline{5};
  Setting<uint32_t> back_focus{Rgb(132, 134, 133)};
  Setting<uint32_t> fore_focus{Rgb(255, 255, 255)};
};

KX_MODULE_VARIABLES(16);  // the members of Store

Store& S() {
  static Store store;
  return store;
}

}  // namespace

int NLINESTYLE(std::optional<int> style) { return S().line_style(style); }

bool LCOLORBRW(std::optional<bool> flag) {
  S().color_brw(flag);
  return S().classic.get();
}

bool LCLASSIC(std::optional<bool> flag) { return S().classic(flag); }
uint32_t NXCLRLINE(std::optional<uint32_t> color) { return S().line(color); }
uint32_t NCLRFHDR(std::optional<uint32_t> color) { return S().fore_header(color); }
uint32_t NCLRBHDR(std::optional<uint32_t> color) { return S().back_header(color); }
uint32_t NCLRTEXT(std::optional<uint32_t> color) { return S().text(color); }

uint32_t NCLRPANE(std::optional<uint32_t> color) {
  if (color) S().pane = color;
  if (S().pane) return *S().pane;
  return S().classic.get() ? Rgb(192, 192, 192) : Rgb(237, 239, 234);
}

uint32_t NCLRTROW1(std::optional<uint32_t> color) { return S().text_row1(color); }
uint32_t NCLRPROW1(std::optional<uint32_t> color) { return S().pane_row1(color); }
uint32_t NCLRTROW2(std::optional<uint32_t> color) { return S().text_row2(color); }
uint32_t NCLRPROW2(std::optional<uint32_t> color) { return S().pane_row2(color); }
bool LALTERCLR(std::optional<bool> flag) { return S().alternate(flag); }
int NHLINE(std::optional<int> pixels) { return S().hline(pixels); }
uint32_t NCLRBACKFOCUS(std::optional<uint32_t> color) { return S().back_focus(color); }
uint32_t NCLRFOREFOCUS(std::optional<uint32_t> color) { return S().fore_focus(color); }

void ResetBrowseLook() { S() = Store(); }

BrowseLook CurrentBrowseLook() {
  BrowseLook look;
  if (LCLASSIC()) {
    look.line_style = kLineClassic;
    look.line_color = LookColor::Of(NXCLRLINE());
    look.header_text = LookColor::System(kSysButtonText);
    look.header_back = LookColor::System(kSysButtonFace);
    look.focus_text = LookColor::System(kSysCaptionText);
    look.focus_back = LookColor::System(kSysActiveCaption);
    look.unfocused_back = LookColor::System(kSysActiveCaption);
    look.alternate = false;
    look.row_spacing = 0;
    look.row_text = LookColor::System(kSysButtonText);
    look.row_back = LookColor::System(kSysButtonFace);
    look.row1_text = look.row2_text = look.row_text;
    look.row1_back = look.row2_back = look.row_back;
    look.blank_rows = false;
    return look;
  }
  look.line_style = NLINESTYLE();
  look.line_color = LookColor::Of(NXCLRLINE());
  look.header_text = LookColor::Of(NCLRFHDR());
  look.header_back = LookColor::Of(NCLRBHDR());
  look.alternate = LALTERCLR();
  look.row_text = LookColor::Of(NCLRTEXT());
  look.row_back = LookColor::Of(NCLRPANE());
  look.row1_text = LookColor::Of(NCLRTROW1());
  look.row1_back = LookColor::Of(NCLRPROW1());
  look.row2_text = LookColor::Of(NCLRTROW2());
  look.row2_back = LookColor::Of(NCLRPROW2());
  look.row_spacing = NHLINE();
  look.focus_text = LookColor::Of(NCLRFOREFOCUS());
  look.focus_back = LookColor::Of(NCLRBACKFOCUS());
  look.blank_rows = look.line_style != kLineClassic;
  return look;
}

int BrowseRowHeight(const BrowseLook& look, int text_height) { return text_height + 1 + look.row_spacing; }

RowColors BrowseRowColors(const BrowseLook& look, int64_t record_position) {
  if (!look.alternate) return {look.row_text, look.row_back};
  if (record_position % 2 == 0) return {look.row2_text, look.row2_back};
  return {look.row1_text, look.row1_back};
}

}  // namespace kx::framework
