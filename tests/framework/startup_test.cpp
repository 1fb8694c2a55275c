#include "framework/startup.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/cp1252.h"
#include "base/date.h"
#include "base/run_settings.h"
#include "framework/notice.h"
#include "platform/system.h"
#include "tests/support/paths.h"

namespace kx::framework {
namespace {

// Keeps the process's current directory and the start-up state of one test.
class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_folder_ = platform::CurrentFolder();
    ResetStartupSettings();
    ResetRunSettings();
  }
  void TearDown() override {
    platform::SetCurrentFolder(saved_folder_);
    ResetStartupSettings();
    ResetRunSettings();
    SetNoticeHandler(nullptr);
  }
  std::string saved_folder_;
};

TEST(StartFolder, ComesFromTheCurrentDirectoryWithoutItsDrive) {
  struct Case {
    const char* current;
    const char* start;
  } cases[] = {
      {"C:\\", ".\\"},
      {"C:", ".\\"},
      {"C:\\APP\\DATA", "\\APP\\DATA\\"},
      {"D:\\APP\\DATA", "\\APP\\DATA\\"},
      {"z:\\Año\\Datos", "\\Año\\Datos\\"},
      {"\\\\server\\share", ".\\"},
      {"\\\\server\\share\\", ".\\"},
      {"\\\\server\\share\\kx\\dbf", "\\kx\\dbf\\"},
      {"/", ".\\"},
      {"/app/data", "\\app\\data\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(StartFolderFromCurrent(c.current), c.start) << c.current;
}

TEST(StartFolder, ProgramFolderEndsAtTheLastSeparator) {
#ifdef _WIN32
  EXPECT_EQ(ProgramFolder("C:\\Norvo\\Kx\\updater.exe"), "C:\\NORVO\\KX\\");
  EXPECT_EQ(ProgramFolder("C:\\Año\\updater.exe"), "C:\\AÑO\\");
#else
  EXPECT_EQ(ProgramFolder("/opt/Norvo/updater"), "/opt/Norvo/");
#endif
  EXPECT_EQ(ProgramFolder("updater.exe"), "");
}

TEST_F(StartupTest, SettingsAreEmptyBeforeTheStartUp) {
  EXPECT_TRUE(DSETDATE().empty());
  EXPECT_EQ(CPATHSTART(), "");
  EXPECT_TRUE(OHAND().IsNil());
  EXPECT_FALSE(LDEST_PANTALLA());
  EXPECT_EQ(NHANDLERS(), 0);
  // Get/set: a value given is stored, no value stores nothing.
  EXPECT_EQ(CPATHINFORME("\\INFORMES\\"), "\\INFORMES\\");
  EXPECT_EQ(CPATHINFORME(), "\\INFORMES\\");
  Date d = DateFromYmd(2024, 2, 29);
  EXPECT_EQ(DSETDATE(d), d);
  EXPECT_EQ(DSETDATE(), d);
}

TEST_F(StartupTest, StartUpFillsTheSlotsAndMovesToTheProgramFolder) {
  std::string scratch = test::ScratchFolder("startup_plain");
  ASSERT_TRUE(platform::SetCurrentFolder(scratch));
  std::string before = platform::CurrentFolder();
  CPATHEXE("old");
  CPATHDBFDELEGACION("\\DELEG\\");

  EXPECT_FALSE(ARRANQUE());

  EXPECT_EQ(CPATHSTART(), StartFolderFromCurrent(before));
  EXPECT_NE(CPATHSTART().find("startup_plain"), std::string::npos);
  EXPECT_EQ(CPATHEXE(), "");
  EXPECT_EQ(CPATHINFORME(), "");
  EXPECT_EQ(CPATHDBFDELEGACION(), "");
  // The program's folder is the current directory now.
  std::string program = ProgramFolder(platform::ModulePath());
#ifdef _WIN32
  const char* sep = "\\";
#else
  const char* sep = "/";
#endif
  EXPECT_EQ(Upper(platform::CurrentFolder() + sep), Upper(program));
  EXPECT_EQ(DSETDATE(), Today());
  EXPECT_TRUE(LDEST_PANTALLA() && LDEST_IMPRESORA() && LDEST_FICHERO() && LDEST_HTML() && LDEST_EXCEL());
  // The program carries no "HAND" cursor.
  EXPECT_TRUE(OHAND().IsNil());
  EXPECT_GT(NHANDLERS(), 0);
  EXPECT_LE(NHANDLERS(), 2000);
  // The defaults of the run.
  EXPECT_FALSE(FourDigitYears());
  EXPECT_EQ(EpochYear(), 1920);
  EXPECT_TRUE(DeletedHidden());
  EXPECT_TRUE(ExclusiveByDefault());
  EXPECT_FALSE(EntryConfirm());
  EXPECT_TRUE(EscapeKey());
  EXPECT_TRUE(Intensity());
  EXPECT_FALSE(Scoreboard());
  EXPECT_TRUE(MenuWrap());
  EXPECT_EQ(DTOC(DateFromYmd(2005, 3, 7)), "07-03-05");
}

TEST_F(StartupTest, StartedAtTheRootOfItsDrive) {
#ifdef _WIN32
  ASSERT_TRUE(platform::SetCurrentFolder("Z:\\"));
#else
  ASSERT_TRUE(platform::SetCurrentFolder("/"));
#endif
  ARRANQUE();
  EXPECT_EQ(CPATHSTART(), ".\\");
}

TEST_F(StartupTest, AGivenStartFolderLosesOneOfTwoFinalBackslashes) {
  struct Case {
    const char* given;
    const char* stored;
  } cases[] = {
      {"\\APP\\DATA\\\\", "\\APP\\DATA\\"},
      {"\\APP\\DATA\\", "\\APP\\DATA\\"},
      {"C:\\\\\\", "C:\\\\"},
      {"\\\\", "\\"},
      {"", ""},
  };
  for (const Case& c : cases) {
    ARRANQUE(std::string(c.given));
    EXPECT_EQ(CPATHSTART(), c.stored) << c.given;
  }
}

class Control : public Object, public CursorControl {
 public:
  explicit Control(std::string cls) : cls_(std::move(cls)) {}
  std::string ClassName() const override { return cls_; }
  void AssignCursor(std::shared_ptr<Object> cursor) override {
    ++calls;
    cursor_ = std::move(cursor);
  }
  int calls = 0;
  std::shared_ptr<Object> cursor_;

 private:
  std::string cls_;
};

class PlainObject : public Object {
 public:
  std::string ClassName() const override { return "TBUTTON"; }
};

class Hand : public Object {
 public:
  std::string ClassName() const override { return "TCURSOR"; }
};

TEST_F(StartupTest, CursorHandChangesOnlyButtons) {
  auto hand = std::make_shared<Hand>();
  OHAND(Value::FromObject(hand));
  auto button = std::make_shared<Control>("TBUTTON");
  auto bitmap_button = std::make_shared<Control>("TBtnBmp");
  auto label = std::make_shared<Control>("TSAY");
  Value controls = Value::List({Value::Text("TBUTTON"), Value::FromObject(button), Value::FromObject(label),
                                Value::FromObject(std::make_shared<PlainObject>()), Value::FromObject(bitmap_button),
                                Value(), Value::FromObject(nullptr)});
  EXPECT_TRUE(OCURSORHAND(controls));
  EXPECT_EQ(button->calls, 1);
  EXPECT_EQ(button->cursor_, hand);
  EXPECT_EQ(bitmap_button->cursor_, hand);
  EXPECT_EQ(label->calls, 0);

  EXPECT_TRUE(OCURSORHAND(Value::FromObject(button), true));
  EXPECT_EQ(button->calls, 2);
  EXPECT_EQ(button->cursor_, nullptr);
  EXPECT_EQ(bitmap_button->calls, 1);
  EXPECT_TRUE(OCURSORHAND(Value::Text("x")));
}

TEST_F(StartupTest, FrameworkFontIsTheStockGuiFont) {
  std::string face = GETDEFAULTFONTNAME();
  int height = GETDEFAULTFONTHEIGHT();
  EXPECT_FALSE(face.empty());
  EXPECT_LT(height, 0);
#ifndef _WIN32
  EXPECT_EQ(face, "MS Shell Dlg");
  EXPECT_EQ(height, -11);
#endif
  EXPECT_EQ(CFONTNAME(), face);
  EXPECT_EQ(NFONTVSIZE(), 0);
  EXPECT_EQ(NFONTHSIZE(), height);
  std::printf("framework font: %s, 0, %d\n", face.c_str(), height);
}

TEST_F(StartupTest, CurrentDirectoryWrappers) {
  std::string scratch = test::ScratchFolder("startup_cwd");
  Value set = SETCURRENTDIRECTORY(scratch);
  ASSERT_TRUE(set.IsLogical());
  EXPECT_TRUE(set.logical());
  std::string current = platform::CurrentFolder();
  EXPECT_NE(current.find("startup_cwd"), std::string::npos);

  std::string buffer = "unchanged";
  Value n = GETCURRENTDIRECTORY(1024, &buffer);
  ASSERT_TRUE(n.IsNumber());
  EXPECT_EQ(buffer, current);
  EXPECT_EQ(n.number(), static_cast<double>(current.size()));
  // Too short a buffer: untouched, and the answer is the room needed.
  std::string small = "unchanged";
  Value needed = GETCURRENTDIRECTORY(static_cast<int>(current.size()), &small);
  EXPECT_EQ(small, "unchanged");
  EXPECT_EQ(needed.number(), static_cast<double>(current.size() + 1));

  // A folder that does not exist: the system says no, nothing is shown.
  std::vector<std::string> shown;
  SetNoticeHandler([&](const std::string& text) { shown.push_back(text); });
  Value refused = SETCURRENTDIRECTORY(scratch + "/no/such/folder");
  ASSERT_TRUE(refused.IsLogical());
  EXPECT_FALSE(refused.logical());
  EXPECT_EQ(platform::CurrentFolder(), current);
  EXPECT_TRUE(shown.empty());
}

TEST_F(StartupTest, WrappersReportALibraryThatDoesNotLoad) {
  std::vector<std::string> shown;
  SetNoticeHandler([&](const std::string& text) { shown.push_back(text); });
  SystemLibraryName("NoSuchLibraryKx");
  std::string buffer = "kept";
  EXPECT_TRUE(SETCURRENTDIRECTORY(".").IsNil());
  EXPECT_TRUE(GETCURRENTDIRECTORY(260, &buffer).IsNil());
  EXPECT_EQ(buffer, "kept");
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], "Error code: 0 loading NoSuchLibraryKx");
  EXPECT_EQ(shown[1], shown[0]);
}

}  // namespace
}  // namespace kx::framework
