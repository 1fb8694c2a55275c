#include "errors/record/silent_courses.h"

namespace kx {

uint32_t OsCodeForEngineError(int engine_error) {
  switch (engine_error) {
    case 7004: return 4;
    case 7008: return 5;
    case 5004: return 2;
    case 7040: return 5;
    default: return 0;
  }
}

std::optional<ErrorAnswer> ApplySilentCourses(ErrorRecord& e, int engine_error) {
  if (e.gen_code == kGenZeroDiv) {
    ErrorAnswer a;
    a.action = ErrorAction::Substitute;
    a.value = Value::Number(0);
    return a;
  }
  if (e.os_code == 0) {
    uint32_t mapped = OsCodeForEngineError(engine_error);
    if (mapped != 0) e.os_code = mapped;
  }
  e.can_default = true;
  auto absorb = [&](bool keep_code) {
    SetNetErr(true);
    if (keep_code) NERRORCODE(Value::Number(double(e.os_code)));
    return ErrorAnswer{ErrorAction::Default, Value()};
  };
  switch (e.gen_code) {
    case kGenOpen:
      if (e.os_code == 32 || e.os_code == 5 || e.os_code == 4 || e.os_code == 2 || e.os_code == 3)
        return absorb(true);
      break;
    case kGenCreate:
      if (e.os_code == 3 || e.os_code == 4 || e.os_code == 5 || e.os_code == 2) return absorb(true);
      break;
    case kGenAppendLock:
      return absorb(false);
    default:
      break;
  }
  return std::nullopt;
}

ErrorAnswer RaiseWithSilentCourses(ErrorRecord& error, int engine_error) {
  if (HasErrorHandler()) return RaiseError(error);
  // The description line shows the record as raised, before the courses
  // rewrote its Windows code.
  ErrorRecord as_raised = error;
  if (auto answer = ApplySilentCourses(error, engine_error)) return *answer;
  return RaiseError(as_raised);
}

}  // namespace kx
