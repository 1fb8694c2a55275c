// The error report Error.log: its composition from the error record and the
// state of the process, and its writing.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/value.h"
#include "errors/call_frame.h"
#include "errors/record/error_record.h"
#include "platform/file_system.h"
#include "updater/tables/workareas.h"

namespace kx {

// Facts of the machine and the program that the report shows. On Linux the
// nearest equivalents stand in (see GatherSystemFacts).
struct SystemFacts {
  std::string exe_path;
  uint64_t exe_size = 0;
  Date exe_date;
  uint32_t handle_count = 0;     // SetHandleCount(0)
  Date today;
  std::string time_text;         // "hh:mm:ss"
  std::string cpu_name;
  uint64_t total_physical = 0;   // bytes, as the memory-status query reports them
  uint32_t os_major = 0, os_minor = 0, os_build = 0, os_platform = 0;
  std::vector<std::string> window_titles;  // top-level windows, top first
};

// Everything the report reads besides the error record.
struct ReportState {
  SystemFacts facts;
  std::vector<std::pair<std::string, Value>> version_entries;  // none in updater
  std::vector<FrameSnapshot> frames;
  std::vector<std::string> drivers;
  std::vector<tables::AreaInfo> areas;
  std::string area_driver;       // driver name of every open table
  int module_variables = 0;
};

// The machine facts now. Windows: the executable's file, SetHandleCount,
// GlobalMemoryStatus, GetVersionEx, the processor architecture and the
// top-level windows (none listed without an active window of the program).
// Linux: the executable's file (/proc/self/exe), the open-file request of
// RequestFileHandles(0), the physical memory (sysconf pages times page
// size), the kernel release's first three numbers as major, minor and build
// with platform identifier 0, the machine name of uname as processor name,
// and no window titles (the terminal build has no windows).
SystemFacts GatherSystemFacts();

// The state of the process now: the facts, the call frames (innermost
// first), the engine's open tables and drivers, the module-variable count.
ReportState GatherReportState(const tables::WorkAreas& engine);

// The report text with CR LF line ends (without the final 0x1A).
std::string ComposeReport(const ErrorRecord& error, const ReportState& state);

// The call-sequence lines, without line ends, innermost first; they fill
// the dialog's list too.
std::vector<std::string> CallSequenceLines(const std::vector<FrameSnapshot>& frames);

// Creates `path` anew with the text and a final 0x1A. Any failure gives the
// write up silently (false); the error handler is not invoked meanwhile.
bool WriteErrorLog(platform::FileSystem* fs, const std::string& path, const std::string& text);

// Pieces of the layout, exposed for tests.
std::string StrN(int64_t x, int n);             // right-aligned, n asterisks when too wide
std::string SizeText(uint64_t bytes);           // "9,999,999" in 9 characters
std::vector<std::string> DistinctTitles(const std::vector<std::string>& titles);

}  // namespace kx
