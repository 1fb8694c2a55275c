// Helpers shared by the platform tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "tests/support/paths.h"

namespace kx::platform::test {

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

inline std::string Join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder + name;
  return folder + kSep + name;
}

// A fresh folder named after the running test.
inline std::string TestFolder(const std::string& suffix = "") {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name() + suffix;
  for (char& c : name)
    if (c == '/' || c == '\\') c = '_';
  return kx::test::ScratchFolder("platform/" + name);
}

inline std::string Contents(FileSystem* fs, const std::string& path) {
  std::string s;
  Status st = ReadWholeFile(fs, path, &s);
  return st.ok() ? s : "<" + std::to_string(st.code()) + ">";
}

inline void Put(FileSystem* fs, const std::string& path, const std::string& contents) {
  Status s = WriteWholeFile(fs, path, contents);
  ASSERT_TRUE(s.ok()) << path << ": " << s.message();
}

// 2007-12-31 10:59:00 UTC as a file time.
constexpr FileTime kOldTime = 128435723400000000LL;

}  // namespace kx::platform::test
