// Tick, current folder, module path, file handles, processes, the named
// mutex and local time, on both systems.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/command_line.h"
#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/mutex.h"
#include "platform/process.h"
#include "platform/system.h"
#include "tests/platform/fs_test_util.h"

namespace kx::platform::test {
namespace {

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  if (value.empty()) ::unsetenv(name);
  else ::setenv(name, value.c_str(), 1);
#endif
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string LastComponent(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && (p.back() == '/' || p.back() == '\\')) p.pop_back();
  return p.substr(p.find_last_of("/\\") + 1);
}

// Restores the current folder when a test ends.
class KeepCurrentFolder {
 public:
  KeepCurrentFolder() : saved_(CurrentFolder()) {}
  ~KeepCurrentFolder() { SetCurrentFolder(saved_); }

 private:
  std::string saved_;
};

// The command line that runs this test program as a child doing `mode`.
std::string ChildCommand(const std::string& mode) {
  SetEnv("KX_PLATFORM_CHILD", mode);
  return "\"" + ModulePath() + "\" --gtest_brief=1 --gtest_also_run_disabled_tests --gtest_filter=DISABLED_Child.Main";
}

class ChildEnvironmentCleaner {
 public:
  ~ChildEnvironmentCleaner() { SetEnv("KX_PLATFORM_CHILD", ""); }
};

TEST(System, TickCountAdvances) {
  uint32_t a = TickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  uint32_t b = TickCount();
  EXPECT_GT(static_cast<uint32_t>(b - a), 0u);
}

TEST(System, CurrentFolder) {
  KeepCurrentFolder keep;
  std::string dir = TestFolder();
  ASSERT_TRUE(SetCurrentFolder(dir));
  std::string now = CurrentFolder();
  EXPECT_EQ(Upper(LastComponent(now)), Upper(LastComponent(dir))) << now;
  // Relative paths start there.
  Put(DefaultFileSystem(), "here.txt", "x");
  EXPECT_TRUE(DefaultFileSystem()->Exists(Join(dir, "here.txt")));
  // A refused change leaves the folder as it was.
  EXPECT_FALSE(SetCurrentFolder(Join(dir, "missing")));
  EXPECT_FALSE(SetCurrentFolder(""));
  EXPECT_EQ(CurrentFolder(), now);
}

TEST(System, ModulePathNamesThisProgram) {
  std::string path = ModulePath();
  EXPECT_TRUE(EndsWith(Upper(LastComponent(path)), "TEST_PLATFORM") ||
              EndsWith(Upper(LastComponent(path)), "TEST_PLATFORM.EXE"))
      << path;
  FileInfo info;
  ASSERT_TRUE(DefaultFileSystem()->Stat(path, &info).ok()) << path;
  EXPECT_GT(info.size, 0u);
}

TEST(System, RequestFileHandles) {
  EXPECT_EQ(RequestFileHandles(0), 0u);
  uint32_t got = RequestFileHandles(2000);
#ifdef _WIN32
  EXPECT_EQ(got, 2000u);
#else
  EXPECT_GT(got, 0u);
  EXPECT_LE(got, 2000u);
#endif
}

TEST(CommandLine, SplitsAsWindowsProgramsDo) {
  struct Case {
    std::string line;
    std::vector<std::string> words;
  } cases[] = {
      {"", {}},
      {"   ", {}},
      {"prog", {"prog"}},
      {"  prog  a   b ", {"prog", "a", "b"}},
      {"\"C:\\Program Files\\x.exe\" /SERTEC", {"C:\\Program Files\\x.exe", "/SERTEC"}},
      {"C:\\KX\\ICONOS.EXE", {"C:\\KX\\ICONOS.EXE"}},
      {"p \"a b\" c", {"p", "a b", "c"}},
      {"p a\\\\b", {"p", "a\\\\b"}},
      {"p a\\\"b", {"p", "a\"b"}},
      {"p a\\\\\"b c\"", {"p", "a\\b c"}},
      {"p \"\"", {"p", ""}},
      {"p \"a\"\"b\"", {"p", "a\"b"}},
      {"p\ta\tb", {"p", "a", "b"}},
      {"Salvenk.exe ", {"Salvenk.exe"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.words) << c.line;
}

// Run only as a child of the process tests: does what KX_PLATFORM_CHILD says
// and ends with an exit code.
TEST(DISABLED_Child, Main) {
  const char* m = std::getenv("KX_PLATFORM_CHILD");
  std::string mode = m ? m : "";
  if (mode.rfind("exit:", 0) == 0) {
    // Leave proof of the working folder, then end with the given code.
    Put(DefaultFileSystem(), "child.txt", CurrentFolder());
    std::exit(std::atoi(mode.c_str() + 5));
  }
  if (mode.rfind("wait:", 0) == 0) {
    // Ends once the file named after "wait:" exists (or after two minutes).
    std::string go = mode.substr(5);
    for (int i = 0; i < 12000 && !DefaultFileSystem()->Exists(go); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::exit(DefaultFileSystem()->Exists(go) ? 5 : 99);
  }
  if (mode.rfind("open:", 0) == 0) {
    // Opens the file shared and, when that works, locks its first record
    // lock byte; the exit code is the failure's Windows code, or 0.
    std::unique_ptr<File> f;
    Status s = DefaultFileSystem()->Open(mode.substr(5), Access::ReadWrite, Share::Shared, Disposition::OpenExisting, &f);
    if (s.ok()) s = f->Lock(0x7FFFFFFE - 1, 1);
    std::exit(static_cast<int>(s.code()));
  }
  if (mode.rfind("mutex:", 0) == 0) {
    std::unique_ptr<NamedMutex> mutex;
    if (!OpenNamedMutex(mode.substr(6), &mutex).ok()) std::exit(99);
    std::exit(mutex->already_existed() ? 1 : 0);
  }
  std::exit(98);
}

TEST(Process, RunAndWaitReturnsTheExitCodeAndUsesTheFolder) {
  ChildEnvironmentCleaner cleaner;
  std::string dir = TestFolder();
  uint32_t code = 0;
  StartOptions options;
  options.folder = dir;
  Status s = RunAndWait(ChildCommand("exit:7"), options, &code);
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(code, 7u);
  std::string folder = Contents(DefaultFileSystem(), Join(dir, "child.txt"));
  EXPECT_EQ(Upper(LastComponent(folder)), Upper(LastComponent(dir))) << folder;
  ASSERT_TRUE(RunAndWait(ChildCommand("exit:0"), options, &code).ok());
  EXPECT_EQ(code, 0u);
}

TEST(Process, WaitWithATimeoutReportsARunningProgram) {
  ChildEnvironmentCleaner cleaner;
  std::string dir = TestFolder();
  std::string go = Join(dir, "go");
  std::unique_ptr<Process> p;
  Status s = StartProcess(ChildCommand("wait:" + go), StartOptions(), &p);
  ASSERT_TRUE(s.ok()) << s.message();
  bool ended = true;
  uint32_t code = 1234;
  ASSERT_TRUE(p->Wait(0, &ended, &code).ok());
  EXPECT_FALSE(ended);
  EXPECT_EQ(code, 1234u);
  Put(DefaultFileSystem(), go, "");
  ASSERT_TRUE(p->Wait(kWaitForever, &ended, &code).ok());
  EXPECT_TRUE(ended);
  EXPECT_EQ(code, 5u);
  // Asking again answers the same.
  code = 0;
  ASSERT_TRUE(p->Wait(0, &ended, &code).ok());
  EXPECT_TRUE(ended);
  EXPECT_EQ(code, 5u);
}

TEST(Process, StartFailures) {
  std::string dir = TestFolder();
  std::unique_ptr<Process> p;
  Status s = StartProcess("\"" + Join(dir, "missing.exe") + "\" a b", StartOptions(), &p);
  EXPECT_EQ(s.code(), kErrFileNotFound) << s.message();
  EXPECT_FALSE(p);
  StartOptions options;
  options.folder = Join(dir, "missing");
  s = StartProcess("\"" + ModulePath() + "\" --gtest_list_tests", options, &p);
  EXPECT_FALSE(s.ok());
  EXPECT_FALSE(p);
  EXPECT_FALSE(StartProcess("   ", StartOptions(), &p).ok());
}

TEST(Process, ShareModesAndLocksHoldAgainstAnotherProcess) {
  ChildEnvironmentCleaner cleaner;
  std::string dir = TestFolder();
  std::string path = Join(dir, "t.dbf");
  Put(DefaultFileSystem(), path, "data");
  uint32_t code = 99;
  {
    std::unique_ptr<File> f;
    ASSERT_TRUE(DefaultFileSystem()->Open(path, Access::ReadWrite, Share::Exclusive, Disposition::OpenExisting, &f).ok());
    ASSERT_TRUE(RunAndWait(ChildCommand("open:" + path), StartOptions(), &code).ok());
    EXPECT_EQ(code, kErrSharingViolation);
  }
  {
    std::unique_ptr<File> f;
    ASSERT_TRUE(DefaultFileSystem()->Open(path, Access::ReadWrite, Share::Shared, Disposition::OpenExisting, &f).ok());
    ASSERT_TRUE(RunAndWait(ChildCommand("open:" + path), StartOptions(), &code).ok());
    EXPECT_EQ(code, 0u);
    ASSERT_TRUE(f->Lock(0x7FFFFFFE - 1, 1).ok());
    ASSERT_TRUE(RunAndWait(ChildCommand("open:" + path), StartOptions(), &code).ok());
    EXPECT_EQ(code, kErrLockViolation);
  }
}

TEST(NamedMutex, SecondOpenSeesTheFirst) {
  std::string name = "kx-platform-test-" + std::to_string(CurrentFileTime());
  std::unique_ptr<NamedMutex> first, second, third;
  ASSERT_TRUE(OpenNamedMutex(name, &first).ok());
  EXPECT_FALSE(first->already_existed());
  ASSERT_TRUE(OpenNamedMutex(name, &second).ok());
  EXPECT_TRUE(second->already_existed());
  second.reset();
  first.reset();
  ASSERT_TRUE(OpenNamedMutex(name, &third).ok());
  EXPECT_FALSE(third->already_existed());
}

TEST(NamedMutex, AnotherProcessSeesIt) {
  ChildEnvironmentCleaner cleaner;
  std::string name = "kx-platform-test-" + std::to_string(CurrentFileTime());
  uint32_t code = 99;
  {
    std::unique_ptr<NamedMutex> held;
    ASSERT_TRUE(OpenNamedMutex(name, &held).ok());
    ASSERT_TRUE(RunAndWait(ChildCommand("mutex:" + name), StartOptions(), &code).ok());
    EXPECT_EQ(code, 1u);  // already existed
  }
  ASSERT_TRUE(RunAndWait(ChildCommand("mutex:" + name), StartOptions(), &code).ok());
  EXPECT_EQ(code, 0u);
}

TEST(LocalTime, RoundTripsAndKnowsTheWeekday) {
  LocalTime t;
  t.year = 2007;
  t.month = 12;
  t.day = 31;
  t.hour = 10;
  t.minute = 59;
  t.second = 30;
  t.millisecond = 250;
  FileTime ft = 0;
  ASSERT_TRUE(FromLocalTime(t, &ft));
  LocalTime back;
  ASSERT_TRUE(ToLocalTime(ft, &back));
  EXPECT_EQ(back.year, 2007);
  EXPECT_EQ(back.month, 12);
  EXPECT_EQ(back.day, 31);
  EXPECT_EQ(back.day_of_week, 1);  // a Monday
  EXPECT_EQ(back.hour, 10);
  EXPECT_EQ(back.minute, 59);
  EXPECT_EQ(back.second, 30);
  EXPECT_EQ(back.millisecond, 250);
  // Leap days and the ends of the range.
  struct Case {
    int y, mo, d, dow;
  } cases[] = {{2000, 2, 29, 2}, {1601, 1, 1, 1}, {2024, 3, 1, 5}, {1970, 1, 1, 4}, {9999, 12, 31, 5}};
  for (const Case& c : cases) {
    LocalTime in;
    in.year = c.y;
    in.month = c.mo;
    in.day = c.d;
    in.hour = 12;
    ASSERT_TRUE(FromLocalTime(in, &ft)) << c.y;
    ASSERT_TRUE(ToLocalTime(ft, &back)) << c.y;
    EXPECT_EQ(back.year, c.y);
    EXPECT_EQ(back.month, c.mo);
    EXPECT_EQ(back.day, c.d);
    EXPECT_EQ(back.day_of_week, c.dow) << c.y;
  }
  LocalTime bad;
  bad.year = 2023;
  bad.month = 13;
  bad.day = 1;
  ft = 42;
  EXPECT_FALSE(FromLocalTime(bad, &ft));
  EXPECT_EQ(ft, 42);
  EXPECT_FALSE(ToLocalTime(-1, &back));
}

TEST(LocalTime, NowAgreesWithTheFileTimeClock) {
  FileTime now = CurrentFileTime();
  FileTime local_now = 0;
  ASSERT_TRUE(FromLocalTime(CurrentLocalTime(), &local_now));
  int64_t diff = local_now - now;
  if (diff < 0) diff = -diff;
  EXPECT_LT(diff, 60LL * 10000000);
}

// A file's local creation time gives a panel identifier's date fields.
TEST(LocalTime, OfAFilesCreationTime) {
  std::string dir = TestFolder();
  std::string path = Join(dir, "VAVU.EXE");
  Put(DefaultFileSystem(), path, "MZ");
  LocalTime t;
  t.year = 2007;
  t.month = 12;
  t.day = 31;
  t.hour = 10;
  t.minute = 59;
  FileTime ft = 0;
  ASSERT_TRUE(FromLocalTime(t, &ft));
  ASSERT_TRUE(DefaultFileSystem()->SetTimes(path, ft, ft).ok());
  FileInfo info;
  ASSERT_TRUE(DefaultFileSystem()->Stat(path, &info).ok());
  LocalTime created;
  ASSERT_TRUE(ToLocalTime(info.creation, &created));
  char id[16];
  std::snprintf(id, sizeof id, "%.2X%.1X%.3X%.2X", created.day, created.month, created.year, created.minute);
  EXPECT_STREQ(id, "1FC7D73B");
}

}  // namespace
}  // namespace kx::platform::test
