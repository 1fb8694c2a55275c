#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "base/cp1252.h"

namespace kx {
namespace {

TEST(SpanishText, SortsTheLettersInTheSpanishOrder) {
  // The source is compiled to Windows-1252: each accented letter is one byte.
  const std::string upper = "AÁBCDEÉFGHIÍJKLMNÑOÓPQRSTUÚÜVWXYZ";
  const std::string lower = "aábcdeéfghiíjklmnñoópqrstuúüvwxyz";
  ASSERT_EQ(upper.size(), 33u);
  ASSERT_EQ(lower.size(), 33u);
  for (size_t i = 0; i + 1 < upper.size(); ++i) {
    EXPECT_LT(SpanishWeight(upper[i]), SpanishWeight(upper[i + 1])) << i;
    EXPECT_LT(SpanishWeight(lower[i]), SpanishWeight(lower[i + 1])) << i;
  }
  // The whole upper-case row before the whole lower-case row.
  EXPECT_LT(SpanishWeight('Z'), SpanishWeight('['));
  EXPECT_LT(SpanishWeight('`'), SpanishWeight('a'));
  EXPECT_LT(SpanishWeight('z'), SpanishWeight('{'));
}

TEST(SpanishText, WeightsAreAPermutationOfTheBytes) {
  std::set<int> seen;
  for (int c = 0; c < 256; ++c) {
    int w = SpanishWeight(static_cast<unsigned char>(c));
    EXPECT_GE(w, 0);
    EXPECT_LE(w, 255);
    seen.insert(w);
  }
  EXPECT_EQ(seen.size(), 256u);  // different texts never compare equal
  // Bytes outside both rows keep their byte order among themselves.
  EXPECT_LT(SpanishWeight('0'), SpanishWeight('9'));
  EXPECT_LT(SpanishWeight(' '), SpanishWeight('0'));
  EXPECT_LT(SpanishWeight(static_cast<unsigned char>('\xC0')), SpanishWeight(static_cast<unsigned char>('\xC7')));
}

TEST(SpanishText, CompareOrdersWords) {
  std::vector<std::string> words = {"OSO", "ÑU", "NUBE", "ÁRBOL", "AZUL", "B", "", "ABC", "AB", "árbol", "arbol"};
  std::sort(words.begin(), words.end(),
            [](const std::string& a, const std::string& b) { return SpanishCompare(a, b) < 0; });
  std::vector<std::string> want = {"", "AB", "ABC", "AZUL", "ÁRBOL", "B", "NUBE", "ÑU", "OSO", "arbol", "árbol"};
  EXPECT_EQ(words, want);
  EXPECT_EQ(SpanishCompare("CAÑA", "CAÑA"), 0);
  EXPECT_LT(SpanishCompare("CANA", "CAÑA"), 0);
  EXPECT_LT(SpanishCompare("CAÑA", "CAOBA"), 0);
  EXPECT_GT(SpanishCompare("AB", "A"), 0);
  // The byte 0xFF must not wrap below the letters.
  EXPECT_GT(SpanishCompare("\xFF", "z"), 0);
}

TEST(SpanishText, UpperAndLowerMapTheRows) {
  struct Case {
    std::string in, upper;
  } cases[] = {
      {"atención", "ATENCIÓN"},
      {"año pequeño", "AÑO PEQUEÑO"},
      {"pingüino", "PINGÜINO"},
      {"áéíóú", "ÁÉÍÓÚ"},
      {"Zelbar 2024-ok", "ZELBAR 2024-OK"},
      // Letters outside the rows keep their case.
      {"à ç ö ÿ ß", "à ç ö ÿ ß"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Upper(c.in), c.upper) << c.in;
  }
  EXPECT_EQ(Lower("ÁRBOL Ñ Ü ÀÇ"), "árbol ñ ü ÀÇ");
  for (int c = 0; c < 256; ++c) {
    auto b = static_cast<unsigned char>(c);
    if (SpanishLower(b) != b) {
      EXPECT_EQ(SpanishUpper(SpanishLower(b)), b) << c;
    }
  }
}

TEST(SpanishText, TrimsBlanksOnlyAndTestsForBlankText) {
  EXPECT_EQ(Trim("  abc  "), "abc");
  EXPECT_EQ(TrimRight("  abc  "), "  abc");
  EXPECT_EQ(TrimLeft("  abc  "), "abc  ");
  EXPECT_EQ(Trim("    "), "");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("\tabc\r\n"), "\tabc\r\n");  // tabs and line ends are not trimmed
  struct Case {
    std::string text;
    bool blank;
  } cases[] = {{"", true}, {"   ", true}, {" \t\r\n ", true}, {" x ", false}, {std::string("\0", 1), false}};
  for (const Case& c : cases) EXPECT_EQ(IsBlank(c.text), c.blank) << c.text;
}

}  // namespace
}  // namespace kx
