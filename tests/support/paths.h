// Paths the tests use, as the program under test sees them.
#pragma once

#include <string>

namespace kx::test {

// The repository root, ../shared/fixtures and the build folder.
std::string SourcePath(const std::string& relative);
std::string FixturePath(const std::string& relative);
std::string BinaryPath(const std::string& relative);

// A fresh, empty folder for one test, below the build folder.
std::string ScratchFolder(const std::string& name);

}  // namespace kx::test
