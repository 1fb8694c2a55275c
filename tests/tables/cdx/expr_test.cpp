// The key and FOR expression evaluator: a table of expressions and results,
// and of bad expressions and their messages.
#include <gtest/gtest.h>

#include "tests/tables/cdx/fixture_support.h"

namespace kx::cdx::test {
namespace {

ValueTable Sample() {
  ValueTable t;
  t.AddField("NOMBRE", 'C', 10);
  t.AddField("IMPORTE", 'N', 10, 2);
  t.AddField("FECHA", 'D', 8);
  t.AddField("L340", 'L', 1);
  t.AddField("CNUL", 'C', 4, 0, true);
  t.AddField("IFLD", 'I', 4);
  t.Append({kx::Value::Text("José Ñu   "), kx::Value::Number(-12.5, 2), kx::Value::FromDate(kx::Date{JdnOf(2024, 2, 29)}),
            kx::Value::Logical(true), kx::Value(), kx::Value::Number(7)},
           true);
  return t;
}

TEST(Expr, Evaluates) {
  ValueTable t = Sample();
  using V = kx::Value;
  struct Case {
    const char* expr;
    V want;
    char type;
    int width;
  } cases[] = {
      {"NOMBRE", V::Text("José Ñu   "), 'C', 10},
      {"nombre+'x'", V::Text("José Ñu   x"), 'C', 11},
      {"NOMBRE-'x'", V::Text("José Ñux   "), 'C', 11},
      {"UPPER(NOMBRE)", V::Text("JOSÉ ÑU   "), 'C', 10},
      {"LOWER(NOMBRE)", V::Text("josé ñu   "), 'C', 10},
      {"SUBSTR(NOMBRE,2,3)", V::Text("osé"), 'C', 3},
      {"SUBSTR(NOMBRE,6)", V::Text("Ñu   "), 'C', 5},
      {"LEFT(NOMBRE,2)+RIGHT(NOMBRE,4)", V::Text("Jou   "), 'C', 6},
      {"TRIM(NOMBRE)+'|'", V::Text("José Ñu|"), 'C', 11},
      {"ALLTRIM('  a  ')", V::Text("a"), 'C', 5},
      {"LTRIM('  a ')", V::Text("a "), 'C', 4},
      {"PADL('ab',5,'0')", V::Text("000ab"), 'C', 5},
      {"PADR('ab',4)", V::Text("ab  "), 'C', 4},
      {"PADC('ab',6,'*')", V::Text("**ab**"), 'C', 6},
      {"STR(IMPORTE,9)", V::Text("      -13"), 'C', 9},
      {"STR(IMPORTE,8,2)", V::Text("  -12.50"), 'C', 8},
      {"STR(123456,4)", V::Text("****"), 'C', 4},
      {"STR(0,9)", V::Text("        0"), 'C', 9},
      {"VAL(' 12.75x')", V::Number(12.75), 'N', 8},
      {"DTOS(FECHA)", V::Text("20240229"), 'C', 8},
      {"DTOS({})", V::Text("        "), 'C', 8},
      {"DTOC(FECHA)", V::Text("29-02-24"), 'C', 8},
      {"CTOD('01-03-2024')-FECHA", V::Number(1), 'N', 8},
      {"YEAR(CTOD('01-03-24'))", V::Number(1924), 'N', 8},
      {"CTOD('31-12-19')", V::FromDate(kx::Date{JdnOf(2019, 12, 31)}), 'D', 8},
      {"CTOD('31-12-20')", V::FromDate(kx::Date{JdnOf(1920, 12, 31)}), 'D', 8},
      {"CTOD('30-02-24')", V::FromDate(kx::Date{}), 'D', 8},
      {"FECHA+1", V::FromDate(kx::Date{JdnOf(2024, 3, 1)}), 'D', 8},
      {"{^2024-03-01}>FECHA", V::Logical(true), 'L', 1},
      {"YEAR(FECHA)*10000+MONTH(FECHA)*100+DAY(FECHA)", V::Number(20240229), 'N', 8},
      {"IIF(L340,'SI','NO ')", V::Text("SI"), 'C', 3},
      {"IIF(.NOT.L340,1,2)", V::Number(2), 'N', 8},
      {"DELETED()", V::Logical(true), 'L', 1},
      {"!DELETED()", V::Logical(false), 'L', 1},
      {"RECNO()", V::Number(1), 'N', 8},
      {"IMPORTE>0 .OR. L340 .AND. !.F.", V::Logical(true), 'L', 1},
      {"IMPORTE*2+10/4-3%2", V::Number(-23.5), 'N', 8},
      {"-IMPORTE", V::Number(12.5), 'N', 8},
      {"2^3**2", V::Number(512), 'N', 8},
      {"NOMBRE='Jos'", V::Logical(true), 'L', 1},
      {"NOMBRE=='Jos'", V::Logical(false), 'L', 1},
      {"'Jos'=NOMBRE", V::Logical(false), 'L', 1},
      {"NOMBRE<>'Ana'", V::Logical(true), 'L', 1},
      {"NOMBRE#'José'", V::Logical(false), 'L', 1},
      {"'Ñ'$NOMBRE", V::Logical(true), 'L', 1},
      {"T->NOMBRE", V::Text("José Ñu   "), 'C', 10},
      {"JOURNAL.IMPORTE<=-12.5", V::Logical(true), 'L', 1},
      {"CNUL", V(), 'C', 4},
      {"IFLD", V::Number(7), 'I', 4},
      {"IFLD+1", V::Number(8), 'N', 8},
      {"EMPTY(NOMBRE)", V::Logical(false), 'L', 1},
      {"SUBS(NOMB,1,1)", V(), 'C', 1},  // replaced below: abbreviations of functions only
  };
  for (const Case& c : cases) {
    if (std::string(c.expr) == "SUBS(NOMB,1,1)") continue;
    SCOPED_TRACE(c.expr);
    std::unique_ptr<Expr> e;
    Status s = Compile(c.expr, t, &e);
    ASSERT_TRUE(s.ok()) << s.message();
    EXPECT_EQ(e->type(), c.type);
    EXPECT_EQ(e->width(), c.width);
    kx::Value v;
    ASSERT_TRUE(e->Eval(t, &v).ok());
    if (c.want.IsNumber() && v.IsNumber()) {
      EXPECT_DOUBLE_EQ(v.number(), c.want.number());
    } else {
      EXPECT_TRUE(v == c.want) << "got type " << v.TypeLetter() << " '" << v.text() << "'";
    }
  }
  std::unique_ptr<Expr> e;
  ASSERT_TRUE(Compile("SUBS(NOMBRE,1,1)+ALLT(' x ')", t, &e).ok());
  EXPECT_TRUE(Compile("UPPE(NOMBRE)", t, &e).ok());
}

TEST(Expr, BadExpressionsNameThePositionAndTheFault) {
  ValueTable t = Sample();
  struct Case {
    const char* expr;
    const char* message;
  } cases[] = {
      {"NOMBREX", "position 1: unknown field 'NOMBREX'"},
      {"UPPER(NOMBRE", "position 13: ')' or ',' expected"},
      {"FOO(1)", "position 1: unknown function 'FOO'"},
      {"NOMBRE+1", "position 7: operator + cannot join text and number"},
      {"IMPORTE='a'", "position 8: cannot compare number with text"},
      {"SUBSTR(1,2)", "position 8: argument 1 of SUBSTR() must be text"},
      {"LEFT(NOMBRE)", "position 1: LEFT() takes 2 arguments, not 1"},
      {"'abc", "position 1: text literal without its closing '"},
      {"L340 .XOR. L340", "position 6: unknown operator .XOR."},
      {"IIF(L340,1,'a')", "position 12: IIF() branches of different types"},
      {"NOMBRE NOMBRE", "position 8: unexpected 'NOMBRE'"},
      {"", "position 1: a value expected"},
      {"IMPORTE .AND. L340", "position 9: .AND. needs logical operands"},
      {"{^2024-02-30}", "position 1: bad date literal"},
      {"NOMBRE @ 1", "position 8: unexpected character '@'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expr);
    std::unique_ptr<Expr> e;
    Status s = Compile(c.expr, t, &e);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.code(), kErrExpression);
    EXPECT_EQ(s.message().rfind(c.message, 0), 0u) << s.message();
    EXPECT_FALSE(e);
  }
}

TEST(Expr, KeyEncodingsSortAsTheirValues) {
  struct Case {
    char type;
    kx::Value low, high;
  } cases[] = {
      {'N', kx::Value::Number(-2), kx::Value::Number(-1)},   {'N', kx::Value::Number(-0.5), kx::Value::Number(0)},
      {'N', kx::Value::Number(0), kx::Value::Number(1e-9)},  {'N', kx::Value::Number(99.5), kx::Value::Number(1e12)},
      {'I', kx::Value::Number(-2147483647), kx::Value::Number(-1)}, {'I', kx::Value::Number(0), kx::Value::Number(2147483647)},
      {'Y', kx::Value::Number(-0.0001), kx::Value::Number(0)}, {'D', kx::Value::FromDate(kx::Date{}), kx::Value::FromDate(kx::Date{2400000})},
      {'L', kx::Value::Logical(false), kx::Value::Logical(true)},
  };
  for (const Case& c : cases) {
    TagInfo t;
    t.name = "T";
    t.key_type = c.type;
    t.key_length = c.type == 'I' ? 4 : c.type == 'L' ? 1 : 8;
    std::string a, b;
    ASSERT_TRUE(EncodeKey(c.low, t, &a).ok());
    ASSERT_TRUE(EncodeKey(c.high, t, &b).ok());
    EXPECT_LT(a, b) << c.type;
  }
  TagInfo n;
  n.name = "N";
  n.key_type = 'N';
  n.key_length = 8;
  std::string k;
  ASSERT_TRUE(EncodeKey(kx::Value::Number(0), n, &k).ok());
  EXPECT_EQ(k, std::string("\x80\0\0\0\0\0\0\0", 8));
  ASSERT_TRUE(EncodeKey(kx::Value::Number(-0.0), n, &k).ok());
  EXPECT_EQ(k, std::string("\x80\0\0\0\0\0\0\0", 8));
  n.nullable = true;
  n.key_length = 9;
  ASSERT_TRUE(EncodeKey(kx::Value(), n, &k).ok());
  EXPECT_EQ(k, std::string(9, '\0'));
  ASSERT_TRUE(EncodeKey(kx::Value::Number(0), n, &k).ok());
  EXPECT_EQ(k, std::string("\x80\x80\0\0\0\0\0\0\0", 9));
  EXPECT_EQ(EncodeKey(kx::Value::Text("x"), n, &k).code(), kErrExpression);
}

}  // namespace
}  // namespace kx::cdx::test
