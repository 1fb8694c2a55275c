// Key and FOR expressions of index tags: a compiler from the xBase expression
// text to a tree, and its evaluation against the current record of a table.
//
// Supported: field names (optionally prefixed "ALIAS." or "ALIAS->"; the alias
// itself is not checked), text, number, date ({^yyyy-mm-dd}, {}) and logical
// (.T. .F.) literals, + and - on text (concatenation; "-" moves the left
// operand's trailing blanks to the end), + - * / % on numbers, date + number,
// date - date, comparisons = == <> # != < <= > >= $, .AND. .OR. .NOT. !, and
// the functions UPPER LOWER SUBSTR LEFT RIGHT TRIM RTRIM ALLTRIM LTRIM PADL
// PADR PADC STR VAL DTOS DTOC CTOD YEAR MONTH DAY IIF DELETED RECNO EMPTY LEN
// SPACE REPLICATE INT ABS MAX MIN ROUND TTOD (names case-insensitive; a name
// may be abbreviated to its first four letters as in xBase).
//
// Text is Windows-1252 bytes; UPPER and LOWER use the Windows-1252 case
// mapping (a-z, à-þ except ÷, š œ ž ÿ). Comparisons of text are byte
// comparisons with the rules of SET EXACT OFF for "=" (equal when the left
// operand begins with the right one), exact byte equality for "==", and the
// shorter operand padded with blanks for < <= > >=. DTOC and CTOD use the
// run's date format "dd-mm-yy" (two-digit years from 1920). A null operand
// gives a null result (a null FOR result leaves the record out).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/value.h"
#include "platform/status.h"

namespace kx::cdx {

using kx::platform::Status;

// Error code of every expression failure (compile or evaluation).
inline constexpr uint32_t kErrExpression = 0x20001;

// What a table states about one of its fields.
struct FieldInfo {
  std::string name;   // as stored, upper case
  char type = 'C';    // DBF type letter: C N F D L I Y B T M G ...
  int width = 0;      // bytes in the record
  int decimals = 0;
  bool nullable = false;  // the field may hold .NULL. (VFP null flag)
};

// The fields an expression may name. Implemented by the table.
class FieldCatalog {
 public:
  virtual ~FieldCatalog() = default;
  virtual int FieldCount() const = 0;
  // 0-based position of the field whose name equals `name` without regard to
  // case; -1 when the table has no such field. `name` carries no alias.
  virtual int FieldIndex(std::string_view name) const = 0;
  // REQUIRES: 0 <= i < FieldCount().
  virtual const FieldInfo& Field(int i) const = 0;
};

// The current record as an expression sees it. Implemented by the table.
class RecordContext : public FieldCatalog {
 public:
  // The value of field i of the current record:
  //  C: Value::Text, the stored bytes including trailing blanks;
  //  N, F: Value::Number with the field's decimals (blank field: 0);
  //  I, Y, B: Value::Number (Y as the amount, e.g. 12.3456);
  //  T: Value::Number, Julian day number + milliseconds of the day / 86400000
  //     (blank: 0);
  //  D: Value::FromDate (blank: the empty date, jdn 0);
  //  L: Value::Logical (blank: false);
  //  M: Value::Memo (the memo text) or Text;
  //  a null value (VFP null flag set): Value() (Nil).
  // REQUIRES: 0 <= i < FieldCount().
  virtual kx::Value FieldValue(int i) const = 0;
  // 1-based number of the current record.
  virtual uint32_t RecNo() const = 0;
  // True when the current record carries the deletion mark.
  virtual bool Deleted() const = 0;
};

// A compiled expression. Immutable, cheap to evaluate, not tied to one record.
class Expr {
 public:
  virtual ~Expr() = default;

  // Evaluates against the record in `ctx`. On success stores the value in
  // *result: Text for 'C', Number for 'N' and 'I', Date for 'D', Logical for
  // 'L', Nil for a null. A failure (e.g. a field index the context does not
  // have) returns an error and leaves *result unspecified.
  // REQUIRES: ctx describes the same fields as the catalog used to compile.
  virtual Status Eval(const RecordContext& ctx, kx::Value* result) const = 0;

  // Result type letter known at compile time: 'C' text, 'N' number, 'D' date,
  // 'L' logical; a field of type I, Y or T on its own gives 'I', 'Y' or 'T'
  // (their keys are encoded apart: 4-byte integer, scaled currency, datetime).
  virtual char type() const = 0;
  // For 'C': the length in bytes of the result on a record of blank or typical
  // values, as a key length is decided (fields by width, SUBSTR/LEFT/PADx/STR
  // by their arguments, TRIM family by their argument's width). 8 for 'N' and
  // 'D', 4 for 'I', 1 for 'L'.
  virtual int width() const = 0;
  // True when the result may be null (the expression is a nullable field on
  // its own, or passes one through unchanged).
  virtual bool nullable() const = 0;
  // The source text as compiled.
  virtual const std::string& text() const = 0;
};

// Compiles `text` against the fields of `catalog`. On success stores the
// expression in *result. On failure leaves *result empty and returns an error
// (code kErrExpression) whose message names the 1-based character position and
// what is wrong, e.g. "position 7: unknown field or function 'FOO'".
Status Compile(std::string_view text, const FieldCatalog& catalog, std::unique_ptr<Expr>* result);

}  // namespace kx::cdx
