// Line-level rules of INI text shared by the engine, its profile-function twin
// and the tests: how a line is classified, how names compare, how a value is
// read. Internal to the INI library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/status.h"

namespace kx::ini {

enum class LineKind {
  Blank,   // nothing but blanks
  Header,  // "[name]" (text up to the last ']'), blanks around allowed
  Key,     // "name=value" with a non-empty name, not a comment
  Other,   // comments (';'), lines without '=', "=value", "[" without "]"
};

struct ParsedLine {
  LineKind kind = LineKind::Blank;
  std::string name;   // Header: as between the brackets; Key: trimmed name
  std::string value;  // Key: the value trimmed, quotes kept
};

// Blanks as the profile functions count them: space, tab, CR, LF, VT, FF and
// Ctrl-Z.
bool IsIniBlank(char c);
std::string TrimBlanks(const std::string& s);
// Removes trailing ' ' only (what the profile functions do to a default).
std::string TrimTrailingSpaces(const std::string& s);
bool IsBlankLine(const std::string& text);

ParsedLine ParseLine(const std::string& text);

// The same classification as offsets into the line, without copies: the name
// (header: between the brackets; key: trimmed) and, for a key, its value
// (trimmed, quotes kept).
struct LineParts {
  LineKind kind = LineKind::Blank;
  uint32_t name_off = 0, name_len = 0;
  uint32_t value_off = 0, value_len = 0;
};
LineParts ParseLineParts(std::string_view text);

// Folds a name for comparison without regard to case: ASCII letters and the
// Windows-1252 letters with a case pair (À-Þ except ×, Š Œ Ž Ÿ) to lower case.
std::string FoldName(const std::string& name);
// One byte folded the same way.
inline unsigned char FoldChar(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 16);
  if (c == 0x9F) return 0xFF;
  return c;
}
// True when the two names are equal without regard to case.
bool SameName(std::string_view a, std::string_view b);
// The view without the blanks at either end.
std::string_view TrimBlanksView(std::string_view s);

// One pair of enclosing quotes (" or ') removed from a stored value.
std::string UnquoteValue(const std::string& stored);

// The key line `text` (a LineKind::Key line) with its value replaced:
// everything up to the '=' and the blanks after it stays.
std::string ReplaceValue(const std::string& text, const std::string& value);
// How many bytes of the key line `text` ReplaceValue keeps.
size_t ValueStart(std::string_view text);

// Names the flush uses beside the file.
inline constexpr const char* kTempSuffix = ".~tmp";
inline constexpr const char* kBackupSuffix = ".~old";

// True for the statuses of a missing file or folder.
bool IsMissingFile(const platform::Status& s);

// Replaces the file at `path` with `bytes` so that a failure at any point
// leaves either the old or the new file in place: writes path + kTempSuffix,
// flushes it, then renames it over the file (moving the old file aside to
// path + kBackupSuffix first, removed at the end). A read-only file fails
// with kErrAccessDenied and is left alone. On failure the temporary file is
// removed.
platform::Status ReplaceFileAtomically(platform::FileSystem* fs, const std::string& path, const std::string& bytes);

}  // namespace kx::ini
