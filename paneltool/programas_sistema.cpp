#include "paneltool/programas_sistema.h"

#include "platform/process.h"

namespace kx::paneltool {

bool ProgramasSistema::EjecutarYEsperarProceso(const std::string& linea, const std::string& carpeta) {
  platform::StartOptions opciones;
  opciones.folder = carpeta;
  opciones.creation_flags = platform::kCreateSeparateWowVdm;
  uint32_t codigo = 0;
  return platform::RunAndWait(linea, opciones, &codigo).ok();
}

}  // namespace kx::paneltool
