// Writing tables: field stores and their errors, appends, deletion marks,
// removing all records, append-from by name; every tag kept in step (the
// index check after each change); what other xBase readers see.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/date.h"
#include "errors/record/error_record.h"
#include "tests/tables/table_fixtures.h"
#include "updater/tables/area.h"
#include "updater/tables/check.h"
#include "updater/tables/workareas.h"

namespace kx::tables {
namespace {

using test::RecordingHandler;

std::string Pad(std::string s, size_t n) {
  s.resize(n, ' ');
  return s;
}

void ExpectIndexSound(WorkAreas& w) {
  Fault f = CheckIndex(*w.Current());
  EXPECT_TRUE(f.ok()) << f.file << ": " << f.what;
}

TEST(TableWrite, FieldStoresReachTheFileAndTheIndex) {
  std::string dir = test::ScratchFolder("tables_write_fields");
  std::string t = test::CopyTable(test::Reference("Journal"), dir, "Journal");
  {
    WorkAreas w;
    ASSERT_TRUE(w.Open(t, "J"));
    ASSERT_TRUE(w.GoTo(7));
    EXPECT_TRUE(w.PutField("contra", Value::Text("ZZZ NUEVO")));
    EXPECT_TRUE(w.PutField("FACTURA", Value::Number(123456789)));
    EXPECT_TRUE(w.PutField("IMPORTE", Value::Number(-1234.567, 2)));
    EXPECT_TRUE(w.PutField("FECHA", Value::FromDate(DateFromYmd(2024, 2, 29))));
    EXPECT_TRUE(w.PutField("L340", Value::Logical(true)));
    EXPECT_TRUE(w.PutField("NOTAS", Value::Memo(std::string(5000, 'x') + "\r\nfin")));
    // Not yet left: a reader of the same handle sees the new values.
    EXPECT_EQ(w.GetField("CONTRA").text(), Pad("ZZZ NUEVO", 20));
    ASSERT_TRUE(w.GoTo(8));
    // A text longer than its field is cut; memo text is stored whole.
    EXPECT_TRUE(w.PutField("SERIE", Value::Text("ABCDEF")));
    ASSERT_TRUE(w.GoTo(1000));
    EXPECT_TRUE(w.PutField("NOTAS", Value::Memo("short now")));  // in place, in the old blocks
    ASSERT_TRUE(w.Delete());
    ASSERT_TRUE(w.GoTo(2));
    ASSERT_TRUE(w.Recall());
    ASSERT_TRUE(w.Commit());
    ExpectIndexSound(w);
  }
  WorkAreas w;
  ASSERT_TRUE(w.Open(t, "J", OpenMode::Exclusive, true));
  w.GoTo(7);
  EXPECT_EQ(w.GetField("CONTRA").text(), Pad("ZZZ NUEVO", 20));
  EXPECT_EQ(w.GetField("FACTURA").number(), 123456789);
  EXPECT_DOUBLE_EQ(w.GetField("IMPORTE").number(), -1234.57);
  EXPECT_EQ(w.GetField("FECHA").date(), DateFromYmd(2024, 2, 29));
  EXPECT_TRUE(w.GetField("L340").logical());
  EXPECT_EQ(w.GetField("NOTAS").text(), std::string(5000, 'x') + "\r\nfin");
  w.GoTo(8);
  EXPECT_EQ(w.GetField("SERIE").text(), "ABC");
  w.GoTo(1000);
  EXPECT_TRUE(w.Deleted());
  EXPECT_EQ(w.GetField("NOTAS").text(), "short now");
  w.GoTo(2);
  EXPECT_FALSE(w.Deleted());
  ExpectIndexSound(w);
  // The changed key is where the tag says.
  ASSERT_TRUE(w.SetOrder(w.OrderByName("CONTRA")));
  EXPECT_TRUE(w.Seek(Value::Text("ZZZ NUEVO")));
  EXPECT_EQ(w.RecNo(), 7u);
  ASSERT_TRUE(w.Skip(-1));
  EXPECT_LT(w.GetField("CONTRA").text(), Pad("ZZZ NUEVO", 20));
}

TEST(TableWrite, WrongTypesAndNumbersTooLongRaiseTheDataTypeError) {
  std::string dir = test::ScratchFolder("tables_write_types");
  std::string t = test::CopyTable(test::Reference("Journal"), dir, "Journal");
  WorkAreas w;
  ASSERT_TRUE(w.Open(t, "J"));
  w.GoTo(3);
  struct Case {
    const char* field;
    Value value;
  };
  const Case cases[] = {
      {"L340", Value::Text("T")},               // text into a logical
      {"FACTURA", Value::Text("12")},           // text into a numeric
      {"FECHA", Value::Number(20240101)},       // number into a date
      {"CONTRA", Value::Number(1)},             // number into a character field
      {"CONTRA", Value()},                      // no value into a field that cannot be null
      {"FACTURA", Value::Number(1234567890)},   // ten digits into N(9)
      {"IMPORTE", Value::Number(1e12, 2)},      // 1000000000000.00 into N(14,2)
      {"NOTAS", Value::Logical(true)},          // logical into a memo
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    Value before = w.GetField(c.field);
    RecordingHandler h;
    EXPECT_FALSE(w.PutField(c.field, c.value));
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.errors[0].gen_code, 33);
    EXPECT_EQ(h.errors[0].sub_code, 1020);
    EXPECT_EQ(h.errors[0].os_code, 0u);
    EXPECT_EQ(*h.errors[0].sub_system, "DBFCDX");
    EXPECT_FALSE(h.errors[0].can_retry);
    EXPECT_EQ(w.LastError(), 1020);
    EXPECT_EQ(w.GetField(c.field), before);  // nothing stored
  }
  // The largest number that fits does fit, and the error number is gone
  // once an operation succeeds.
  EXPECT_TRUE(w.PutField("FACTURA", Value::Number(-99999999)));
  EXPECT_TRUE(w.PutField("IMPORTE", Value::Number(99999999999.99, 2)));
  EXPECT_EQ(w.LastError(), 0);
}

TEST(TableWrite, WithoutAHandlerADataTypeErrorEndsTheProgram) {
  std::string dir = test::ScratchFolder("tables_write_exit");
  std::string t = test::CopyTable(test::Reference("Journal"), dir, "Journal");
  WorkAreas w;
  ASSERT_TRUE(w.Open(t, "J"));
  w.GoTo(1);
  ASSERT_FALSE(HasErrorHandler());
  try {
    w.PutField("L340", Value::Text("T"));
    ADD_FAILURE() << "no exit";
  } catch (const ProgramExit& e) {
    EXPECT_EQ(e.code, 1);
  }
}

TEST(TableWrite, AppendBlankZapAndAppendKeepEveryTag) {
  std::string dir = test::ScratchFolder("tables_write_append");
  std::string t = test::CopyTable(test::Reference("Journal"), dir, "Journal");
  WorkAreas w;
  ASSERT_TRUE(w.Open(t, "J"));
  ASSERT_TRUE(w.SetOrder(w.OrderByName("NODEL")));
  ASSERT_TRUE(w.AppendBlank());
  EXPECT_EQ(w.RecCount(), 2001u);
  EXPECT_EQ(w.RecNo(), 2001u);
  EXPECT_FALSE(w.Eof());
  EXPECT_EQ(w.GetField("CONTRA").text(), std::string(20, ' '));
  EXPECT_EQ(w.GetField("FACTURA").number(), 0);
  EXPECT_TRUE(w.GetField("FECHA").date().empty());
  EXPECT_TRUE(w.PutField("CONTRA", Value::Text("00000 PRIMERO")));
  EXPECT_TRUE(w.PutField("FACTURA", Value::Number(5)));
  ASSERT_TRUE(w.Commit());
  ExpectIndexSound(w);
  // Remove all records: the table, its memo file and every tag are empty.
  ASSERT_TRUE(w.Zap());
  EXPECT_EQ(w.RecCount(), 0u);
  EXPECT_TRUE(w.Eof());
  ExpectIndexSound(w);
  EXPECT_EQ(std::filesystem::file_size(test::HostPath(t + ".fpt")), 512u);
  for (int i = 0; i < 300; ++i) {
    ASSERT_TRUE(w.AppendBlank());
    w.PutField("CONTRA", Value::Text("C" + std::to_string(1000 - i)));
    w.PutField("FACTURA", Value::Number(i % 7));
    w.PutField("DOCUMENTO", Value::Text("D" + std::to_string(i % 11)));
    if (i % 10 == 0) w.PutField("NOTAS", Value::Memo("memo " + std::to_string(i)));
    if (i % 5 == 0) w.Delete();
  }
  ASSERT_TRUE(w.Commit());
  EXPECT_EQ(w.RecCount(), 300u);
  ExpectIndexSound(w);
  // Walk the FOR !DELETED() tag: 240 records, keys ascending.
  ASSERT_TRUE(w.SetOrder(w.OrderByName("NODEL")));
  int n = 0;
  std::string prev;
  for (w.GoTop(); !w.Eof(); w.Skip(), ++n) {
    std::string k = w.GetField("CONTRA").text() + w.GetField("DOCUMENTO").text();
    EXPECT_LE(prev, k);
    prev = k;
  }
  EXPECT_EQ(n, 240);
  w.Close();
  // Reopened, the same.
  ASSERT_TRUE(w.Open(t, "J"));
  EXPECT_EQ(w.RecCount(), 300u);
  ExpectIndexSound(w);
  w.GoTo(11);
  EXPECT_EQ(w.GetField("NOTAS").text(), "memo 10");
}

TEST(TableWrite, CreateMakesATableOthersRead) {
  std::string dir = test::ScratchFolder("tables_write_create");
  std::string t = dir + "/Nueva";
  WorkAreas w;
  std::vector<FieldInfo> fields = {{"CODIGO", 'C', 6, 0, false}, {"IMPORTE", 'N', 12, 2, false},
                                   {"FECHA", 'D', 8, 0, false},  {"VALE", 'L', 1, 0, false},
                                   {"NOTAS", 'M', 10, 0, false}};
  ASSERT_TRUE(w.Create(t, fields));
  ASSERT_TRUE(w.Open(t, "N"));
  EXPECT_EQ(w.FieldCount(), 5);
  EXPECT_EQ(w.FieldPos(" notas "), 5);
  EXPECT_EQ(w.FieldPos("NADA"), 0);
  EXPECT_EQ(w.Field(2).decimals, 2);
  ASSERT_TRUE(w.AppendBlank());
  w.PutField(1, Value::Text("A-1"));
  w.PutField(2, Value::Number(12.345, 2));
  w.PutField(3, Value::FromDate(DateFromYmd(1999, 12, 31)));
  w.PutField(4, Value::Logical(true));
  w.PutField(5, Value::Memo("línea 1\r\nlínea 2"));
  w.Close();
  ASSERT_TRUE(w.Open(t, "N", OpenMode::Exclusive, true));
  EXPECT_EQ(w.GetField(1).text(), "A-1   ");
  EXPECT_DOUBLE_EQ(w.GetField(2).number(), 12.35);
  EXPECT_EQ(w.GetField(3).date(), DateFromYmd(1999, 12, 31));
  EXPECT_TRUE(w.GetField(4).logical());
  EXPECT_EQ(w.GetField(5).text(), "línea 1\r\nlínea 2");
  w.Close();  // an exclusive open keeps other readers out on Windows
  // The header agrees with the data: count, lengths, end byte.
  std::string bytes = test::ReadText(test::HostPath(t + ".dbf"));
  ASSERT_GE(bytes.size(), 32u);
  auto u = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  uint32_t hl = u(8) | u(9) << 8, rl = u(10) | u(11) << 8;
  EXPECT_EQ(u(0), 0xF5);  // FoxPro 2 with memo
  EXPECT_EQ(u(4), 1);
  EXPECT_EQ(bytes.size(), hl + rl + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
}

TEST(TableAppendFrom, FieldsMatchByNameAndMissingOnesAreLeftOut) {
  std::string dir = test::ScratchFolder("tables_append_from");
  WorkAreas w;
  // Source: A, B (memo), C, GONE; target: C, A, NEW, B.
  ASSERT_TRUE(w.Create(dir + "/src", {{"A", 'C', 5, 0, false}, {"B", 'M', 10, 0, false}, {"C", 'N', 6, 1, false},
                                       {"GONE", 'C', 3, 0, false}}));
  ASSERT_TRUE(w.Create(dir + "/dst", {{"c", 'N', 8, 2, false}, {"a", 'C', 3, 0, false},
                                       {"NEW", 'L', 1, 0, false}, {"B", 'M', 10, 0, false}}));
  ASSERT_TRUE(w.Open(dir + "/src", "S"));
  for (int i = 1; i <= 5; ++i) {
    w.AppendBlank();
    w.PutField("A", Value::Text("abcd" + std::to_string(i)));
    w.PutField("B", Value::Memo(i == 2 ? std::string() : "memo " + std::to_string(i)));
    w.PutField("C", Value::Number(i * 1.5, 1));
    w.PutField("GONE", Value::Text("x"));
    if (i == 4) w.Delete();
  }
  w.Close();
  ASSERT_TRUE(w.Open(dir + "/dst", "D"));
  int calls = 0;
  ASSERT_TRUE(w.AppendFrom(dir + "/src", [&] { return ++calls <= 3; }));
  EXPECT_EQ(calls, 4);  // the fourth call said stop
  EXPECT_EQ(w.RecCount(), 3u);
  EXPECT_EQ(w.SelectedAlias(), "D");
  EXPECT_FALSE(w.IsOpen("S"));
  EXPECT_EQ(w.OpenAreas().size(), 1u);  // the source is closed again
  w.Zap();
  ASSERT_TRUE(w.AppendFrom(dir + "/src"));
  ASSERT_EQ(w.RecCount(), 4u);  // the deleted record stays behind
  const char* a[] = {"abc", "abc", "abc", "abc"};
  const double c[] = {1.5, 3.0, 4.5, 7.5};
  const char* b[] = {"memo 1", "", "memo 3", "memo 5"};
  for (uint32_t n = 1; n <= 4; ++n) {
    w.GoTo(n);
    EXPECT_EQ(w.GetField("A").text(), a[n - 1]);
    EXPECT_DOUBLE_EQ(w.GetField("C").number(), c[n - 1]);
    EXPECT_EQ(w.GetField("C").decimals(), 2);
    EXPECT_EQ(w.GetField("B").text(), b[n - 1]);
    EXPECT_FALSE(w.GetField("NEW").logical());
    EXPECT_FALSE(w.Deleted());
  }
}

TEST(TableAppendFrom, ABackupThatCannotBeOpenedAddsNothingAndSetsTheFlag) {
  std::string dir = test::ScratchFolder("tables_append_from_missing");
  std::string t = test::CopyTable(test::Reference("Empresa"), dir, "Empresa");
  WorkAreas w;
  ASSERT_TRUE(w.Open(t, "E"));
  ASSERT_FALSE(HasErrorHandler());  // the engine's own silent courses
  NERRORCODE(Value::Number(0));
  EXPECT_FALSE(w.AppendFrom(dir + "/_Empresa"));
  EXPECT_TRUE(NetErr());
  EXPECT_EQ(NERRORCODE().number(), 2);
  EXPECT_EQ(w.RecCount(), 5u);
  EXPECT_EQ(w.SelectedAlias(), "E");
  EXPECT_EQ(w.OpenAreas().size(), 1u);
  // The next append clears the flag.
  EXPECT_TRUE(w.AppendBlank());
  EXPECT_FALSE(NetErr());
}

TEST(TableAppendFrom, RefillCarriesEveryVisibleRecordOfTheReferenceJournal) {
  std::string dir = test::ScratchFolder("tables_refill_journal");
  std::string t = test::CopyTable(test::Reference("Empty"), dir, "Journal");
  WorkAreas w;
  ASSERT_TRUE(w.Open(t, "J"));
  ASSERT_TRUE(w.AppendFrom(test::Reference("Journal")));
  EXPECT_EQ(w.RecCount(), 1949u);
  ExpectIndexSound(w);
  // Same values as the visible source records, in order.
  WorkAreas src;
  ASSERT_TRUE(src.Open(test::Reference("Journal"), "S", OpenMode::Exclusive, true));
  w.GoTop();
  for (src.GoTop(); !src.Eof(); src.Skip(), w.Skip()) {
    ASSERT_FALSE(w.Eof());
    for (int i = 1; i <= src.FieldCount(); ++i) EXPECT_EQ(w.GetField(i), src.GetField(i)) << src.RecNo() << " " << i;
  }
  EXPECT_TRUE(w.Eof());
}

// Into an emptied table the tags are built after the last record: also when
// the callback stops the append early, and a second append then goes into
// tags that hold keys already; after closing, the index on disk is the same.
TEST(TableAppendFrom, TagsAreRightAfterAStoppedRefillAndASecondOne) {
  std::string dir = test::ScratchFolder("tables_refill_stopped");
  std::string t = test::CopyTable(test::Reference("Journal"), dir, "Journal");
  WorkAreas w;
  ASSERT_TRUE(w.Open(t, "J"));
  ASSERT_TRUE(w.Zap());
  int calls = 0;
  ASSERT_TRUE(w.AppendFrom(test::Reference("Journal"), [&] { return ++calls <= 100; }));
  EXPECT_EQ(w.RecCount(), 100u);
  ExpectIndexSound(w);
  ASSERT_TRUE(w.AppendFrom(test::Reference("Journal"), [&] { return ++calls <= 150; }));
  EXPECT_EQ(w.RecCount(), 149u);
  ExpectIndexSound(w);
  w.Close();
  ASSERT_TRUE(w.Open(t, "J"));
  EXPECT_EQ(w.RecCount(), 149u);
  ExpectIndexSound(w);
}

}  // namespace
}  // namespace kx::tables
