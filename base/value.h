// The dynamic value of the system: what a table field, a routine argument or a
// list element holds. Text is Windows-1252 bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kx {

class Value;
using ValueList = std::vector<Value>;

// A calendar date as a Julian day number; 0 is the empty date.
struct Date {
  int32_t jdn = 0;
  bool empty() const { return jdn == 0; }
  friend bool operator==(Date a, Date b) { return a.jdn == b.jdn; }
  friend auto operator<=>(Date a, Date b) { return a.jdn <=> b.jdn; }
};

// Base of every object a value can hold (controls, dialogs, cursors...).
class Object {
 public:
  virtual ~Object() = default;
  // Class name as the framework reports it, e.g. "TBUTTON".
  virtual std::string ClassName() const = 0;
};

using Callable = std::function<Value(const ValueList&)>;

class Value {
 public:
  enum class Type { Nil, Text, Memo, Number, Date, Logical, List, Object, Callable };

  Value() = default;  // no value
  static Value Text(std::string s) { return Value(Type::Text, std::move(s)); }
  static Value Memo(std::string s) { return Value(Type::Memo, std::move(s)); }
  // A number shown with `decimals` places (as a numeric field of that many decimals).
  static Value Number(double n, int decimals = 0) {
    Value v;
    v.type_ = Type::Number;
    v.num_ = n;
    v.decimals_ = decimals;
    return v;
  }
  static Value FromDate(kx::Date d) {
    Value v;
    v.type_ = Type::Date;
    v.date_ = d;
    return v;
  }
  static Value Logical(bool b) {
    Value v;
    v.type_ = Type::Logical;
    v.bool_ = b;
    return v;
  }
  static Value List(ValueList items = {}) {
    Value v;
    v.type_ = Type::List;
    v.list_ = std::make_shared<ValueList>(std::move(items));
    return v;
  }
  static Value FromObject(std::shared_ptr<kx::Object> o) {
    Value v;
    v.type_ = Type::Object;
    v.obj_ = std::move(o);
    return v;
  }
  static Value FromCallable(kx::Callable f) {
    Value v;
    v.type_ = Type::Callable;
    v.fn_ = std::make_shared<kx::Callable>(std::move(f));
    return v;
  }

  Type type() const { return type_; }
  // Type letter: C text, M long text, N number, D date, L logical, A list,
  // O object, B callable, U no value.
  char TypeLetter() const;

  bool IsNil() const { return type_ == Type::Nil; }
  // Text and long text both count as text.
  bool IsText() const { return type_ == Type::Text || type_ == Type::Memo; }
  bool IsNumber() const { return type_ == Type::Number; }
  bool IsDate() const { return type_ == Type::Date; }
  bool IsLogical() const { return type_ == Type::Logical; }
  bool IsList() const { return type_ == Type::List; }
  bool IsObject() const { return type_ == Type::Object; }
  bool IsCallable() const { return type_ == Type::Callable; }

  // Accessors; each REQUIRES the matching type (else it returns an empty answer).
  const std::string& text() const { return str_; }
  double number() const { return num_; }
  int decimals() const { return decimals_; }
  kx::Date date() const { return date_; }
  bool logical() const { return bool_; }
  // Lists have reference semantics: copies of a Value share one list.
  ValueList& list() const;
  const std::shared_ptr<kx::Object>& object() const { return obj_; }
  Value Call(const ValueList& args) const;

  // Exact equality: same type and same contents (lists and objects by identity).
  friend bool operator==(const Value& a, const Value& b);

 private:
  Value(Type t, std::string s) : type_(t), str_(std::move(s)) {}

  Type type_ = Type::Nil;
  std::string str_;
  double num_ = 0;
  int decimals_ = 0;
  kx::Date date_{};
  bool bool_ = false;
  std::shared_ptr<ValueList> list_;
  std::shared_ptr<kx::Object> obj_;
  std::shared_ptr<kx::Callable> fn_;
};

}  // namespace kx
