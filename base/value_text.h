// The texts a value is shown as.
#pragma once

#include <string>

#include "base/value.h"

namespace kx {

// General value text: text and long text unchanged; a date in the date format
// of the run (DTOC); a logical as ".t." or ".f."; a number as its decimal text
// (DecimalText with the number's decimals, no surrounding blanks); a callable
// as "{|| ... }"; a list as "{ ... }"; an object as "Object"; no value as
// empty text.
std::string GeneralText(const Value& v);

// Report value text (parameters and locals of an error report): a value of
// type C (text, not long text) in double quotes; an object as "Clase: " + its
// class name; a list as "Longitud: " + its length right-aligned in 4
// characters; anything else as its general value text.
std::string ReportText(const Value& v);

// Display text of the message boxes: the value turned into the text the box
// shows. It is the general value text (the two agree for every type).
std::string DisplayText(const Value& v);

}  // namespace kx
