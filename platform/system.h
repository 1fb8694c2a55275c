// Operating-system services other than files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/status.h"

namespace kx::platform {

// Milliseconds since an arbitrary start; wraps like GetTickCount.
uint32_t TickCount();

// The process's current directory, with a trailing separator only at a root.
std::string CurrentFolder();
// Sets the current directory; false when the system refuses.
bool SetCurrentFolder(const std::string& path);

// Full path of the running program's file.
std::string ModulePath();

}  // namespace kx::platform
