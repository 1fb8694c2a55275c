// POSIX has no registry; tests and native runs use MemoryRegistry.
#include "platform/registry.h"

namespace kx::platform {

Registry* SystemRegistry() { return nullptr; }

}  // namespace kx::platform
