#include "paneltool/programas_sistema.h"

namespace kx::paneltool {

// No shell to ask outside Windows.
void ProgramasSistema::AbrirConShell(const std::string&, const std::string&) {}

}  // namespace kx::paneltool
