// The courses of the process-wide handler that decide an error without a
// report or a dialog, in the handler's order:
//   1. division by zero (gen code 5): the operation yields 0;
//   2. when the record carries no Windows code (os_code 0), the table
//      engine's most recent error number stands in for it: 7004 -> 4,
//      7008 -> 5, 5004 -> 2, 7040 -> 5 (a record that carries its own code
//      keeps it, so an unrelated engine number cannot change its course);
//   3. every error becomes defaultable (can_default := true);
//   4. an open (21) that failed with 32, 5, 4, 2 or 3, and a create (20) that
//      failed with 3, 4, 5 or 2 (not a sharing violation, which must reach
//      the dialog): the network-error flag goes up, NERRORCODE keeps the
//      code, and the operation gives up (Default);
//      a refused append lock (40): the flag goes up, NERRORCODE stays as it
//      was, Default.
// Steps 2 and 3 change the record even when no silent course applies; the
// handler composes the description line (which shows the Windows code as
// raised) before it calls these.
#pragma once

#include <cstdint>
#include <optional>

#include "errors/record/error_record.h"

namespace kx {

// The Windows code the engine's error number stands for; 0 for numbers the
// handler does not map.
uint32_t OsCodeForEngineError(int engine_error);

// Applies the courses above to `error`, with the table engine's most recent
// error number. Returns the answer when one of them decided the error;
// nullopt when the error goes on to the report and the dialog.
std::optional<ErrorAnswer> ApplySilentCourses(ErrorRecord& error, int engine_error);

// The handler that stands in while the program has installed none: the
// silent courses above, and otherwise the description line on standard
// error and the end of the program with exit code 1 (ProgramExit{1}).
ErrorAnswer RaiseWithSilentCourses(ErrorRecord& error, int engine_error);

}  // namespace kx
