#include <windows.h>

#include "platform/mutex.h"
#include "platform/win32/win32_error.h"

namespace kx::platform {
namespace {

class Win32Mutex : public NamedMutex {
 public:
  Win32Mutex(HANDLE h, bool existed) : h_(h), existed_(existed) {}
  ~Win32Mutex() override { ::CloseHandle(h_); }
  bool already_existed() const override { return existed_; }

 private:
  HANDLE h_;
  bool existed_;
};

}  // namespace

Status OpenNamedMutex(const std::string& name, std::unique_ptr<NamedMutex>* result) {
  result->reset();
  HANDLE h = ::CreateMutexA(nullptr, FALSE, name.c_str());
  DWORD e = ::GetLastError();
  if (!h) return LastErrorStatus(e, "mutex " + name);
  *result = std::make_unique<Win32Mutex>(h, e == ERROR_ALREADY_EXISTS);
  return Status::Ok();
}

}  // namespace kx::platform
