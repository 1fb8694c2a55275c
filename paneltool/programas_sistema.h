// The system's own program starter for Entorno::programas.
#pragma once

#include "paneltool/entorno.h"

namespace kx::paneltool {

class ProgramasSistema : public Programas {
 public:
  bool EjecutarYEsperarProceso(const std::string& linea, const std::string& carpeta) override;
  // Windows: ShellExecute with the default verb, shown normally. Elsewhere
  // nothing happens.
  void AbrirConShell(const std::string& fichero, const std::string& carpeta) override;
};

}  // namespace kx::paneltool
