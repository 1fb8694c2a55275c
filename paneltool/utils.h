// The panel installation layout and the plain routines that the repairs, the
// viewer and the main form share.
//
// Where the answers come from:
// - Panels: the subkeys of HKLM\Software\Roroz OR\ whose names start with
//   "VAVU_" (case-sensitive), in the registry's enumeration order; each holds
//   VAVU_FULLPATH, the full path of that panel's VAVU.EXE.
// - Panel identifier: the installation tag (below) followed by the local
//   creation date of the panel's VAVU.EXE as "%.2X%.1X%.3X%.2X" of day,
//   month, year and minute.
// - Installation tag (EtiquetaInstalacion): the file VAVU.TAG in the panel
//   folder. The panel and its applications keep it open while they run, so it
//   is read with a shared open. Its first line, without leading and trailing
//   blanks, is the tag when it is exactly 8 letters or digits; anything else
//   (no file, an empty file, another length, other characters) means the
//   panel has no tag yet and the tag is empty, which gives an identifier of
//   the date part only.
// - Tag in use (EtiquetaEnUso): VAVU.TAG exists and can't be opened
//   exclusively because another program holds it open.
// - Vespra generation (EsVersionVespra): the application's program file
//   carries an application stamp (two "_GRUPO_KX_" markers around a 32-byte
//   identifier, as LeerSelloAplicacion reads it). Program files of the older
//   generation carry none. The program file is read with a shared open, so a
//   running application still counts; one that can't be read counts as not
//   Vespra.
#pragma once

#include <cstdint>
#include <string>

#include "paneltool/entorno.h"

namespace kx::paneltool {

// Files of a panel folder.
inline constexpr char kFicheroEtiqueta[] = "VAVU.TAG";

// Number of subkeys of the panel branch whose names start with "VAVU_"; 0
// when the branch can't be opened. At most 255 (the panel list holds no more).
uint8_t NumeroPaneles(const Entorno& e);
// The identifier of panel i (its key name without "VAVU_"); empty when there
// is no such panel.
std::string SufijoPanel(const Entorno& e, uint8_t i);
// VAVU_FULLPATH of panel i; empty when there is no such key or value.
std::string RutaCompletaPanel(const Entorno& e, uint8_t i);

// Creation date and time of a file, in local time; all fields 0 when the file
// can't be found.
FechaHora FechaCreacion(const Entorno& e, const std::string& ruta);
// The identifier of the panel whose VAVU.EXE is `ruta_vavu`: the installation
// tag of its folder and the date fields of the file's creation time.
std::string CalcularIdPanel(const Entorno& e, const std::string& ruta_vavu);
// The identifier text of a tag and a date (the format of CalcularIdPanel).
std::string FormatoIdPanel(const std::string& etiqueta, const FechaHora& fecha);

// The installation tag of the panel in `carpeta` (with or without trailing
// backslash); empty when it can't be read. Reads while the panel runs.
std::string EtiquetaInstalacion(const Entorno& e, const std::string& carpeta);
// True when the tag file is held open by a running program.
bool EtiquetaEnUso(const Entorno& e, const std::string& carpeta);
// True when the application whose program file is `ruta` is of the Vespra
// generation. Consulted only for program files that exist.
bool EsVersionVespra(const Entorno& e, const std::string& carpeta_panel, const std::string& ruta);

// The application stamp of a program file: the 32 bytes between the first
// pair of "_GRUPO_KX_" markers 32 bytes apart, cut at the first zero byte,
// without control characters (they would break the uninstall file's lines).
// Empty when the file doesn't exist or holds no complete stamp. A file that
// exists but can't be opened (the program runs) goes to the trap.
std::string LeerSelloAplicacion(const Entorno& e, const std::string& ruta);
// The stamp search itself, on bytes already read; for EsVersionVespra.
// `ok` is false when the file could not be opened or read.
std::string BuscarSello(platform::FileSystem* fs, const std::string& ruta, platform::Share share, bool* ok);

// An image list for the icons of the viewer.
class ListaImagenes {
 public:
  virtual ~ListaImagenes() = default;
  // Appends icon `indice` of `fichero` (or, when the file has no icon of its
  // own, the icon of the program associated with it). Returns the new
  // image's index, or -1 when no icon could be added.
  virtual int AnadirIconoDeFichero(const std::string& fichero, int indice) = 0;
};
// Splits an icon reference "path[,number]" into the path and the icon index
// (number - 1; 0 without a comma, for a text that is not a whole number, and
// for a number of 0 or less).
void PartirReferenciaIcono(const std::string& referencia, std::string* ruta, int* indice);
// Adds the icon of a reference to the list; -1 for an empty path.
int AnadirIcono(const std::string& referencia, ListaImagenes* lista);

// A licence key shown in groups: 30 characters become 5-10-5-5-5 joined by
// hyphens; any other length is returned trimmed.
std::string FormatearClave(const std::string& texto);

// Opens a document with its default program.
void AbrirDocumento(const Entorno& e, const std::string& fichero, const std::string& carpeta);
// The command line EjecutarYEsperar starts: the trimmed command, quoted whole
// when it holds a blank and is not quoted already.
std::string LineaDeOrdenes(const std::string& orden);
// Starts a program and waits for it to end; nothing happens when it can't
// start.
void EjecutarYEsperar(const Entorno& e, const std::string& orden, const std::string& carpeta);

// Path helpers of the tool's own layout.
// The folder part of a path: up to its last backslash or colon, without the
// trailing backslash unless it is a drive root ("C:\").
std::string CarpetaDe(const std::string& ruta);
// `carpeta` with a trailing backslash (unless empty).
std::string ConBarra(const std::string& carpeta);
// Text without leading and trailing blanks (spaces and tabs).
std::string Recortar(const std::string& texto);
// Upper-cases the letters a to z only.
std::string MayusculasAZ(std::string texto);
// True when the drive or share that `ruta` lies on can be reached. A path
// without a drive or share (relative, empty) counts as reachable.
bool RaizAccesible(const Entorno& e, const std::string& ruta);

}  // namespace kx::paneltool
