#include "framework/startup.h"

#include <cstdint>

#include "base/cp1252.h"
#include "base/date.h"
#include "base/run_settings.h"
#include "base/module_variables.h"
#include "base/setting.h"
#include "framework/notice.h"
#include "framework/os_services.h"
#include "platform/system.h"

namespace kx::framework {
namespace {

constexpr int kWantedHandles = 2000;

// The start-up settings record (slots 2-6, 11-13 and 19-21 are unused).
struct StartupSlots {
  Setting<std::string> path_start{""};      // 1
  Setting<Value> hand_cursor{};             // 7
  Setting<std::string> path_exe{""};        // 8
  Setting<std::string> path_reports{""};    // 9
  Setting<std::string> path_branch{""};     // 10
  Setting<bool> dest_screen{false};         // 14
  Setting<bool> dest_printer{false};        // 15
  Setting<bool> dest_file{false};           // 16
  Setting<bool> dest_html{false};           // 17
  Setting<bool> dest_spreadsheet{false};    // 18
  Setting<int> handles{0};
  Setting<Date> working_date{};
  Setting<std::string> library{"Kernel32"};
};

KX_MODULE_VARIABLES(13);  // the members of StartupSlots

StartupSlots& S() {
  static StartupSlots slots;
  return slots;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

void ReportLoadFailure(uint64_t load_result) {
  ShowNotice("Error code: " + std::to_string(load_result) + " loading " + S().library.get());
}

}  // namespace

std::string StartFolderFromCurrent(const std::string& current) {
  std::string dir = current;
  for (char& c : dir)
    if (c == '/') c = '\\';
  // Drop the drive: "C:" or the "\\server\share" of a network path.
  if (dir.size() >= 2 && dir[1] == ':') {
    dir.erase(0, 2);
  } else if (dir.size() >= 2 && dir[0] == '\\' && dir[1] == '\\') {
    size_t server_end = dir.find('\\', 2);
    size_t share_end = server_end == std::string::npos ? std::string::npos : dir.find('\\', server_end + 1);
    dir = share_end == std::string::npos ? std::string() : dir.substr(share_end);
  }
  while (!dir.empty() && dir.front() == '\\') dir.erase(0, 1);
  while (!dir.empty() && dir.back() == '\\') dir.pop_back();
  if (dir.empty()) return ".\\";
  return "\\" + dir + "\\";
}

std::string ProgramFolder(const std::string& module_path) {
  size_t i = module_path.size();
  while (i > 0 && !IsSeparator(module_path[i - 1])) --i;
  std::string folder = module_path.substr(0, i);
#ifdef _WIN32
  folder = Upper(folder);
#endif
  return folder;
}

bool ARRANQUE(std::optional<std::string> cStartFolder) {
  StartupSlots& s = S();
  // 1. The handle budget.
  int granted = os::RequestFileHandles(kWantedHandles);
  // 2. Start values of the slots.
  s.path_start.set("");
  s.path_exe.set("");
  s.path_reports.set("");
  s.path_branch.set("");
  // 3. The start folder, before the current directory moves.
  std::string start = cStartFolder ? *cStartFolder : StartFolderFromCurrent(platform::CurrentFolder());
  // 4. The program's folder becomes the current directory.
  platform::SetCurrentFolder(ProgramFolder(platform::ModulePath()));
  // 5. The budget the data views read.
  s.handles.set(granted);
  // 6. Slot 1 and slot 10.
  if (start.size() >= 2 && start.compare(start.size() - 2, 2, "\\\\") == 0) start.pop_back();
  s.path_start.set(start);
  s.path_branch.set("");
  // 7. The working date.
  s.working_date.set(Today());
  // 8. The defaults of the run.
  FourDigitYears(false);
  EpochYear(1920);
  DeletedHidden(true);
  ExclusiveByDefault(true);
  EntryConfirm(false);
  EscapeKey(true);
  Intensity(true);
  Scoreboard(false);
  MenuWrap(true);
  // 9. The hand cursor.
  std::shared_ptr<Object> hand = os::LoadProgramCursor("HAND");
  s.hand_cursor.set(hand ? Value::FromObject(std::move(hand)) : Value());
  // 10. The print switches.
  UPDATEPRINTINGOPTIONS();
  return false;
}

std::string CPATHSTART(std::optional<std::string> x) { return S().path_start(std::move(x)); }
std::string CPATHEXE(std::optional<std::string> x) { return S().path_exe(std::move(x)); }
std::string CPATHINFORME(std::optional<std::string> x) { return S().path_reports(std::move(x)); }
std::string CPATHDBFDELEGACION(std::optional<std::string> x) { return S().path_branch(std::move(x)); }
bool LDEST_PANTALLA() { return S().dest_screen(); }
bool LDEST_IMPRESORA() { return S().dest_printer(); }
bool LDEST_FICHERO() { return S().dest_file(); }
bool LDEST_HTML() { return S().dest_html(); }
bool LDEST_EXCEL() { return S().dest_spreadsheet(); }

void UPDATEPRINTINGOPTIONS() {
  for (Setting<bool>* slot : {&S().dest_screen, &S().dest_printer, &S().dest_file, &S().dest_html,
                              &S().dest_spreadsheet})
    slot->set(true);
}

int NHANDLERS() { return S().handles(); }

Date DSETDATE(std::optional<Date> dDate) { return S().working_date(dDate); }

Value OHAND(std::optional<Value> cursor) { return S().hand_cursor(std::move(cursor)); }

bool OCURSORHAND(const Value& xControls, bool lRemove) {
  auto apply = [&](const Value& entry) {
    if (!entry.IsObject() || !entry.object()) return;
    std::string cls = Upper(entry.object()->ClassName());
    if (cls != "TBTNBMP" && cls != "TBUTTON") return;
    auto* control = dynamic_cast<CursorControl*>(entry.object().get());
    if (!control) return;
    Value hand = OHAND();
    control->AssignCursor(lRemove || !hand.IsObject() ? nullptr : hand.object());
  };
  if (xControls.IsList()) {
    for (const Value& entry : xControls.list()) apply(entry);
  } else {
    apply(xControls);
  }
  return true;
}

std::string GETDEFAULTFONTNAME() {
  std::string face;
  int height = 0;
  os::StockGuiFont(&face, &height);
  return face;
}

int GETDEFAULTFONTHEIGHT() {
  std::string face;
  int height = 0;
  os::StockGuiFont(&face, &height);
  return height;
}

std::string CFONTNAME() { return GETDEFAULTFONTNAME(); }
int NFONTVSIZE() { return 0; }
int NFONTHSIZE() { return GETDEFAULTFONTHEIGHT(); }

Value SETCURRENTDIRECTORY(const std::string& cFolder) {
  bool answer = false;
  uint64_t load_result = 0;
  if (!os::LibrarySetCurrentDirectory(S().library.get(), cFolder, &answer, &load_result)) {
    ReportLoadFailure(load_result);
    return Value();
  }
  return Value::Logical(answer);
}

Value GETCURRENTDIRECTORY(int nLength, std::string* cBuffer) {
  uint32_t answer = 0;
  uint64_t load_result = 0;
  std::string scratch;
  std::string* buffer = cBuffer ? cBuffer : &scratch;
  uint32_t length = nLength > 0 ? static_cast<uint32_t>(nLength) : 0;
  if (!os::LibraryGetCurrentDirectory(S().library.get(), length, buffer, &answer, &load_result)) {
    ReportLoadFailure(load_result);
    return Value();
  }
  return Value::Number(answer);
}

std::string SystemLibraryName(std::optional<std::string> name) { return S().library(std::move(name)); }

void ResetStartupSettings() { S() = StartupSlots(); }

}  // namespace kx::framework
