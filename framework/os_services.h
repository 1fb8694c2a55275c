// The few operating-system calls of the framework's start-up that the platform
// layer does not offer: one implementation in posix/, one in win32/.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/value.h"

namespace kx::framework::os {

// Asks the system for `wanted` file handles and returns the number granted.
// Windows: SetHandleCount. POSIX: raises the soft RLIMIT_NOFILE up to `wanted`
// (never above the hard limit, never lowering it) and returns the smaller of
// `wanted` and the resulting soft limit.
int RequestFileHandles(int wanted);

// Face name and height (as stored: negative is a character height in pixels)
// of the system's stock default GUI font.
void StockGuiFont(std::string* face, int* height);

// The cursor of the program's resources under `name`; null when the program
// carries no such cursor (and always on POSIX).
std::shared_ptr<Object> LoadProgramCursor(const std::string& name);

// The current-directory calls of the system library `library`, loaded by name
// for each call. When the library (or its entry point) cannot be had they
// return false and store the loader's answer (0 for a failed load) in
// *load_result. POSIX has no such library: "Kernel32" (any case) stands for
// the platform's own calls and any other name fails to load.
bool LibrarySetCurrentDirectory(const std::string& library, const std::string& folder, bool* answer,
                                uint64_t* load_result);
// Writes the current directory into *buffer when it fits in `length`
// characters including the terminating zero, and stores in *answer its length;
// when it does not fit, *buffer is left as it was and *answer is the length
// needed including the terminating zero (the system's rule).
bool LibraryGetCurrentDirectory(const std::string& library, uint32_t length, std::string* buffer,
                                uint32_t* answer, uint64_t* load_result);

}  // namespace kx::framework::os
