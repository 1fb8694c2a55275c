#include <windows.h>

#include <vector>

#include "platform/process.h"
#include "platform/win32/win32_error.h"

namespace kx::platform {
namespace {

class Win32Process : public Process {
 public:
  explicit Win32Process(HANDLE h) : h_(h) {}
  ~Win32Process() override { ::CloseHandle(h_); }

  Status Wait(uint32_t timeout_ms, bool* ended, uint32_t* exit_code) override {
    DWORD r = ::WaitForSingleObject(h_, timeout_ms == kWaitForever ? INFINITE : timeout_ms);
    if (r == WAIT_TIMEOUT) {
      *ended = false;
      return Status::Ok();
    }
    if (r != WAIT_OBJECT_0) return LastErrorStatus(::GetLastError(), "waiting for a process");
    DWORD code = 0;
    if (!::GetExitCodeProcess(h_, &code)) return LastErrorStatus(::GetLastError(), "exit code of a process");
    *ended = true;
    *exit_code = code;
    return Status::Ok();
  }

 private:
  HANDLE h_;
};

}  // namespace

Status StartProcess(const std::string& command_line, const StartOptions& options, std::unique_ptr<Process>* result) {
  result->reset();
  // CreateProcessA may write into the command line.
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, options.creation_flags, nullptr,
                        options.folder.empty() ? nullptr : options.folder.c_str(), &si, &pi))
    return LastErrorStatus(::GetLastError(), command_line + ": cannot start");
  ::CloseHandle(pi.hThread);
  *result = std::make_unique<Win32Process>(pi.hProcess);
  return Status::Ok();
}

}  // namespace kx::platform
