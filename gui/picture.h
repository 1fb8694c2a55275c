// A picture control that shows a bitmap of the program's resources by name.
#pragma once

#include <string>

namespace kx::gui {

class Picture {
 public:
  virtual ~Picture() = default;

  // Shows the named resource bitmap ("ACTUA3") and repaints the control.
  // False when the program carries no bitmap of that name (the picture keeps
  // what it showed).
  virtual bool ShowBitmap(const std::string& resource_name) = 0;
  // Name of the bitmap shown, empty before the first.
  virtual std::string BitmapName() const = 0;
  // Draws the bitmap with its corner pixel's colour as transparent.
  virtual void SetTransparent(bool transparent) = 0;
  virtual void Repaint() = 0;
};

}  // namespace kx::gui
