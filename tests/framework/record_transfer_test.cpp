// Record images between tables: by position only, beyond-count positions
// dropped, missing ones left alone, wrong types raising 33/1020; fields by
// name or number; the keyed lookup and the saved position.
#include <gtest/gtest.h>

#include "errors/record/error_record.h"
#include "framework/record_transfer.h"
#include "tests/support/paths.h"

namespace kx {
namespace {

std::vector<tables::FieldInfo> NumberedFields(int n) {
  std::vector<tables::FieldInfo> f;
  for (int i = 1; i <= n; ++i) f.push_back({"F" + std::to_string(i), 'C', 4, 0, false});
  return f;
}

class RecordTransfer : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::ScratchFolder("record_transfer");
    ASSERT_TRUE(w_.Create(dir_ + "/ten", NumberedFields(10)));
    ASSERT_TRUE(w_.Create(dir_ + "/twelve", NumberedFields(12)));
    ASSERT_TRUE(w_.Create(dir_ + "/eight", NumberedFields(8)));
    ASSERT_TRUE(w_.Open(dir_ + "/ten", "TEN"));
    w_.AppendBlank();
    for (int i = 1; i <= 10; ++i) w_.PutField(i, Value::Text("v" + std::to_string(i)));
  }
  std::string dir_;
  tables::WorkAreas w_;
};

TEST_F(RecordTransfer, TenFieldsIntoTwelveAndIntoEight) {
  ValueList image = ACAMPOSLEE(w_);
  ASSERT_EQ(image.size(), 10u);
  EXPECT_EQ(image[0].text(), "v1  ");  // full width, blanks kept
  ASSERT_TRUE(w_.Open(dir_ + "/twelve", "TWELVE"));
  w_.AppendBlank();
  w_.PutField(11, Value::Text("keep"));
  EXPECT_TRUE(ACAMPOSGRABA(image, w_));
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(w_.GetField(i).text(), image[size_t(i - 1)].text());
  EXPECT_EQ(w_.GetField(11).text(), "keep");
  EXPECT_EQ(w_.GetField(12).text(), "    ");
  ASSERT_TRUE(w_.Open(dir_ + "/eight", "EIGHT"));
  w_.AppendBlank();
  EXPECT_TRUE(ACAMPOSGRABA(image, w_));  // the last two dropped without a message
  for (int i = 1; i <= 8; ++i) EXPECT_EQ(w_.GetField(i).text(), image[size_t(i - 1)].text());
  // At the end of the table nothing is stored.
  w_.GoTo(2);
  EXPECT_TRUE(ACAMPOSGRABA(image, w_));
  EXPECT_EQ(w_.RecCount(), 1u);
}

TEST_F(RecordTransfer, TextIntoALogicalRaisesTheDataTypeError) {
  ASSERT_TRUE(w_.Create(dir_ + "/logic", {{"F1", 'L', 1, 0, false}}));
  ASSERT_TRUE(w_.Open(dir_ + "/logic", "LOGIC"));
  w_.AppendBlank();
  std::vector<ErrorRecord> seen;
  ErrorHandler old = SetErrorHandler([&](ErrorRecord& e) {
    seen.push_back(e);
    return ErrorAnswer{ErrorAction::Default, Value()};
  });
  EXPECT_TRUE(ACAMPOSGRABA({Value::Text("T")}, w_));
  SetErrorHandler(std::move(old));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].gen_code, 33);
  EXPECT_EQ(seen[0].sub_code, 1020);
  EXPECT_FALSE(w_.GetField(1).logical());
}

TEST_F(RecordTransfer, BlankImagesAndFieldsByNameOrNumber) {
  EXPECT_EQ(UVALBLANK(Value::Text("abc")), Value::Text("   "));
  EXPECT_EQ(UVALBLANK(Value::Memo("ab")), Value::Memo("  "));
  EXPECT_EQ(UVALBLANK(Value::Number(5.5, 2)).decimals(), 2);
  EXPECT_EQ(UVALBLANK(Value::Number(5.5, 2)).number(), 0);
  EXPECT_EQ(UVALBLANK(Value::Logical(true)), Value::Logical(false));
  EXPECT_TRUE(UVALBLANK(Value::FromDate(Date{2451545})).date().empty());
  EXPECT_TRUE(UVALBLANK(Value::List()).IsNil());
  ValueList blank = ACAMPOSBLANK(w_);
  ASSERT_EQ(blank.size(), 10u);
  EXPECT_EQ(blank[3].text(), "    ");
  EXPECT_EQ(UGETCAMPO(Value::Text("  f3 "), w_).text(), "v3  ");
  EXPECT_EQ(UGETCAMPO(Value::Number(4), w_).text(), "v4  ");
  EXPECT_TRUE(UGETCAMPO(Value::Text("NOPE"), w_).IsNil());
  EXPECT_TRUE(UGETCAMPO(Value::Logical(true), w_).IsNil());
  UPUTCAMPO(Value::Text("F2"), Value::Text("new"), w_);
  UPUTCAMPO(Value::Text("NOPE"), Value::Text("x"), w_);
  EXPECT_EQ(w_.GetField(2).text(), "new ");
}

TEST(RecordTransferLookup, AGetFieldAndPositionsLeaveTheTableWhereItWas) {
  std::string dir = test::ScratchFolder("record_transfer_lookup");
  tables::WorkAreas w;
  ASSERT_TRUE(w.Open(test::FixturePath("reference-tables/Empresa"), "EMPRESA", tables::OpenMode::Exclusive, true));
  ASSERT_TRUE(w.Open(test::FixturePath("reference-tables/Journal"), "J", tables::OpenMode::Exclusive, true));
  w.Select("EMPRESA");
  w.GoTo(4);
  w.Select("J");
  ValueList found = AGETFIELD(Value::Text("0003"), 1, "EMPRESA", w);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[1].text().substr(0, 4), "Jos\xe9");
  ValueList missing = AGETFIELD(Value::Text("9999"), 1, "EMPRESA", w);
  EXPECT_EQ(missing[0].text(), "    ");
  EXPECT_EQ(w.SelectedAlias(), "J");
  ValueList pos = ASETSTATUS("EMPRESA", w);
  EXPECT_EQ(pos[0].number(), 4);
  EXPECT_EQ(pos[1].number(), 0);
  w.Select("EMPRESA");
  w.SetOrder(2);
  w.GoTo(1);
  w.Select("J");
  GETSTATUS("EMPRESA", pos, w);
  w.Select("EMPRESA");
  EXPECT_EQ(w.RecNo(), 4u);
  EXPECT_EQ(w.Order(), 0);
}

}  // namespace
}  // namespace kx
