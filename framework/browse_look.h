// The look of the framework's lists (browses): one process-wide set of
// get/set settings with built-in defaults, and the look a list control
// resolves from them when it is created.
//
// Each routine follows the setting pattern: called with a value it stores it,
// called without one it stores nothing; it always returns the current value,
// or the built-in default when the setting was never stored. Colours are
// Windows colour values (0x00BBGGRR). A program that never loads a user's
// settings (the updater) runs on the defaults.
#pragma once

#include <cstdint>
#include <optional>

namespace kx::framework {

// Cell line styles.
enum : int {
  kLineNone = 0,
  kLineClassic = 3,
  kLineDotted = 4,
  kLineSolid = 5,
};

int NLINESTYLE(std::optional<int> style = std::nullopt);  // default 5
// Stores the saved colour-list flag, but answers the classic-look flag.
bool LCOLORBRW(std::optional<bool> flag = std::nullopt);
bool LCLASSIC(std::optional<bool> flag = std::nullopt);  // default false
uint32_t NXCLRLINE(std::optional<uint32_t> color = std::nullopt);  // cell frames, 0
uint32_t NCLRFHDR(std::optional<uint32_t> color = std::nullopt);   // header text, 0
uint32_t NCLRBHDR(std::optional<uint32_t> color = std::nullopt);   // header back, RGB(215,211,202)
uint32_t NCLRTEXT(std::optional<uint32_t> color = std::nullopt);   // row text, 0
// Row background when rows do not alternate: RGB(192,192,192) with the
// classic look on, else RGB(237,239,234), until a value is stored.
uint32_t NCLRPANE(std::optional<uint32_t> color = std::nullopt);
uint32_t NCLRTROW1(std::optional<uint32_t> color = std::nullopt);  // 0
uint32_t NCLRPROW1(std::optional<uint32_t> color = std::nullopt);  // white
uint32_t NCLRTROW2(std::optional<uint32_t> color = std::nullopt);  // 0
uint32_t NCLRPROW2(std::optional<uint32_t> color = std::nullopt);  // RGB(237,239,234)
bool LALTERCLR(std::optional<bool> flag = std::nullopt);           // true
int NHLINE(std::optional<int> pixels = std::nullopt);              // 5
uint32_t NCLRBACKFOCUS(std::optional<uint32_t> color = std::nullopt);  // RGB(132,134,133)
uint32_t NCLRFOREFOCUS(std::optional<uint32_t> color = std::nullopt);  // white

// Back to the built-in defaults (start-up code and tests).
void ResetBrowseLook();

// A colour of the resolved look: a fixed value, or one of the system's
// colours by its Win32 index (COLOR_BTNFACE and so on), which only the
// drawing code can resolve.
struct LookColor {
  uint32_t rgb = 0;
  int system_index = -1;  // >= 0: a system colour
  static LookColor Of(uint32_t rgb) { return LookColor{rgb, -1}; }
  static LookColor System(int index) { return LookColor{0, index}; }
  bool is_system() const { return system_index >= 0; }
  friend bool operator==(const LookColor&, const LookColor&) = default;
};

// Win32 indices of the system colours the list look uses.
enum : int {
  kSysActiveCaption = 2,
  kSysWindow = 5,
  kSysCaptionText = 9,
  kSysButtonFace = 15,
  kSysButtonShadow = 16,
  kSysButtonText = 18,
};

// What a list control draws with, taken from the settings when it is
// created. With the classic look on it takes the classic values instead.
struct BrowseLook {
  int line_style = kLineSolid;
  LookColor line_color;          // solid cell frames
  LookColor header_text, header_back;
  LookColor header_frame = LookColor::System(kSysButtonShadow);
  bool alternate = true;         // rows alternate between set 2 and set 1
  LookColor row_text, row_back;  // rows that do not alternate
  LookColor row1_text, row1_back, row2_text, row2_back;
  int row_spacing = 5;           // pixels added to the text height of a row
  LookColor focus_text, focus_back;             // selected row, list focused
  LookColor unfocused_back = LookColor::Of(0x808080);  // selected row otherwise
  bool blank_rows = true;        // blank rows below the last record
  friend bool operator==(const BrowseLook&, const BrowseLook&) = default;
};

BrowseLook CurrentBrowseLook();

// Row height of a list whose font has `text_height` pixels: text height + 1 +
// the row spacing. The header row has the same height.
int BrowseRowHeight(const BrowseLook& look, int text_height);

// Colour set of a data row: the row's record position counted from the first
// record of the list's order (0 for the first record) gives set 2 for even
// positions and set 1 for odd ones, so the pattern stays with the records
// when the list scrolls. Blank rows below the last record continue it.
// Rows that do not alternate take the plain row colours.
struct RowColors {
  LookColor text, back;
};
RowColors BrowseRowColors(const BrowseLook& look, int64_t record_position);

}  // namespace kx::framework
