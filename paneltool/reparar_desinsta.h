// Repair of the applications' uninstall files (DESINSTA.INI): their section
// DESINSTALAR must name the panel's registry key and the application's key.
#pragma once

#include <string>

#include "paneltool/entorno.h"

namespace kx::paneltool {

// The uninstall file of an application whose program file is `ruta`: the
// program's folder + "\DESINSTA.INI"; empty when `ruta` names no folder.
std::string FicheroDesinsta(const std::string& ruta);

// For every application registered under the panel key of the identifier
// computed from CarpetaPanel's VAVU.EXE: writes VAVU_REG_KEY, REG_KEY and
// APP_ID (the program file's stamp) into its existing DESINSTA.INI, logging
// each file in technician mode.
void RepararFicherosDesinsta(const Entorno& e);

// The same for the panel key of `id`, writing only VAVU_REG_KEY and REG_KEY,
// without log lines (the automatic run).
void ActualizarFicherosDesinsta(const Entorno& e, const std::string& id);

}  // namespace kx::paneltool
