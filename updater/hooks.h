// The updater's answers to the framework's host hooks. Most are the neutral
// answer nothing (no object, no list, no text), which the framework takes as
// the absence of the feature; the rest are fixed constants.
//
// C++ names and the names the framework asks by (framework/host_hooks.h):
//   OWND()            "OWND"            the progress dialog, nothing before it exists
//   PRODUCT()         "__PRODUCT"       "ZELBAR"
//   APPMAINEXENAME()  "APPMAINEXENAME"  "ZELBARW.EXE"
//   INDEXEXT()        "INDEXEXT"        ".CDX"
//   TI_COMPARE(x, y)  "TI_COMPARE"      logical (rule below)
//   AINDEXCHAIN()     "AINDEXCHAIN"     nothing
//   KX_ACONFIG()      "KX_ACONFIG"      nothing
//   LSWLOGO(l1, l2)   "LSWLOGO"         nothing
//   WL_AWLIST()       "WL_AWLIST"       nothing
#pragma once

#include <string>

#include "base/value.h"

namespace kx::gui {
class Dialog;
}

namespace kx::updater {

// The object OWND answers with: the progress dialog. Class name "TDIALOG".
class ProgressDialogRef : public Object {
 public:
  explicit ProgressDialogRef(gui::Dialog* dialog) : dialog_(dialog) {}
  std::string ClassName() const override { return "TDIALOG"; }
  gui::Dialog* dialog() const { return dialog_; }

 private:
  gui::Dialog* dialog_;
};

// The update run registers its progress dialog once it is built and
// unregisters it when the dialog is gone; OWND answers with it in between.
// REQUIRES: the dialog outlives its registration.
void RegisterProgressDialog(gui::Dialog* dialog);
void UnregisterProgressDialog();
// The registered dialog, or null.
gui::Dialog* ProgressDialog();

Value OWND();
Value PRODUCT();
Value APPMAINEXENAME();
Value INDEXEXT();
// When x is text: y not text becomes its text (a number its decimal text);
// true when both, trimmed of surrounding blanks and upper-cased, are the same.
// When x is a number: y not a number is read as a number from its text; true
// when the numbers are equal. Otherwise: true when x and y are exactly equal.
Value TI_COMPARE(const Value& x, const Value& y);
Value AINDEXCHAIN();
Value KX_ACONFIG();
Value LSWLOGO(const Value& l1, const Value& l2);
Value WL_AWLIST();

// Installs every hook above in the framework, under the names tabled above.
void InstallHostHooks();

}  // namespace kx::updater
