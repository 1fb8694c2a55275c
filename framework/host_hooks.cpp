#include "framework/host_hooks.h"

#include <map>

namespace kx::framework {
namespace {
std::map<std::string, HostHook>& Hooks() {
  static std::map<std::string, HostHook> hooks;
  return hooks;
}
}  // namespace

void SetHostHook(const std::string& name, HostHook hook) {
  if (hook) Hooks()[name] = std::move(hook);
  else Hooks().erase(name);
}

Value AskHost(const std::string& name, const ValueList& args) {
  auto it = Hooks().find(name);
  if (it == Hooks().end()) return Value();
  // A copy: the hook may replace itself while it runs.
  HostHook hook = it->second;
  return hook(args);
}

}  // namespace kx::framework
