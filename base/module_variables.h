// Module-level variables of the program, counted for the error report's
// memory block: each source file that holds such variables declares how
// many with one KX_MODULE_VARIABLES(n) at namespace scope.
#pragma once

namespace kx {

struct ModuleVariables {
  explicit ModuleVariables(int n) noexcept { count += n; }
  static inline int count = 0;
};
inline int ModuleVariableCount() { return ModuleVariables::count; }

}  // namespace kx

#define KX_MODULE_VARIABLES_CAT2(a, b) a##b
#define KX_MODULE_VARIABLES_CAT(a, b) KX_MODULE_VARIABLES_CAT2(a, b)
#define KX_MODULE_VARIABLES(n) \
  static ::kx::ModuleVariables KX_MODULE_VARIABLES_CAT(kx_module_variables_, __LINE__)(n)
