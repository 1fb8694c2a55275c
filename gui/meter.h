// A progress meter: a value out of a total with a text, painted as a bar.
#pragma once

#include <cstdint>
#include <string>

#include "gui/look.h"

namespace kx::gui {

struct MeterColors {
  Color bar_back = Rgb(0, 0, 255);      // the part up to the percentage
  Color bar_text = Rgb(255, 255, 0);
  Color rest_back = Rgb(192, 192, 192); // the part after it
  Color rest_text = Rgb(128, 128, 128);
  friend bool operator==(const MeterColors&, const MeterColors&) = default;
};

// A meter control of a dialog. Setters may be called before the dialog's
// window exists; the meter then shows the stored state when it is first
// painted. Nothing is drawn until Repaint() or the dialog's own painting.
class Meter {
 public:
  virtual ~Meter() = default;

  // The total starts at 100. Setting it does not change the value; a value
  // above a smaller total shows as full (see Percentage).
  virtual void SetTotal(int64_t total) = 0;
  virtual int64_t Total() const = 0;
  // Stores the value clamped into 0 ... total and repaints the bar.
  virtual void SetValue(int64_t value) = 0;
  virtual int64_t Value() const = 0;
  // The text painted in the bar (Windows-1252). The resource caption of the
  // control is never painted.
  virtual void SetText(const std::string& text) = 0;
  virtual std::string Text() const = 0;
  virtual void SetFont(const FontSpec& font) = 0;
  virtual void SetColors(const MeterColors& colors) = 0;
  // Paints the meter now (text, bar and percentage).
  virtual void Repaint() = 0;

  // Whole percent shown: value * 100 / total, a total of 0 counting as 1,
  // clamped into 0 ... 100.
  int Percentage() const { return MeterPercentage(Value(), Total()); }
  // The caption the meter paints, centred: text, one blank, the percentage
  // right-aligned in three characters and "%" ("EMPRESA 001  50%").
  std::string Caption() const { return MeterCaption(Text(), Value(), Total()); }

  static int MeterPercentage(int64_t value, int64_t total);
  static std::string MeterCaption(const std::string& text, int64_t value, int64_t total);
};

}  // namespace kx::gui
