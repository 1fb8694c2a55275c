// The layout of Error.log.
#include <gtest/gtest.h>

#include <memory>

#include "base/date.h"
#include "errors/error_report.h"
#include "platform/file_system.h"
#include "tests/support/paths.h"

namespace kx {
namespace {

struct Item : Object {
  std::string ClassName() const override { return "TDIALOG"; }
};

// One fixed scenario: an error in the refresh of a company, two tables open.
ReportState Scenario() {
  ReportState s;
  SystemFacts& f = s.facts;
  f.exe_path = "C:\\KX\\UPDATER.EXE";
  f.exe_size = 1234567;
  f.exe_date = DateFromYmd(2024, 3, 5);
  f.handle_count = 0;
  f.today = DateFromYmd(2026, 12, 11);
  f.time_text = "07:05:09";
  f.cpu_name = "x86-64";
  f.total_physical = 1073741824;
  f.os_major = 6, f.os_minor = 1, f.os_build = 7601, f.os_platform = 2;
  f.window_titles = {"Actualizando", "Actualizando empresas", "", "Program Manager"};
  s.frames = {{"TABLAS", 212, {Value::Text("C:\\KX\\DBF\\EMP00001\\"), Value::Logical(true)},
               {Value::Number(3), Value::List({Value(), Value(), Value()})}},
              {"ACTUA", 97, {Value::FromObject(std::make_shared<Item>())}, {Value::Text("abc")}},
              {"MAIN", 40, {Value::Text("C:\\KX\\UPD.EXE"), Value::Text("")}, {}}};
  s.drivers = {"DBFCDX"};
  s.area_driver = "DBFCDX";
  tables::AreaInfo a;
  a.slot = 1, a.alias = "EMPRESA", a.recno = 2, a.reccount = 3, a.order = 1;
  a.orders = {{"CODEMP", "CODEMP", "", false, false}, {"NOMBRE", "UPPER(NOMBRE)+CODEMPRESALARGAQUENOCABEENTREINTA", "", false, false}};
  tables::AreaInfo b;
  b.slot = 2, b.alias = "TEMPDIA_DE_NOMBRE_LARGO", b.current = true, b.recno = 100000, b.reccount = 99999, b.eof = true;
  s.areas = {a, b};
  s.module_variables = 12;
  return s;
}

ErrorRecord Failure() {
  ErrorRecord e;
  e.gen_code = kGenWrite;
  e.os_code = 5;
  e.sub_system = "DBFCDX";
  e.sub_code = 1011;
  e.description = "Write error";
  e.file_name = "C:\\KX\\DBF\\EMP00001\\TEMPDIA.DBF";
  e.args = ValueList{Value::Number(7), Value::Logical(false)};
  return e;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t at = 0;
  for (size_t n; (n = text.find("\r\n", at)) != std::string::npos; at = n + 2) out.push_back(text.substr(at, n - at));
  EXPECT_EQ(at, text.size()) << "every line ends with CR LF";
  return out;
}

bool Has(const std::vector<std::string>& lines, const std::string& l) {
  for (const auto& x : lines)
    if (x == l) return true;
  return false;
}

TEST(ErrorReport, GoldenFileOfAFixedScenario) {
  std::string text = ComposeReport(Failure(), Scenario());
  std::string folder = test::ScratchFolder("error_report");
#ifdef _WIN32
  std::string path = folder + "\\Error.log";
#else
  std::string path = folder + "/Error.log";
#endif
  ASSERT_TRUE(WriteErrorLog(platform::DefaultFileSystem(), path, text));
  std::string written, golden;
  ASSERT_TRUE(platform::ReadWholeFile(platform::DefaultFileSystem(), path, &written).ok());
  ASSERT_TRUE(platform::ReadWholeFile(platform::DefaultFileSystem(), test::SourcePath("tests/errors/golden/Error.log"),
                                      &golden).ok());
  EXPECT_EQ(written, golden);
  ASSERT_FALSE(written.empty());
  EXPECT_EQ(written.substr(written.size() - 3), "\r\n\x1A");
}

TEST(ErrorReport, ValueAndFigureCases) {
  std::vector<std::string> l = Lines(ComposeReport(Failure(), Scenario()));
  for (const char* want : {
           " [   1] = N 7", " [   2] = L .f.",                       // args with their own letters
           " Param   2: L .t.", " Local   2: A Longitud:    3",       // type letters, report texts
           " Local   1: C \"abc\"", " Param   1: O Clase: TDIALOG", " Param   2: C \"\"",
           " Memoria Hardware : 1073742592 (1024 megas)",            // 1 GB plus 768
           " Versiones Windows y MsDos:  6. 1, **. 2",               // build of 100 or more
           " Stack : 65367 bytes", " 12 Variables estáticas: 168 bytes",
           "   1 Actualizando", "   2 Actualizando empresas", "   3 Program Manager",
           "  2: => TEMPDIA_DE_NOMB                    RddName: DBFCDX",  // alias cut to 15
           "         UPPER(NOMBRE)+CODEMPRESALARGAQUENOCNOMBRE",          // key cut to 35
           " ***** 99999 .f. .t.",
       })
    EXPECT_TRUE(Has(l, want)) << want;
  EXPECT_FALSE(Has(l, "   4 "));  // the empty title is covered by those listed before it
}

TEST(ErrorReport, EmptyBlocksAndFigures) {
  ReportState s = Scenario();
  s.areas.clear();
  s.facts.exe_size = 10000000;
  s.facts.window_titles = {"", "Actualizando"};
  ErrorRecord e = Failure();
  e.args.reset();
  std::vector<std::string> l = Lines(ComposeReport(e, s));
  EXPECT_FALSE(Has(l, " Args:"));
  EXPECT_TRUE(Has(l, " Tamaño: ********* bytes Fecha : " + DTOC(DateFromYmd(2024, 3, 5))));
  EXPECT_TRUE(Has(l, "   1 "));  // an empty title is listed when it comes first
  EXPECT_TRUE(Has(l, "   2 Actualizando"));
  size_t at = 0;
  while (at < l.size() && l[at] != "Bases de datos en uso") ++at;
  ASSERT_LT(at + 3, l.size());
  EXPECT_EQ(l[at + 1], "=====================");
  EXPECT_EQ(l[at + 2], "");
  EXPECT_EQ(l[at + 3], "Clases en uso :");
}

TEST(ErrorReport, Pieces) {
  EXPECT_EQ(StrN(7, 3), "  7");
  EXPECT_EQ(StrN(1000, 3), "***");
  EXPECT_EQ(SizeText(0), "        0");
  EXPECT_EQ(SizeText(1234), "    1,234");
  EXPECT_EQ(SizeText(9999999), "9,999,999");
  EXPECT_EQ(SizeText(10000000), "*********");
}

TEST(ErrorReport, FactsOfThisMachine) {
  SystemFacts f = GatherSystemFacts();
  EXPECT_FALSE(f.exe_path.empty());
  EXPECT_GT(f.exe_size, 0u);
  EXPECT_GT(f.total_physical, 0u);
  EXPECT_EQ(f.time_text.size(), 8u);
}

}  // namespace
}  // namespace kx
