// The handler's silent courses: engine-number mapping only for records
// without a Windows code, every error defaultable, opens, creates and append
// locks absorbed as the network-error flag.
#include <gtest/gtest.h>

#include "errors/record/silent_courses.h"

namespace kx {
namespace {

ErrorRecord Record(int gen, uint32_t os) {
  ErrorRecord e;
  e.gen_code = gen;
  e.os_code = os;
  e.sub_system = "DBFCDX";
  return e;
}

TEST(SilentCourses, TableOfCourses) {
  struct Case {
    int gen;
    uint32_t os;
    int engine;
    bool absorbed;
    double code_after;  // NERRORCODE after, starting from 99
    uint32_t os_after;
  };
  const Case cases[] = {
      {21, 32, 0, true, 32, 32},       {21, 5, 0, true, 5, 5},          {21, 4, 0, true, 4, 4},
      {21, 2, 0, true, 2, 2},          {21, 3, 0, true, 3, 3},          {21, 6, 0, false, 99, 6},
      {21, 0, 7008, true, 5, 5},       {21, 0, 5004, true, 2, 2},       {21, 0, 7004, true, 4, 4},
      {21, 0, 7040, true, 5, 5},       {21, 0, 7100, false, 99, 0},
      // A record with its own code keeps it, whatever the engine's number.
      {20, 32, 7008, false, 99, 32},   {20, 3, 0, true, 3, 3},          {20, 2, 0, true, 2, 2},
      {20, 0, 5004, true, 2, 2},       {40, 0, 7040, true, 99, 5},      {33, 0, 1020, false, 99, 0},
      {24, 0, 7008, false, 99, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.gen) + "/" + std::to_string(c.os) + "/" + std::to_string(c.engine));
    SetNetErr(false);
    NERRORCODE(Value::Number(99));
    ErrorRecord e = Record(c.gen, c.os);
    std::optional<ErrorAnswer> a = ApplySilentCourses(e, c.engine);
    EXPECT_EQ(a.has_value(), c.absorbed);
    if (a) {
      EXPECT_EQ(a->action, ErrorAction::Default);
    }
    EXPECT_EQ(NetErr(), c.absorbed);
    EXPECT_EQ(NERRORCODE().number(), c.code_after);
    EXPECT_EQ(e.os_code, c.os_after);
    EXPECT_TRUE(e.can_default);
  }
}

TEST(SilentCourses, DivisionByZeroYieldsZero) {
  ErrorRecord e = Record(5, 0);
  std::optional<ErrorAnswer> a = ApplySilentCourses(e, 0);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->action, ErrorAction::Substitute);
  EXPECT_EQ(a->value.number(), 0);
}

TEST(SilentCourses, WithoutAHandlerTheRestEndsTheProgram) {
  ASSERT_FALSE(HasErrorHandler());
  ErrorRecord open = Record(21, 2);
  EXPECT_EQ(RaiseWithSilentCourses(open, 5004).action, ErrorAction::Default);
  ErrorRecord create = Record(20, 32);
  EXPECT_THROW(RaiseWithSilentCourses(create, 7008), ProgramExit);
  // An installed handler gets every record as raised.
  int seen = 0;
  ErrorHandler old = SetErrorHandler([&](ErrorRecord& e) {
    ++seen;
    EXPECT_EQ(e.os_code, 2u);
    return ErrorAnswer{ErrorAction::Retry, Value()};
  });
  ErrorRecord again = Record(21, 2);
  EXPECT_EQ(RaiseWithSilentCourses(again, 5004).action, ErrorAction::Retry);
  EXPECT_EQ(seen, 1);
  SetErrorHandler(std::move(old));
}

}  // namespace
}  // namespace kx
