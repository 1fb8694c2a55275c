#include <gtest/gtest.h>

#include <memory>

#include "base/date.h"
#include "base/run_settings.h"
#include "base/setting.h"
#include "base/value_text.h"

namespace kx {
namespace {

class Named : public Object {
 public:
  explicit Named(std::string name) : name_(std::move(name)) {}
  std::string ClassName() const override { return name_; }

 private:
  std::string name_;
};

TEST(ValueText, GeneralReportAndDisplayTexts) {
  ResetRunSettings();
  Value list3 = Value::List({Value::Number(1), Value::Number(2), Value::Number(3)});
  struct Case {
    Value v;
    const char* general;
    const char* report;
  } cases[] = {
      {Value::Text("abc"), "abc", "\"abc\""},
      {Value::Text(""), "", "\"\""},
      {Value::Memo("long"), "long", "long"},  // type M is not quoted
      {Value::Number(5), "5", "5"},
      {Value::Number(-1.5, 2), "-1.50", "-1.50"},
      {Value::Number(2.5), "2.5", "2.5"},
      {Value::FromDate(DateFromYmd(2024, 3, 7)), "07-03-24", "07-03-24"},
      {Value::FromDate(Date{}), "  -  -  ", "  -  -  "},
      {Value::Logical(true), ".t.", ".t."},
      {Value::Logical(false), ".f.", ".f."},
      {list3, "{ ... }", "Longitud:    3"},
      {Value::List(), "{ ... }", "Longitud:    0"},
      {Value::FromObject(std::make_shared<Named>("TDIALOG")), "Object", "Clase: TDIALOG"},
      {Value::FromObject(nullptr), "Object", "Clase: "},
      {Value::FromCallable([](const ValueList&) { return Value(); }), "{|| ... }", "{|| ... }"},
      {Value(), "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GeneralText(c.v), c.general) << c.v.TypeLetter();
    EXPECT_EQ(ReportText(c.v), c.report) << c.v.TypeLetter();
    EXPECT_EQ(DisplayText(c.v), c.general) << c.v.TypeLetter();
  }
  // A list longer than four digits shows asterisks, as the report's STR does.
  ValueList many(10000);
  EXPECT_EQ(ReportText(Value::List(std::move(many))), "Longitud: ****");
  // Dates follow the run's date format.
  FourDigitYears(true);
  EXPECT_EQ(GeneralText(Value::FromDate(DateFromYmd(2024, 3, 7))), "07-03-2024");
  ResetRunSettings();
}

TEST(Setting, StoresOnlyWhenGivenAValue) {
  Setting<std::string> s{"default"};
  EXPECT_EQ(s(), "default");
  EXPECT_EQ(s("x"), "x");
  EXPECT_EQ(s(), "x");
  EXPECT_EQ(s(std::string()), "");  // an empty value is a value
  s.reset();
  EXPECT_EQ(s(), "default");
  EXPECT_TRUE(DeletedHidden(true));
  EXPECT_TRUE(DeletedHidden());
  ResetRunSettings();
  EXPECT_FALSE(DeletedHidden());
  EXPECT_TRUE(ExclusiveByDefault());
  EXPECT_EQ(EpochYear(), 1920);
}

}  // namespace
}  // namespace kx
