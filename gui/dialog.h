// A modal dialog built from a dialog resource, with its controls bound by id.
//
// Life of a dialog: Toolkit::LoadDialog creates the object from the resource
// name; the caller binds controls (Meter, TableList, Picture, text labels) by
// their ids and sets fonts, icon and actions; RunModal shows it, runs the init
// action before the first paint, the start action once right after the first
// paint, and returns when Close has been called. Bound controls live as long
// as the dialog object.
#pragma once

#include <functional>
#include <string>

#include "gui/look.h"
#include "gui/meter.h"
#include "gui/picture.h"
#include "gui/table_list.h"

namespace kx::gui {

// A static text control.
class Label {
 public:
  virtual ~Label() = default;
  virtual void SetText(const std::string& text) = 0;  // Windows-1252
  virtual std::string Text() const = 0;
  virtual void SetTextColor(Color color) = 0;
};

class Dialog {
 public:
  virtual ~Dialog() = default;

  // Binding a control of the template by id. The same id always returns the
  // same object; REQUIRES: the template has a control of that id and kind
  // (an implementation may return a control that draws nothing otherwise).
  virtual Meter* BindMeter(int id) = 0;
  virtual TableList* BindList(int id) = 0;
  virtual Picture* BindPicture(int id) = 0;
  virtual Label* BindLabel(int id) = 0;

  // The dialog's font (controls without a font of their own use it).
  virtual void SetFont(const FontSpec& font) = 0;
  // The icon, by resource id of the program's icon.
  virtual void SetIconResource(int resource_id) = 0;

  // Runs inside RunModal before the first paint (the window and its controls
  // exist then).
  virtual void SetInitAction(std::function<void()> action) = 0;
  // Runs once, right after the first paint. Window messages are handled only
  // when the action processes pending messages; it usually ends with Close().
  virtual void SetStartAction(std::function<void()> action) = 0;

  // Shows the dialog modally, centred on screen when `centred`; returns when
  // the dialog has closed. A dialog runs once.
  virtual void RunModal(bool centred) = 0;
  // Closes the dialog; RunModal returns once the current action has returned.
  virtual void Close() = 0;
  // True from the start of RunModal until the dialog has closed.
  virtual bool IsOpen() const = 0;
  // Repaints the whole dialog.
  virtual void Repaint() = 0;

  // The system's window handle (an HWND on Windows), null when there is none
  // (headless, or before RunModal).
  virtual void* NativeHandle() const = 0;
};

}  // namespace kx::gui
