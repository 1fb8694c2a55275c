#include "base/value.h"

#include <gtest/gtest.h>

#include "base/cp1252.h"

namespace kx {
namespace {

TEST(Value, TypeLetters) {
  struct Case {
    Value v;
    char letter;
  } cases[] = {
      {Value(), 'U'},
      {Value::Text("a"), 'C'},
      {Value::Memo("a"), 'M'},
      {Value::Number(1.5, 1), 'N'},
      {Value::FromDate(Date{2451545}), 'D'},
      {Value::Logical(true), 'L'},
      {Value::List(), 'A'},
      {Value::FromCallable([](const ValueList&) { return Value(); }), 'B'},
  };
  for (const Case& c : cases) EXPECT_EQ(c.v.TypeLetter(), c.letter);
}

TEST(Value, ListsShareTheirElements) {
  Value a = Value::List({Value::Number(1)});
  Value b = a;
  b.list().push_back(Value::Number(2));
  EXPECT_EQ(a.list().size(), 2u);
  EXPECT_EQ(a, b);
  EXPECT_FALSE(a == Value::List({Value::Number(1), Value::Number(2)}));
}

TEST(Cp1252, RoundTripsEveryDefinedByte) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  // The source is compiled to Windows-1252, so this literal is 7 bytes.
  EXPECT_EQ(Cp1252ToUtf8("Atención"), "Atenci\xc3\xb3n");
  EXPECT_EQ(Utf8ToCp1252("\xe2\x82\xac"), "\x80");
  EXPECT_EQ(Utf8ToCp1252("\xe4\xb8\xad"), "?");
}

}  // namespace
}  // namespace kx
