#include "framework/record_transfer.h"

namespace kx {
namespace {

// Selects `alias` for the life of the object and restores the selection.
class SelectIn {
 public:
  SelectIn(tables::WorkAreas& w, const std::string& alias) : w_(w), previous_(w.SelectedSlot()) {
    ok_ = w.Select(alias);
  }
  ~SelectIn() { w_.SelectSlot(previous_); }
  bool ok() const { return ok_; }

 private:
  tables::WorkAreas& w_;
  int previous_;
  bool ok_ = false;
};

int FieldNumber(const Value& field, tables::WorkAreas& w) {
  if (field.IsText()) return w.FieldPos(field.text());
  if (field.IsNumber()) return static_cast<int>(field.number());
  return 0;
}

}  // namespace

ValueList ACAMPOSLEE(tables::WorkAreas& w) {
  ValueList image;
  int n = w.FieldCount();
  image.reserve(size_t(n));
  for (int i = 1; i <= n; ++i) image.push_back(w.GetField(i));
  return image;
}

bool ACAMPOSGRABA(const ValueList& image, tables::WorkAreas& w) {
  for (size_t i = 0; i < image.size(); ++i) w.PutField(int(i + 1), image[i]);
  return true;
}

Value UVALBLANK(const Value& v) {
  switch (v.type()) {
    case Value::Type::Text: return Value::Text(std::string(v.text().size(), ' '));
    case Value::Type::Memo: return Value::Memo(std::string(v.text().size(), ' '));
    case Value::Type::Number: return Value::Number(0, v.decimals());
    case Value::Type::Logical: return Value::Logical(false);
    case Value::Type::Date: return Value::FromDate(Date{});
    default: return Value();
  }
}

ValueList ACAMPOSBLANK(tables::WorkAreas& w) {
  ValueList image = ACAMPOSLEE(w);
  for (Value& v : image) v = UVALBLANK(v);
  return image;
}

ValueList AGETFIELD(const Value& key, int order, const std::string& alias, tables::WorkAreas& w) {
  SelectIn in(w, alias);
  if (!in.ok()) return {};
  uint32_t recno = w.RecNo();
  int old_order = w.Order();
  ValueList image = ACAMPOSBLANK(w);
  if (w.SetOrder(order) && order > 0 && w.Seek(key)) image = ACAMPOSLEE(w);
  w.SetOrder(old_order);
  w.GoTo(recno);
  return image;
}

Value UGETCAMPO(const Value& field, tables::WorkAreas& w) {
  int pos = FieldNumber(field, w);
  if (pos < 1 || pos > w.FieldCount()) return Value();
  return w.GetField(pos);
}

void UPUTCAMPO(const Value& field, const Value& value, tables::WorkAreas& w) {
  int pos = FieldNumber(field, w);
  if (pos < 1 || pos > w.FieldCount()) return;
  w.PutField(pos, value);
}

ValueList ASETSTATUS(const std::string& alias, tables::WorkAreas& w) {
  SelectIn in(w, alias);
  if (!in.ok()) return {};
  return {Value::Number(w.RecNo()), Value::Number(w.Order())};
}

void GETSTATUS(const std::string& alias, const ValueList& position, tables::WorkAreas& w) {
  SelectIn in(w, alias);
  if (!in.ok() || position.size() < 2 || !position[0].IsNumber() || !position[1].IsNumber()) return;
  w.SetOrder(int(position[1].number()));
  w.GoTo(uint32_t(position[0].number()));
}

}  // namespace kx
