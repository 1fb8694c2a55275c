#include <windows.h>

#include <vector>

#include "framework/os_services.h"

namespace kx::framework::os {

int RequestFileHandles(int wanted) {
  if (wanted < 0) wanted = 0;
  return static_cast<int>(::SetHandleCount(static_cast<UINT>(wanted)));
}

void StockGuiFont(std::string* face, int* height) {
  LOGFONTA lf{};
  HGDIOBJ font = ::GetStockObject(DEFAULT_GUI_FONT);
  if (font && ::GetObjectA(font, sizeof lf, &lf) > 0) {
    lf.lfFaceName[LF_FACESIZE - 1] = 0;
    *face = lf.lfFaceName;
    *height = static_cast<int>(lf.lfHeight);
  } else {
    face->clear();
    *height = 0;
  }
}

namespace {

// A cursor of the program's resources; the system owns and frees it.
class ResourceCursor : public Object {
 public:
  explicit ResourceCursor(HCURSOR h) : handle_(h) {}
  std::string ClassName() const override { return "TCURSOR"; }
  HCURSOR handle() const { return handle_; }

 private:
  HCURSOR handle_;
};

// Looks up `entry` in `library`; null when either is missing (load_result then
// holds the loader's answer).
FARPROC LibraryEntry(const std::string& library, const char* entry, HMODULE* module, uint64_t* load_result) {
  HMODULE lib = ::LoadLibraryA(library.c_str());
  *load_result = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(lib));
  *module = lib;
  if (!lib) return nullptr;
  FARPROC fn = ::GetProcAddress(lib, entry);
  if (!fn) {
    ::FreeLibrary(lib);
    *module = nullptr;
    *load_result = 0;
  }
  return fn;
}

}  // namespace

std::shared_ptr<Object> LoadProgramCursor(const std::string& name) {
  HCURSOR h = ::LoadCursorA(::GetModuleHandleA(nullptr), name.c_str());
  if (!h) return nullptr;
  return std::make_shared<ResourceCursor>(h);
}

bool LibrarySetCurrentDirectory(const std::string& library, const std::string& folder, bool* answer,
                                uint64_t* load_result) {
  HMODULE lib = nullptr;
  FARPROC entry = LibraryEntry(library, "SetCurrentDirectoryA", &lib, load_result);
  if (!entry) return false;
  auto fn = reinterpret_cast<BOOL(WINAPI*)(LPCSTR)>(reinterpret_cast<void (*)()>(entry));
  *answer = fn(folder.c_str()) != 0;
  ::FreeLibrary(lib);
  return true;
}

bool LibraryGetCurrentDirectory(const std::string& library, uint32_t length, std::string* buffer,
                                uint32_t* answer, uint64_t* load_result) {
  HMODULE lib = nullptr;
  FARPROC entry = LibraryEntry(library, "GetCurrentDirectoryA", &lib, load_result);
  if (!entry) return false;
  auto fn = reinterpret_cast<DWORD(WINAPI*)(DWORD, LPSTR)>(reinterpret_cast<void (*)()>(entry));
  std::vector<char> buf(length + 1, '\0');
  DWORD n = fn(length, length ? buf.data() : nullptr);
  if (n > 0 && n < length) buffer->assign(buf.data(), n);
  *answer = n;
  ::FreeLibrary(lib);
  return true;
}

}  // namespace kx::framework::os
