#include "base/value_text.h"

#include "base/date.h"
#include "base/number_text.h"

namespace kx {

std::string GeneralText(const Value& v) {
  switch (v.type()) {
    case Value::Type::Nil: return std::string();
    case Value::Type::Text:
    case Value::Type::Memo: return v.text();
    case Value::Type::Number: return DecimalText(v.number(), v.decimals());
    case Value::Type::Date: return DTOC(v.date());
    case Value::Type::Logical: return v.logical() ? ".t." : ".f.";
    case Value::Type::List: return "{ ... }";
    case Value::Type::Object: return "Object";
    case Value::Type::Callable: return "{|| ... }";
  }
  return std::string();
}

std::string ReportText(const Value& v) {
  switch (v.type()) {
    case Value::Type::Text: return "\"" + v.text() + "\"";
    case Value::Type::Object: return "Clase: " + (v.object() ? v.object()->ClassName() : std::string());
    case Value::Type::List: return "Longitud: " + StrText(static_cast<double>(v.list().size()), 4);
    default: return GeneralText(v);
  }
}

std::string DisplayText(const Value& v) { return GeneralText(v); }

}  // namespace kx
