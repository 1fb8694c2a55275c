// The error dialog of the Linux build: the description line and the call
// sequence on the terminal, then the choices as a prompt when standard input
// is a terminal; without one the answer is "&Salir".
#include <unistd.h>

#include <cstdio>
#include <string>

#include "base/cp1252.h"
#include "errors/terminal_prompt.h"

namespace kx {

DialogChoice TerminalPrompt::Ask(const std::string& description_text, const std::vector<std::string>& call_lines,
                                 bool offer_retry) {
  std::FILE* out = out_ ? out_ : stderr;
  std::FILE* in = in_ ? in_ : stdin;
  bool interactive = in_ ? interactive_ : isatty(fileno(stdin)) != 0;
  std::fprintf(out, "\n%s\n", Cp1252ToUtf8(description_text).c_str());
  std::fprintf(out, "Secuencias (vea fichero Error.log):\n");
  for (const auto& l : call_lines) std::fprintf(out, "%s\n", Cp1252ToUtf8(l).c_str());
  if (!interactive) return DialogChoice::Leave;
  for (;;) {
    std::fprintf(out, offer_retry ? "[R]eintentar, [S]alir, [D]efecto: " : "[S]alir, [D]efecto: ");
    std::fflush(out);
    char line[64];
    if (!std::fgets(line, sizeof line, in)) return DialogChoice::Leave;
    char c = line[0];
    if (c == 's' || c == 'S') return DialogChoice::Leave;
    if (c == 'd' || c == 'D') return DialogChoice::Default;
    if (offer_retry && (c == 'r' || c == 'R')) return DialogChoice::Retry;
  }
}

ErrorPrompt* DefaultErrorPrompt() {
  static TerminalPrompt prompt;
  return &prompt;
}

}  // namespace kx
