// Answers the framework asks of the product it runs in. The product installs
// its hooks by name at start-up (the updater: updater/hooks.h
// InstallHostHooks); a hook that is not installed answers nothing, which the
// framework takes as the absence of the feature.
//
// Names: "OWND" (application window), "__PRODUCT", "APPMAINEXENAME",
// "INDEXEXT", "TI_COMPARE" (two arguments), "AINDEXCHAIN", "KX_ACONFIG",
// "LSWLOGO" (two arguments), "WL_AWLIST".
#pragma once

#include <functional>
#include <string>

#include "base/value.h"

namespace kx::framework {

using HostHook = std::function<Value(const ValueList& args)>;

// Installs (or, with an empty function, removes) the hook of that name.
void SetHostHook(const std::string& name, HostHook hook);
// Calls the hook of that name; nothing when it is not installed.
Value AskHost(const std::string& name, const ValueList& args = {});

}  // namespace kx::framework
