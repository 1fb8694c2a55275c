// One run-time failure and the handler's answer to it. Every layer that meets
// an unexpected failure fills an ErrorRecord and passes it to RaiseError; the
// process-wide handler decides what the failing operation does next.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/value.h"

namespace kx {

// Generic codes the handler acts on; other layers use their own beyond these.
enum GenCode : int {
  kGenZeroDiv = 5,
  kGenCreate = 20,
  kGenOpen = 21,
  kGenDataType = 33,
  kGenAppendLock = 40,
  // Further codes of the table engine; the handler gives them no course of
  // their own.
  kGenBadAlias = 17,
  kGenDupAlias = 18,
  kGenRead = 23,
  kGenWrite = 24,
  kGenCorruption = 32,
  kGenNoTable = 35,
  kGenNoOrder = 36,
  kGenUnlocked = 38,
  kGenReadOnly = 39,
};

struct ErrorRecord {
  int gen_code = 0;
  uint32_t os_code = 0;      // Windows error code of the file operation; 0 for none
  int severity = 2;          // 0 ignorable, 1 warning, 2 error, 3 catastrophic
  std::optional<std::string> sub_system;  // name of the raising layer
  std::optional<int> sub_code;            // that layer's own number
  std::optional<std::string> description;
  std::string file_name;
  std::string operation;
  std::optional<ValueList> args;
  bool can_retry = false;
  bool can_default = false;
};

enum class ErrorAction { Retry, Default, Substitute };

struct ErrorAnswer {
  ErrorAction action = ErrorAction::Default;
  Value value;  // the substitute, for ErrorAction::Substitute
};

// Thrown by a handler that ends the program; caught in main, which closes what
// is open and returns `code`. Nothing else in the system throws.
struct ProgramExit {
  int code;
};

using ErrorHandler = std::function<ErrorAnswer(ErrorRecord&)>;

// Installs the process-wide handler and returns the previous one.
ErrorHandler SetErrorHandler(ErrorHandler handler);
// Hands the record to the installed handler. Without one, the description
// line goes to standard error and the program ends with exit code 1.
ErrorAnswer RaiseError(ErrorRecord& error);
// True while a handler is installed.
bool HasErrorHandler();

// The description line of an error record: prefix, sub-system, "/" sub-code,
// description and the file or operation concerned.
std::string DescriptionLine(const ErrorRecord& error);

// The network-error flag: cleared by the table layer when an open or append
// starts, raised by the handler when it absorbs an expected failure.
bool NetErr();
void SetNetErr(bool value);

// The last-error register: with an argument it stores the code; it returns
// the stored code, no value until the first store.
Value NERRORCODE();
Value NERRORCODE(Value code);

}  // namespace kx
