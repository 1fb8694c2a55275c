// Operating-system services other than files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/status.h"

namespace kx::platform {

// Milliseconds since an arbitrary start (the system's start on Windows);
// wraps at 2^32 like GetTickCount, so take differences modulo 2^32.
uint32_t TickCount();

// The process's current directory, with a trailing separator only at a root
// ("C:\" on Windows, "/" on POSIX). Empty when the system cannot tell.
std::string CurrentFolder();
// Sets the current directory; false when the system refuses (a missing
// folder, for one). On POSIX the path is resolved as file paths are.
bool SetCurrentFolder(const std::string& path);

// Full path of the running program's file ("C:\APP\UPDATER.EXE"). Empty when
// the system cannot tell.
std::string ModulePath();

// Asks for at least n file handles for this process and returns the number
// granted, which is n when the system can give that many (0 asks for
// nothing and returns 0). Windows gives every process as many as it needs
// (SetHandleCount answers n); POSIX raises the soft limit of open files up to
// the hard limit.
uint32_t RequestFileHandles(uint32_t n);

}  // namespace kx::platform
