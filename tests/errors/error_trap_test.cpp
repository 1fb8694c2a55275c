// The handler's courses: silent ones, the report, the dialog and the decision.
#include <gtest/gtest.h>

#include <memory>

#include "base/date.h"
#include "errors/error_trap.h"
#include "platform/file_system.h"
#include "tests/support/paths.h"

namespace kx {
namespace {

std::string Join(const std::string& folder, const std::string& name) {
#ifdef _WIN32
  return folder + "\\" + name;
#else
  return folder + "/" + name;
#endif
}

struct FakePrompt : ErrorPrompt {
  DialogChoice answer = DialogChoice::Default;
  int shown = 0;
  bool offered_retry = false;
  std::string text;
  std::vector<std::string> calls;
  std::function<void()> while_open;
  DialogChoice Ask(const std::string& t, const std::vector<std::string>& c, bool retry) override {
    ++shown;
    text = t, calls = c, offered_retry = retry;
    if (while_open) while_open();
    return answer;
  }
};

class ErrorTrapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = test::ScratchFolder("error_trap");
    log_ = Join(folder_, "Error.log");
    fs_->Remove(log_);
    ErrorTrapHooks h;
    h.engine_error = [this] { return engine_error_; };
    h.event_loop_running = [this] { return loop_; };
    h.report_state = [] {
      ReportState s;
      s.frames = {{"TABLAS", 120, {}, {}}, {"ACTUA", 60, {}, {}}, {"MAIN", 30, {}, {}}};
      return s;
    };
    h.fs = fs_;
    h.log_path = log_;
    h.prompt = &prompt_;
    SetErrorTrapHooks(h);
    ERRORSYS();
    SetNetErr(false);
    NERRORCODE(Value());
  }
  void TearDown() override {
    SetErrorHandler(nullptr);
    SetErrorTrapHooks({});
  }
  bool LogExists() { return fs_->Exists(log_); }
  std::string Log() {
    std::string s;
    platform::ReadWholeFile(fs_, log_, &s);
    return s;
  }

  platform::FileSystem* fs_ = platform::DefaultFileSystem();
  std::string folder_, log_;
  int engine_error_ = 0;
  bool loop_ = true;
  FakePrompt prompt_;
};

ErrorRecord Record(int gen, uint32_t os, bool retry = false) {
  ErrorRecord e;
  e.gen_code = gen;
  e.os_code = os;
  e.sub_system = "DBFCDX";
  e.sub_code = 1001;
  e.description = "Open error";
  e.file_name = "C:\\KX\\DBF\\EMPRESA.DBF";
  e.can_retry = retry;
  return e;
}

TEST_F(ErrorTrapTest, SilentCoursesWriteNothingAndShowNothing) {
  struct Case {
    int gen;
    uint32_t os;
    int engine;
    ErrorAction action;
    bool net_err;
    Value code;  // NERRORCODE afterwards (it starts empty)
  } cases[] = {
      {kGenZeroDiv, 0, 0, ErrorAction::Substitute, false, Value()},
      {kGenOpen, 32, 0, ErrorAction::Default, true, Value::Number(32)},
      {kGenOpen, 0, 7008, ErrorAction::Default, true, Value::Number(5)},
      {kGenOpen, 0, 5004, ErrorAction::Default, true, Value::Number(2)},
      {kGenOpen, 3, 7008, ErrorAction::Default, true, Value::Number(3)},
      {kGenCreate, 3, 0, ErrorAction::Default, true, Value::Number(3)},
      {kGenCreate, 0, 7004, ErrorAction::Default, true, Value::Number(4)},
      {kGenAppendLock, 0, 7040, ErrorAction::Default, true, Value()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "gen " << c.gen << " os " << c.os << " engine " << c.engine);
    SetNetErr(false);
    NERRORCODE(Value());
    engine_error_ = c.engine;
    ErrorRecord e = Record(c.gen, c.os);
    ErrorAnswer a = RaiseError(e);
    EXPECT_EQ(a.action, c.action);
    if (c.action == ErrorAction::Substitute) {
      EXPECT_EQ(a.value, Value::Number(0));
    }
    EXPECT_EQ(NetErr(), c.net_err);
    EXPECT_EQ(NERRORCODE(), c.code);
    EXPECT_EQ(prompt_.shown, 0);
    EXPECT_FALSE(LogExists());
  }
}

TEST_F(ErrorTrapTest, CreateOfAFileHeldOpenGoesToTheDialog) {
  ErrorRecord e = Record(kGenCreate, 32);
  EXPECT_EQ(RaiseError(e).action, ErrorAction::Default);
  EXPECT_EQ(prompt_.shown, 1);
  EXPECT_FALSE(NetErr());
  EXPECT_TRUE(e.can_default);
  EXPECT_EQ(prompt_.text, " Descripción del error: (Error DOS 32) DBFCDX/1001 Open error: C:\\KX\\DBF\\EMPRESA.DBF");
  EXPECT_EQ(prompt_.calls, (std::vector<std::string>{" Llamado desde TABLAS(120)", " Llamado desde ACTUA(60)",
                                                     " Llamado desde MAIN(30)"}));
  std::string log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), '\x1A');
  EXPECT_NE(log.find(prompt_.text + "\r\n"), std::string::npos);
}

