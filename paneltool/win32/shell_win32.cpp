#include <windows.h>
#include <shellapi.h>

#include "paneltool/programas_sistema.h"

namespace kx::paneltool {

void ProgramasSistema::AbrirConShell(const std::string& fichero, const std::string& carpeta) {
  // The default verb (empty string), no parameters; the result is not used.
  ShellExecuteA(nullptr, "", fichero.c_str(), nullptr, carpeta.empty() ? nullptr : carpeta.c_str(), SW_SHOWNORMAL);
}

}  // namespace kx::paneltool
