// A named mutex shared by every process of the machine (of the user's
// session): the single-instance guard of a program.
#pragma once

#include <memory>
#include <string>

#include "platform/status.h"

namespace kx::platform {

// Holding one keeps the name taken; destroying it releases the name (the
// system releases it too when the process ends, however it ends).
class NamedMutex {
 public:
  virtual ~NamedMutex() = default;
  // True when the name was already taken when this one was made: another
  // instance (or another NamedMutex of this process) holds it.
  virtual bool already_existed() const = 0;
};

// Creates the mutex `name`, or opens it when it exists; does not wait. On
// success stores it in *result; already_existed() tells whether somebody
// held the name first. Fails only when the system cannot make one at all.
// Windows: CreateMutexA(NULL, FALSE, name) and ERROR_ALREADY_EXISTS.
// POSIX: an flock'ed file named after the mutex in the temporary folder
// ($TMPDIR or /tmp); the lock, not the file, is the mutex.
// REQUIRES: name holds no path separator.
Status OpenNamedMutex(const std::string& name, std::unique_ptr<NamedMutex>* result);

}  // namespace kx::platform
