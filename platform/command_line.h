// Windows command lines split into words.
#pragma once

#include <string>
#include <vector>

namespace kx::platform {

// Splits a command line the way Windows programs' start-up code does: words
// are separated by blanks and tabs; double quotes group blanks into a word
// and are dropped; 2n backslashes before a quote give n backslashes and the
// quote groups, 2n+1 give n backslashes and a literal quote; other
// backslashes stay as they are; "" inside quotes gives one literal quote.
// The first word, the program, ends at the next quote when it starts with
// one, else at the first blank, and backslashes in it are plain.
std::vector<std::string> SplitCommandLine(const std::string& line);

}  // namespace kx::platform
