// The error dialog of the terminal build.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "errors/terminal_prompt.h"

namespace kx {
namespace {

struct PromptRun {
  DialogChoice choice;
  std::string shown;
};

PromptRun Prompt(const std::string& typed, bool interactive, bool retry) {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::fputs(typed.c_str(), in);
  std::rewind(in);
  TerminalPrompt p(in, out, interactive);
  PromptRun r{p.Ask(" Descripción del error: Error DBFCDX/1011", {" Llamado desde TABLAS(212)"}, retry), {}};
  std::rewind(out);
  char buf[512];
  while (std::fgets(buf, sizeof buf, out)) r.shown += buf;
  std::fclose(in);
  std::fclose(out);
  return r;
}

TEST(TerminalPrompt, Choices) {
  struct Case {
    std::string typed;
    bool interactive, retry;
    DialogChoice want;
  } cases[] = {
      {"d\n", true, false, DialogChoice::Default},
      {"r\nD\n", true, false, DialogChoice::Default},  // no retry offered: asked again
      {"R\n", true, true, DialogChoice::Retry},
      {"s\n", true, true, DialogChoice::Leave},
      {"", true, true, DialogChoice::Leave},            // end of input
      {"d\n", false, true, DialogChoice::Leave},        // no terminal: "&Salir"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    PromptRun r = Prompt(c.typed, c.interactive, c.retry);
    EXPECT_EQ(r.choice, c.want);
    EXPECT_NE(r.shown.find(" Descripci\xC3\xB3n del error: Error DBFCDX/1011\n"), std::string::npos);  // as UTF-8
    EXPECT_NE(r.shown.find(" Llamado desde TABLAS(212)\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace kx
