// The error dialog of the terminal (Linux) build.
#pragma once

#include <cstdio>

#include "errors/error_trap.h"

namespace kx {

class TerminalPrompt : public ErrorPrompt {
 public:
  TerminalPrompt() = default;
  // For tests: fixed streams, and whether `in` counts as a terminal.
  TerminalPrompt(std::FILE* in, std::FILE* out, bool interactive) : in_(in), out_(out), interactive_(interactive) {}
  DialogChoice Ask(const std::string& description_text, const std::vector<std::string>& call_lines,
                   bool offer_retry) override;

 private:
  std::FILE* in_ = nullptr;
  std::FILE* out_ = nullptr;
  bool interactive_ = false;
};

}  // namespace kx
