// Repair of a panel's icon files (ICONOS.INI, ICONOS_P.INI): the panel
// identifier entry, the two section counts, the numbering of the application
// and access sections and the DESINSTA entries of the accesses.
#pragma once

#include <string>

#include "paneltool/entorno.h"

namespace kx::paneltool {

// Repair options; all six together are kTodasLasOpciones.
enum OpcionReparacion : int {
  kRepararVavuInfo = 1,
  kActualizarSecciones = 2,
  kActualizarSeccionesActuales = 4,
  kRenumerarAcceso = 8,
  kRenumerarPrincipal = 16,
  kRepararDesinsta = 32,
};
inline constexpr int kTodasLasOpciones = 63;

// Bounds of the numbering.
inline constexpr int kMaxAplicaciones = 2500;
inline constexpr int kMaxAccesos = 50;

// Section names of the icon files.
std::string SeccionPrincipal(int n);          // PRINCIPAL_n
std::string SeccionAcceso(int m, int n);      // ACCESO<m>_<n>

// The question asked when the panel's tag file is held by a running program.
extern const char kPreguntaEsperarPanel[];

// Runs the selected steps on the icon file at `ruta`, always in the same
// order: identifier entry, SECCIONES, SECCIONES_ACTUALES, access renumbering,
// application renumbering, DESINSTA entries. Each step ends with a flush. Log
// lines are written in technician mode only. A file that can't be read or
// written goes to the trap.
void RepararFicheroIconos(const Entorno& e, const std::string& ruta, int opciones);

// Writes `id` as the panel identifier of the file, into every access ID and
// DESINSTA entry. No log lines.
void SincronizarIdPanel(const Entorno& e, const std::string& ruta, const std::string& id);

// Number of application sections PRINCIPAL_1 ... PRINCIPAL_2500 present in the
// file; with `solo_vespra`, only those whose application is registered under
// the selected panel (IdPanel), whose program file exists and is of the
// Vespra generation. A missing file counts 0.
int NumeroSecciones(const Entorno& e, const std::string& ruta, bool solo_vespra);
int NumeroSecciones(const Entorno& e, ini::IniFile& fichero, bool solo_vespra);

// Moves a section to a new name: its non-empty pairs are taken, the section is
// erased, any other section of the new name is erased too (a moved section
// holds exactly the moved pairs), and the pairs are appended as the section of
// the new name at the end of the file.
void MoverSeccion(const Entorno& e, ini::IniFile& fichero, const std::string& de, const std::string& a);

}  // namespace kx::paneltool
