#include "base/value.h"

namespace kx {

char Value::TypeLetter() const {
  switch (type_) {
    case Type::Nil: return 'U';
    case Type::Text: return 'C';
    case Type::Memo: return 'M';
    case Type::Number: return 'N';
    case Type::Date: return 'D';
    case Type::Logical: return 'L';
    case Type::List: return 'A';
    case Type::Object: return 'O';
    case Type::Callable: return 'B';
  }
  return 'U';
}

ValueList& Value::list() const {
  static thread_local ValueList empty;
  if (!list_) {
    empty.clear();
    return empty;
  }
  return *list_;
}

Value Value::Call(const ValueList& args) const {
  if (!fn_ || !*fn_) return Value();
  return (*fn_)(args);
}

bool operator==(const Value& a, const Value& b) {
  if (a.type_ != b.type_) return false;
  switch (a.type_) {
    case Value::Type::Nil: return true;
    case Value::Type::Text:
    case Value::Type::Memo: return a.str_ == b.str_;
    case Value::Type::Number: return a.num_ == b.num_;
    case Value::Type::Date: return a.date_ == b.date_;
    case Value::Type::Logical: return a.bool_ == b.bool_;
    case Value::Type::List: return a.list_ == b.list_;
    case Value::Type::Object: return a.obj_ == b.obj_;
    case Value::Type::Callable: return a.fn_ == b.fn_;
  }
  return false;
}

}  // namespace kx
