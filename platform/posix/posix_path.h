// Mapping of the program's Windows-style paths onto a POSIX tree.
#pragma once

#include <string>

#include "platform/status.h"

namespace kx::platform {

// Turns a program path (Windows-1252, '\' or '/' separators, optional drive
// letter) into a host path (UTF-8, '/'). "X:" maps to $UPDATER_DRIVE_X; an
// unmapped drive fails with kErrPathNotFound and a message naming the
// variable. Each component that does not exist with its exact name is replaced
// by an entry of its folder whose name matches without regard to case. An
// empty path fails with kErrPathNotFound, as on Windows.
Status ResolvePath(const std::string& path, std::string* host);

// A host file name (UTF-8) as the program sees it (Windows-1252).
std::string HostToName(const std::string& host_name);

}  // namespace kx::platform
