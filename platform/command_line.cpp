#include "platform/command_line.h"

namespace kx::platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  const size_t n = line.size();
  while (i < n && IsBlank(line[i])) ++i;
  if (i == n) return words;
  // The program name.
  std::string word;
  if (line[i] == '"') {
    ++i;
    while (i < n && line[i] != '"') word += line[i++];
    if (i < n) ++i;
  }
  while (i < n && !IsBlank(line[i])) word += line[i++];
  words.push_back(word);
  // The arguments.
  while (true) {
    while (i < n && IsBlank(line[i])) ++i;
    if (i == n) break;
    word.clear();
    bool quoted = false;
    while (i < n && (quoted || !IsBlank(line[i]))) {
      if (line[i] == '\\') {
        size_t slashes = 0;
        while (i < n && line[i] == '\\') ++slashes, ++i;
        if (i < n && line[i] == '"') {
          word.append(slashes / 2, '\\');
          if (slashes % 2) {
            word += '"';
            ++i;
          }
        } else {
          word.append(slashes, '\\');
        }
      } else if (line[i] == '"') {
        if (quoted && i + 1 < n && line[i + 1] == '"') {
          word += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        word += line[i++];
      }
    }
    words.push_back(word);
  }
  return words;
}

}  // namespace kx::platform
