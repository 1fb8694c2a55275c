// The panel's registry branch: the orphan test, the cleanup of orphan
// application branches and the section counts kept in the panel key.
#pragma once

#include <string>

#include "paneltool/entorno.h"

namespace kx::paneltool {

// An application key (panel key + "\" + name) is an orphan when its
// Aplicacion01 subkey opens and the program file named by its Ruta does not
// exist (an empty or missing Ruta counts as missing). A Ruta on a drive or
// share that can't be reached is not an orphan: the application may only be
// offline (an elevated process does not see the user's mapped drives).
bool EsRamaHuerfana(const Entorno& e, const std::string& clave_aplicacion);

// True when the selected panel's key (IdPanel) has no application subkey or
// has an orphan one; false when the key can't be opened.
bool HayRamasHuerfanas(const Entorno& e);

// The name an application key shows in the log: the text before its first
// underscore, or the whole name when it has none.
std::string NombreAplicacion(const std::string& subclave);

// Deletes every orphan application key of the selected panel with all below
// it, logging each in technician mode.
void LimpiarRamasHuerfanas(const Entorno& e);

// Writes SECCIONES (all application sections of both icon files) and
// SECCIONES_ACTUALES (installed Vespra applications among them) into the
// selected panel's key; in technician mode tells the user it is done.
void ActualizarValoresRegistro(const Entorno& e);

}  // namespace kx::paneltool
