#include "updater/hooks.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/date.h"
#include "framework/host_hooks.h"
#include "gui/dialog.h"

namespace kx::updater {
namespace {

TEST(Hooks, TiCompareFollowsTheTypeOfItsFirstValue) {
  auto obj = std::make_shared<ProgressDialogRef>(nullptr);
  Value list = Value::List({Value::Number(1)});
  struct Case {
    Value x, y;
    bool same;
  } cases[] = {
      {Value::Text("  abc  "), Value::Text("ABC"), true},
      {Value::Text("abc"), Value::Text("abd"), false},
      {Value::Text("año"), Value::Text("AÑO "), true},  // Spanish upper-casing
      {Value::Text("a b"), Value::Text("ab"), false},   // inner blanks count
      {Value::Text("5"), Value::Number(5), true},       // the number's decimal text
      {Value::Text(" 5 "), Value::Number(5), true},
      {Value::Text("5"), Value::Number(5, 2), false},  // "5.00"
      {Value::Text("5.00"), Value::Number(5, 2), true},
      {Value::Text(".T."), Value::Logical(true), true},
      {Value::Memo(" Memo"), Value::Text("MEMO"), true},
      {Value::Text(""), Value(), true},  // no value is empty text
      {Value::Number(5), Value::Text("5"), true},
      {Value::Number(5), Value::Text(" 5abc"), true},
      {Value::Number(0), Value::Text("abc"), true},  // no number reads as 0
      {Value::Number(5), Value::Text("6"), false},
      {Value::Number(2.5), Value::Number(2.5, 2), true},
      {Value::Number(1), Value::Logical(true), false},
      {Value::Logical(true), Value::Logical(true), true},
      {Value::Logical(true), Value::Text(".t."), false},  // exact equality: types differ
      {Value::FromDate(DateFromYmd(2024, 1, 2)), Value::FromDate(DateFromYmd(2024, 1, 2)), true},
      {Value(), Value(), true},
      {list, list, true},
      {list, Value::List({Value::Number(1)}), false},  // lists by identity
      {Value::FromObject(obj), Value::FromObject(obj), true},
  };
  int i = 0;
  for (const Case& c : cases) {
    Value r = TI_COMPARE(c.x, c.y);
    ASSERT_TRUE(r.IsLogical());
    EXPECT_EQ(r.logical(), c.same) << "case " << i;
    ++i;
  }
}

class FakeDialog : public gui::Dialog {
 public:
  gui::Meter* BindMeter(int) override { return nullptr; }
  gui::TableList* BindList(int) override { return nullptr; }
  gui::Picture* BindPicture(int) override { return nullptr; }
  gui::Label* BindLabel(int) override { return nullptr; }
  void SetFont(const gui::FontSpec&) override {}
  void SetIconResource(int) override {}
  void SetInitAction(std::function<void()>) override {}
  void SetStartAction(std::function<void()>) override {}
  void RunModal(bool) override {}
  void Close() override {}
  bool IsOpen() const override { return false; }
  void Repaint() override {}
  void* NativeHandle() const override { return nullptr; }
};

TEST(Hooks, OwndAnswersTheProgressDialogOnlyWhileItIsRegistered) {
  UnregisterProgressDialog();
  InstallHostHooks();
  EXPECT_TRUE(OWND().IsNil());
  EXPECT_TRUE(framework::AskHost("OWND").IsNil());
  EXPECT_EQ(ProgressDialog(), nullptr);

  FakeDialog dialog;
  RegisterProgressDialog(&dialog);
  Value w = framework::AskHost("OWND");
  ASSERT_TRUE(w.IsObject());
  EXPECT_EQ(w.object()->ClassName(), "TDIALOG");
  auto* ref = dynamic_cast<ProgressDialogRef*>(w.object().get());
  ASSERT_NE(ref, nullptr);
  EXPECT_EQ(ref->dialog(), &dialog);
  EXPECT_EQ(ProgressDialog(), &dialog);
  EXPECT_EQ(OWND(), OWND());  // one object while registered

  UnregisterProgressDialog();
  EXPECT_TRUE(OWND().IsNil());
  EXPECT_EQ(ProgressDialog(), nullptr);
}

TEST(Hooks, ConstantsAndNeutralAnswersByName) {
  InstallHostHooks();
  using framework::AskHost;
  EXPECT_EQ(AskHost("__PRODUCT"), Value::Text("ZELBAR"));
  EXPECT_EQ(AskHost("APPMAINEXENAME"), Value::Text("ZELBARW.EXE"));
  EXPECT_EQ(AskHost("INDEXEXT"), Value::Text(".CDX"));
  EXPECT_EQ(PRODUCT(), Value::Text("ZELBAR"));
  for (const char* neutral : {"AINDEXCHAIN", "KX_ACONFIG", "WL_AWLIST"}) EXPECT_TRUE(AskHost(neutral).IsNil()) << neutral;
  EXPECT_TRUE(AskHost("LSWLOGO", {Value::Logical(true), Value::Logical(false)}).IsNil());
  EXPECT_EQ(AskHost("TI_COMPARE", {Value::Text(" abc "), Value::Text("ABC")}), Value::Logical(true));
  // Missing arguments are no value: text against no value compares with "".
  EXPECT_EQ(AskHost("TI_COMPARE", {Value::Text("  ")}), Value::Logical(true));
  EXPECT_TRUE(AskHost("NO_SUCH_HOOK").IsNil());
}

}  // namespace
}  // namespace kx::updater
