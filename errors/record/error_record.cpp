#include "errors/record/error_record.h"

#include <cstdio>

namespace kx {
namespace {

ErrorHandler& Handler() {
  static ErrorHandler handler;
  return handler;
}

bool g_net_err = false;
Value g_error_code;

}  // namespace

ErrorHandler SetErrorHandler(ErrorHandler handler) {
  ErrorHandler old = std::move(Handler());
  Handler() = std::move(handler);
  return old;
}

ErrorAnswer RaiseError(ErrorRecord& error) {
  if (Handler()) return Handler()(error);
  std::fprintf(stderr, "%s\n", DescriptionLine(error).c_str());
  throw ProgramExit{1};
}

bool HasErrorHandler() { return static_cast<bool>(Handler()); }

std::string DescriptionLine(const ErrorRecord& e) {
  std::string s;
  if (e.os_code == 0) s = e.severity > 1 ? "Error " : "Atención ";
  else s = "(Error DOS " + std::to_string(e.os_code) + ") ";
  s += e.sub_system ? *e.sub_system : "???";
  s += e.sub_code ? "/" + std::to_string(*e.sub_code) : "/???";
  if (e.description) s += " " + *e.description;
  if (!e.file_name.empty()) s += ": " + e.file_name;
  else if (!e.operation.empty()) s += ": " + e.operation;
  return s;
}

bool NetErr() { return g_net_err; }
void SetNetErr(bool value) { g_net_err = value; }

Value NERRORCODE() { return g_error_code; }
Value NERRORCODE(Value code) {
  g_error_code = std::move(code);
  return g_error_code;
}

}  // namespace kx
