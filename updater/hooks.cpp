#include "updater/hooks.h"

#include <memory>

#include "base/cp1252.h"
#include "base/number_text.h"
#include "base/value_text.h"
#include "framework/host_hooks.h"

namespace kx::updater {
namespace {

std::shared_ptr<ProgressDialogRef>& Registered() {
  static std::shared_ptr<ProgressDialogRef> ref;
  return ref;
}

const Value& Arg(const ValueList& args, size_t i) {
  static const Value nothing;
  return i < args.size() ? args[i] : nothing;
}

}  // namespace

void RegisterProgressDialog(gui::Dialog* dialog) {
  Registered() = dialog ? std::make_shared<ProgressDialogRef>(dialog) : nullptr;
}

void UnregisterProgressDialog() { Registered() = nullptr; }

gui::Dialog* ProgressDialog() { return Registered() ? Registered()->dialog() : nullptr; }

Value OWND() { return Registered() ? Value::FromObject(Registered()) : Value(); }
Value PRODUCT() { return Value::Text("ZELBAR"); }
Value APPMAINEXENAME() { return Value::Text("ZELBARW.EXE"); }
Value INDEXEXT() { return Value::Text(".CDX"); }

Value TI_COMPARE(const Value& x, const Value& y) {
  if (x.IsText()) {
    std::string other = y.IsText() ? y.text() : GeneralText(y);
    return Value::Logical(Upper(Trim(x.text())) == Upper(Trim(other)));
  }
  if (x.IsNumber()) {
    double other = y.IsNumber() ? y.number() : TextToNumber(GeneralText(y));
    return Value::Logical(x.number() == other);
  }
  return Value::Logical(x == y);
}

Value AINDEXCHAIN() { return Value(); }
Value KX_ACONFIG() { return Value(); }
Value LSWLOGO(const Value&, const Value&) { return Value(); }
Value WL_AWLIST() { return Value(); }

void InstallHostHooks() {
  using framework::SetHostHook;
  SetHostHook("OWND", [](const ValueList&) { return OWND(); });
  SetHostHook("__PRODUCT", [](const ValueList&) { return PRODUCT(); });
  SetHostHook("APPMAINEXENAME", [](const ValueList&) { return APPMAINEXENAME(); });
  SetHostHook("INDEXEXT", [](const ValueList&) { return INDEXEXT(); });
  SetHostHook("TI_COMPARE", [](const ValueList& a) { return TI_COMPARE(Arg(a, 0), Arg(a, 1)); });
  SetHostHook("AINDEXCHAIN", [](const ValueList&) { return AINDEXCHAIN(); });
  SetHostHook("KX_ACONFIG", [](const ValueList&) { return KX_ACONFIG(); });
  SetHostHook("LSWLOGO", [](const ValueList& a) { return LSWLOGO(Arg(a, 0), Arg(a, 1)); });
  SetHostHook("WL_AWLIST", [](const ValueList&) { return WL_AWLIST(); });
}

}  // namespace kx::updater
