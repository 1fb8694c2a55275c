// Starting other programs and waiting for them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/status.h"

namespace kx::platform {

// CreateProcess flag: run a 16-bit program in a virtual machine of its own.
// Ignored where it means nothing.
constexpr uint32_t kCreateSeparateWowVdm = 0x00000800;

struct StartOptions {
  // Working folder of the new process; empty keeps the caller's.
  std::string folder;
  // Windows process-creation flags (CreateProcess's dwCreationFlags); ignored
  // on POSIX.
  uint32_t creation_flags = 0;
};

// A started program. Destroying it neither waits for nor stops the program.
class Process {
 public:
  virtual ~Process() = default;

  // Waits at most timeout_ms milliseconds (kWaitForever: no limit) for the
  // program to end. When it has ended, stores true in *ended and its exit
  // code in *exit_code (on POSIX a program killed by signal s reports
  // 128 + s); otherwise stores false and leaves *exit_code alone. Processes
  // no window messages: a caller that must keep its windows painting waits
  // in slices of a few milliseconds and processes messages between them.
  // Waiting again after the end answers the same code at once.
  virtual Status Wait(uint32_t timeout_ms, bool* ended, uint32_t* exit_code) = 0;
};

constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

// Starts command_line as a new process that inherits the caller's
// environment and none of its handles, and does not wait for it. The command
// line is a Windows command line: its first word (quoted when it holds
// blanks) names the program. On POSIX it is split by the Windows rules
// (quotes, backslashes before quotes), the program is resolved as file paths
// are when it holds a separator and is looked up in PATH otherwise.
// On success stores the process in *result; on failure (missing program 2,
// missing folder 3, ...) leaves *result empty and nothing was started.
Status StartProcess(const std::string& command_line, const StartOptions& options, std::unique_ptr<Process>* result);

// Starts command_line and waits without limit for it to end; stores its exit
// code in *exit_code. Processes no window messages while it waits.
Status RunAndWait(const std::string& command_line, const StartOptions& options, uint32_t* exit_code);

}  // namespace kx::platform
