// Windows error codes as Status values.
#pragma once

#include <cstdint>
#include <string>

#include "platform/status.h"

namespace kx::platform {

// A failed status with the code as the system gave it and a message that
// starts with `what` and ends with the system's own text for the code.
Status LastErrorStatus(uint32_t code, const std::string& what);

}  // namespace kx::platform
