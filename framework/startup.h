// The framework start-up and the start-up settings other services read.
//
// ARRANQUE runs once, early, before any table is opened. It asks for the
// file-handle budget, fills the start-up settings record, moves the current
// directory to the program's folder, sets the working date to today and applies
// the defaults of the run (base/run_settings.h): dates "dd-mm-yy" read in the
// window from 1920, deleted records hidden, tables opened exclusively, and the
// text-mode entry switches.
//
// Every accessor follows the get/set rule: called with a value it stores it;
// it always returns the current value. Before ARRANQUE the path slots hold
// empty text, the print switches false, the hand cursor nothing and the working
// date the empty date.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/value.h"

namespace kx::framework {

// The start-up. `cStartFolder`, when given, is the start folder (slot 1);
// without it the start folder comes from the current directory of the current
// drive (StartFolderFromCurrent). Always returns false.
bool ARRANQUE(std::optional<std::string> cStartFolder = std::nullopt);

// The start folder for a current directory: ".\" at the root of its drive,
// else "\" + the directory without its drive + "\". Takes Windows paths
// ("C:\APP\DATA", "\\server\share\dir") and POSIX paths ("/app/data", which
// gives "\app\data\").
std::string StartFolderFromCurrent(const std::string& current);
// The folder of a program file: its path up to and including the last
// separator; upper-cased on Windows, where case does not matter, and kept as
// it is on POSIX, where it does.
std::string ProgramFolder(const std::string& module_path);

// Slot accessors.
std::string CPATHSTART(std::optional<std::string> x = std::nullopt);          // slot 1
std::string CPATHEXE(std::optional<std::string> x = std::nullopt);            // slot 8
std::string CPATHINFORME(std::optional<std::string> x = std::nullopt);        // slot 9
std::string CPATHDBFDELEGACION(std::optional<std::string> x = std::nullopt);  // slot 10
bool LDEST_PANTALLA();   // slot 14: print to screen allowed
bool LDEST_IMPRESORA();  // slot 15: print to printer allowed
bool LDEST_FICHERO();    // slot 16: print to file allowed
bool LDEST_HTML();       // slot 17: print to HTML allowed
bool LDEST_EXCEL();      // slot 18: print to spreadsheet allowed
// Sets the five print switches to true.
void UPDATEPRINTINGOPTIONS();

// The file handles granted at start-up (0 before it).
int NHANDLERS();

// The working date; with an argument it first becomes the working date.
Date DSETDATE(std::optional<Date> dDate = std::nullopt);

// A control whose mouse cursor can be set. Controls of the classes "TBTNBMP"
// and "TBUTTON" that implement it take the hand cursor from OCURSORHAND.
class CursorControl {
 public:
  virtual ~CursorControl() = default;
  // `cursor` null: no cursor of its own.
  virtual void AssignCursor(std::shared_ptr<Object> cursor) = 0;
};

// The hand cursor of slot 7: the program's cursor resource "HAND", loaded at
// start-up; nothing when the program carries none (the updater carries none).
// Called with a value it stores it first (a program that makes its cursor
// otherwise, tests).
Value OHAND(std::optional<Value> cursor = std::nullopt);
// Gives the hand cursor (or, with lRemove, no cursor of its own) to `xControls`,
// one control or a list of controls: every object of class "TBTNBMP" or
// "TBUTTON" that is a CursorControl. Other entries are passed over. True.
bool OCURSORHAND(const Value& xControls, bool lRemove = false);

// The framework font: face name, width and height, in that order, as the
// framework's dialogs build their font.
std::string CFONTNAME();  // GETDEFAULTFONTNAME()
int NFONTVSIZE();         // 0
int NFONTHSIZE();         // GETDEFAULTFONTHEIGHT()
// Face name and height, as stored (normally negative: a character height in
// pixels), of the system's stock default GUI font.
std::string GETDEFAULTFONTNAME();
int GETDEFAULTFONTHEIGHT();

// The current-directory wrappers: the system library "Kernel32" loaded by
// name. When it cannot be loaded they show "Error code: " + the load result +
// " loading Kernel32" (framework/notice.h) and return nothing.
// SETCURRENTDIRECTORY answers the system's logical; a refused change is not
// reported.
Value SETCURRENTDIRECTORY(const std::string& cFolder);
// Writes the current directory into *cBuffer when it fits in nLength
// characters including the terminating zero and answers its length; when it
// does not fit, *cBuffer is left as it was and the answer is the length needed
// including the terminating zero (the system's rule).
Value GETCURRENTDIRECTORY(int nLength, std::string* cBuffer);
// The name of the library the wrappers load ("Kernel32"); tests change it to
// see the load failure.
std::string SystemLibraryName(std::optional<std::string> name = std::nullopt);

// Empties the start-up settings record and the working date again (tests).
void ResetStartupSettings();

}  // namespace kx::framework
