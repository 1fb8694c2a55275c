// The profile functions exist only on Windows.
#include "paneltool/ini/ini_file.h"

namespace kx::ini {

std::unique_ptr<IniFile> OpenProfileIniFile(const std::string&) { return nullptr; }

}  // namespace kx::ini