TEST_F(ErrorTrapTest, DescriptionShowsTheCodeAsRaisedBeforeTheEngineMapping) {
  engine_error_ = 7008;  // maps to 5, which a data-type error does not absorb
  ErrorRecord e = Record(kGenDataType, 0);
  e.severity = 1;
  RaiseError(e);
  EXPECT_EQ(e.os_code, 5u);
  EXPECT_EQ(prompt_.text.substr(0, 33), " Descripción del error: Atención ");
  e = Record(kGenDataType, 0);
  engine_error_ = 0;
  RaiseError(e);
  EXPECT_EQ(prompt_.text.substr(0, 30), " Descripción del error: Error ");
}

TEST_F(ErrorTrapTest, DecisionOfTheDialog) {
  struct Case {
    bool can_retry;
    bool loop;
    DialogChoice choice;
    bool ends;
    ErrorAction action;
  } cases[] = {
      {false, true, DialogChoice::Default, false, ErrorAction::Default},
      {true, true, DialogChoice::Default, false, ErrorAction::Default},
      {true, true, DialogChoice::Retry, false, ErrorAction::Retry},
      {true, false, DialogChoice::Retry, true, {}},  // before the progress dialog opens
      {true, true, DialogChoice::Leave, true, {}},   // "&Salir", the close box, Escape
      {false, true, DialogChoice::Leave, true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.can_retry << c.loop << int(c.choice));
    loop_ = c.loop;
    prompt_.answer = c.choice;
    ErrorRecord e = Record(kGenRead, 0, c.can_retry);
    if (c.ends) {
      try {
        RaiseError(e);
        ADD_FAILURE() << "the program went on";
      } catch (const ProgramExit& x) {
        EXPECT_EQ(x.code, 1);
      }
    } else {
      EXPECT_EQ(RaiseError(e).action, c.action);
    }
    EXPECT_EQ(prompt_.offered_retry, c.can_retry);
  }
  // The handler is usable again after it ended a program.
  prompt_.answer = DialogChoice::Default;
  ErrorRecord e = Record(kGenRead, 0);
  EXPECT_EQ(RaiseError(e).action, ErrorAction::Default);
}

TEST_F(ErrorTrapTest, FailureWhileTheDialogIsOpenEndsAtOnceAndKeepsTheFirstReport) {
  int nested_dialogs = 0;
  prompt_.while_open = [&] {
    prompt_.while_open = [&] { ++nested_dialogs; };
    ErrorRecord inner = Record(kGenWrite, 0);
    inner.description = "Second failure";
    RaiseError(inner);
  };
  ErrorRecord e = Record(kGenRead, 0, true);
  e.description = "First failure";
  try {
    RaiseError(e);
    ADD_FAILURE() << "the program went on";
  } catch (const ProgramExit& x) {
    EXPECT_EQ(x.code, 1);
  }
  EXPECT_EQ(nested_dialogs, 0);
  std::string log = Log();
  EXPECT_NE(log.find("First failure"), std::string::npos);
  EXPECT_EQ(log.find("Second failure"), std::string::npos);
}

TEST_F(ErrorTrapTest, SecondErrorReplacesTheReport) {
  ErrorRecord e = Record(kGenRead, 0);
  e.description = std::string(5000, 'x');
  RaiseError(e);
  e.description = "short";
  RaiseError(e);
  std::string log = Log();
  EXPECT_EQ(log.find("xxxx"), std::string::npos);
  EXPECT_EQ(log.back(), '\x1A');
  EXPECT_EQ(log.find('\x1A'), log.size() - 1);
}

TEST_F(ErrorTrapTest, UnwritableReportIsGivenUpAndTheDialogStillShows) {
  ErrorTrap().log_path = Join(Join(folder_, "missing folder"), "Error.log");
  ErrorRecord e = Record(kGenRead, 0);
  EXPECT_EQ(RaiseError(e).action, ErrorAction::Default);
  EXPECT_EQ(prompt_.shown, 1);
}

// A file system whose writes fail, and whose writes raise an error record.
struct FailingWrites : platform::FileSystemWrapper {
  bool raise = false;
  using FileSystemWrapper::FileSystemWrapper;
  platform::Status Open(const std::string& path, platform::Access a, platform::Share s, platform::Disposition d,
                        std::unique_ptr<platform::File>* f) override {
    if (raise) {
      ErrorRecord e;
      e.gen_code = kGenWrite;
      RaiseError(e);
    }
    (void)path, (void)a, (void)s, (void)d, (void)f;
    return platform::Status::Error(platform::kErrDiskFull, "disk full");
  }
};

TEST_F(ErrorTrapTest, WriteGuardSwallowsFailuresRaisedWhileWriting) {
  FailingWrites fs(platform::DefaultFileSystem());
  EXPECT_FALSE(WriteErrorLog(&fs, log_, "text"));
  fs.raise = true;
  EXPECT_FALSE(WriteErrorLog(&fs, log_, "text"));
  ErrorTrap().fs = &fs;
  ErrorRecord e = Record(kGenRead, 0);
  EXPECT_EQ(RaiseError(e).action, ErrorAction::Default);  // no re-entry end: the guard caught it
  EXPECT_EQ(prompt_.shown, 1);
  ErrorTrap().fs = fs_;
}

}  // namespace
}  // namespace kx
