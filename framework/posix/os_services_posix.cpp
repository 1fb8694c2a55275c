#include <sys/resource.h>

#include "base/cp1252.h"
#include "framework/os_services.h"
#include "platform/system.h"

namespace kx::framework::os {

int RequestFileHandles(int wanted) {
  if (wanted < 0) wanted = 0;
  struct rlimit lim;
  if (::getrlimit(RLIMIT_NOFILE, &lim) != 0) return 0;
  rlim_t want = static_cast<rlim_t>(wanted);
  if (lim.rlim_cur < want) {
    struct rlimit raised = lim;
    raised.rlim_cur = lim.rlim_max == RLIM_INFINITY || want <= lim.rlim_max ? want : lim.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) lim = raised;
  }
  return lim.rlim_cur < want ? static_cast<int>(lim.rlim_cur) : wanted;
}

// There is no stock GUI font here. Answer what Windows answers for its
// default GUI font at 96 dots per inch: the dialog face "MS Shell Dlg" at a
// character height of 11 pixels (8 points), stored as -11.
void StockGuiFont(std::string* face, int* height) {
  *face = "MS Shell Dlg";
  *height = -11;
}

std::shared_ptr<Object> LoadProgramCursor(const std::string&) { return nullptr; }

namespace {
bool IsKernel32(const std::string& library) { return Upper(library) == "KERNEL32"; }
}  // namespace

bool LibrarySetCurrentDirectory(const std::string& library, const std::string& folder, bool* answer,
                                uint64_t* load_result) {
  if (!IsKernel32(library)) {
    *load_result = 0;
    return false;
  }
  *answer = platform::SetCurrentFolder(folder);
  return true;
}

bool LibraryGetCurrentDirectory(const std::string& library, uint32_t length, std::string* buffer,
                                uint32_t* answer, uint64_t* load_result) {
  if (!IsKernel32(library)) {
    *load_result = 0;
    return false;
  }
  std::string current = platform::CurrentFolder();
  if (current.size() < length) {
    *buffer = current;
    *answer = static_cast<uint32_t>(current.size());
  } else {
    *answer = static_cast<uint32_t>(current.size() + 1);
  }
  return true;
}

}  // namespace kx::framework::os
