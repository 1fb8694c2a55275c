// Colours, fonts and the other look settings that dialogs and controls take.
// Plain values: an implementation turns them into the system's drawing objects
// when it needs them and releases those when its dialog is destroyed.
#pragma once

#include <cstdint>
#include <string>

namespace kx::gui {

// An RGB colour, as the Win32 RGB() macro packs it.
struct Color {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(Color, Color) = default;
};

constexpr Color Rgb(uint8_t r, uint8_t g, uint8_t b) { return Color{r, g, b}; }

// A font by face, width and height, in the units of the Win32 logical font
// (a negative height is a character height in pixels; width 0 lets the system
// pick the width).
struct FontSpec {
  std::string face;  // Windows-1252
  int width = 0;
  int height = 0;
  bool bold = false;
  friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

// A background that is either a fixed colour or one of the system colours.
struct Brush {
  enum class Kind { Rgb, SystemButtonFace, SystemWindow };
  Kind kind = Kind::SystemWindow;
  Color color;  // for Kind::Rgb
  static Brush Of(Color c) { return Brush{Kind::Rgb, c}; }
  static Brush ButtonFace() { return Brush{Kind::SystemButtonFace, {}}; }
  static Brush Window() { return Brush{Kind::SystemWindow, {}}; }
  friend bool operator==(const Brush&, const Brush&) = default;
};

}  // namespace kx::gui
