#include "platform/process.h"

namespace kx::platform {

Status RunAndWait(const std::string& command_line, const StartOptions& options, uint32_t* exit_code) {
  std::unique_ptr<Process> p;
  Status s = StartProcess(command_line, options, &p);
  if (!s.ok()) return s;
  bool ended = false;
  return p->Wait(kWaitForever, &ended, exit_code);
}

}  // namespace kx::platform
