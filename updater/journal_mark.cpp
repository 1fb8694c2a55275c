#include "updater/journal_mark.h"

#include <string_view>

#include "base/cp1252.h"
#include "updater/tables/workareas.h"

namespace kx::updater {

bool QualifiesForL340(const JournalFields& r) {
  if (IsBlank(r.contra)) return false;
  if (Trim(r.contra).starts_with("REGULARIZACI")) return false;
  if (r.factura == 0 && r.nfactick == 0) return false;
  if (IsBlank(r.documento)) return false;
  std::string_view serie = Trim(r.serie);
  if (serie.empty()) return false;
  return std::string_view("ABCRZ").find(serie) != std::string_view::npos;
}

namespace {

std::string TextOf(const Value& v) { return v.IsText() ? v.text() : std::string(); }
double NumberOf(const Value& v) { return v.IsNumber() ? v.number() : 0; }

}  // namespace

bool MarkCurrentRecord(tables::WorkAreas& engine) {
  int l340 = engine.FieldPos("L340");
  if (l340 == 0) return false;
  JournalFields r;
  r.contra = TextOf(engine.GetField("CONTRA"));
  r.factura = NumberOf(engine.GetField("FACTURA"));
  r.nfactick = NumberOf(engine.GetField("NFACTICK"));
  r.documento = TextOf(engine.GetField("DOCUMENTO"));
  r.serie = TextOf(engine.GetField("SERIE"));
  if (!QualifiesForL340(r)) return false;
  return engine.PutField(l340, Value::Logical(true));
}

}  // namespace kx::updater
