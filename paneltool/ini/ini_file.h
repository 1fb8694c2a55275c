// INI files read and written key by key with the rules of the Windows profile
// functions (GetPrivateProfileString and its family), as the panel's icon files
// and the applications' uninstall files expect.
//
// Rules every implementation keeps:
//   - Section and key names compare without regard to case (ASCII letters and
//     the accented letters of Windows-1252). Names given to the calls are
//     trimmed of blanks; so are key names in the file. A section header is the
//     text between '[' and the last ']' of its line, taken as it stands.
//   - A line "name=value" inside a section is a key; lines starting with ';',
//     lines without '=' and blank lines are not keys and are never changed
//     except when their section is erased. Lines before the first header
//     belong to no section.
//   - A value read loses its leading and trailing blanks and then one pair of
//     enclosing quotes ("..." or '...'); a read returns at most kMaxRead (2047)
//     characters. Lists of pairs (ReadSectionPairs) carry values whole.
//   - A key listed twice in a section reads as its first occurrence. A section
//     listed twice: reads and writes see its first occurrence only.
//   - A section counts as present only when it holds at least one key; a key
//     counts as present when it is listed, whatever its value (also empty).
//   - Writing a key of a missing section appends the section at the end of the
//     file; writing a missing key appends it after the last non-blank line of
//     its section (blank lines that end the section stay after it); writing an
//     existing key replaces its value in place, keeping the spelling of its
//     name and everything before the value.
//   - Erasing a section removes its header and all its lines up to the next
//     header, for every occurrence of the section.
//   - A missing file reads as empty and is created by the first flush that has
//     something to write.
//
// The file engine (OpenIniFile) keeps the file in memory with an index of its
// sections and keys, so that each call costs O(length of the names), not a scan
// of the file. Changes stay in memory until Flush, which writes the whole file
// atomically (a temporary file beside it, then a replace): a failed or
// interrupted flush leaves the old file as it was. Every line the calls do not
// change stays byte for byte: comments, blank lines, unknown lines, order, line
// ends (CR LF, LF) and a missing final line end. Lines that the engine adds end
// in CR LF.
//
// Not thread-safe. Names and values are Windows-1252 bytes; a value never holds
// a line end (writing one is refused with an error status).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/status.h"

namespace kx::ini {

// The most characters a read returns, as the profile functions do with the
// 2048-byte buffer callers give them.
inline constexpr size_t kMaxRead = 2047;

struct IniPair {
  std::string key;    // the key's name as spelled in the file
  std::string value;  // the value as it stands in the file, trimmed, quotes kept, whole
  bool operator==(const IniPair&) const = default;
};

// What a read returns for a value as it stands in the file (IniPair::value):
// one pair of enclosing quotes removed (" or '), cut to kMaxRead characters.
std::string ReadableValue(const std::string& stored);

class IniFile {
 public:
  virtual ~IniFile() = default;

  // The path the file was opened with.
  virtual const std::string& path() const = 0;

  // The value of the key, or `default_value` when the section or key is
  // missing; at most kMaxRead characters. The default is returned with its
  // trailing blanks removed, as the profile functions do.
  virtual std::string ReadString(const std::string& section, const std::string& key,
                                 const std::string& default_value) = 0;

  // True when the section holds at least one key.
  virtual bool HasSection(const std::string& section) = 0;
  // True when the key is listed in the section, whatever its value.
  virtual bool HasKey(const std::string& section, const std::string& key) = 0;

  // The names of the section's keys, in file order, each name once (its first
  // spelling). Empty when the section is missing.
  virtual std::vector<std::string> ReadSectionKeys(const std::string& section) = 0;
  // The section's keys with their values, in file order, one pair per key name
  // (the first occurrence's value), keys with empty values included. Values are
  // as they stand in the file (trimmed, quotes kept) and whole (not cut at
  // kMaxRead): writing them back with WriteSection or WriteString gives a key
  // that reads exactly as before. ReadableValue() gives what a read returns.
  virtual std::vector<IniPair> ReadSectionPairs(const std::string& section) = 0;
  // The names of every section header in file order, also of sections that
  // hold no key (HasSection tells), each name once (its first spelling).
  virtual std::vector<std::string> ReadSectionNames() = 0;

  // Creates or replaces the key's value (see the rules above). The value is
  // written as given: no quotes are added.
  // Fails (status, nothing changed) when a name is empty, a name or value
  // holds a line end, a key name holds '=' or starts with ';' or '[', or a
  // section name holds ']'; the profile-function implementation also fails with
  // "Unable to write to " + path() when the system refuses the write.
  virtual platform::Status WriteString(const std::string& section, const std::string& key,
                                       const std::string& value) = 0;
  // Removes every line of the key from the section. Nothing to do when it is
  // missing.
  virtual platform::Status EraseKey(const std::string& section, const std::string& key) = 0;
  // Removes the section's header and all its lines, also comments and blank
  // lines up to the next section header. Nothing to do when it is missing.
  virtual platform::Status EraseSection(const std::string& section) = 0;
  // Makes the section hold exactly these pairs, in this order: the key lines of
  // every occurrence of the section are removed (its other lines stay), and the
  // pairs are written right after the header of its first occurrence; a
  // missing section is appended at the end (nothing is added for an empty
  // list). A key given twice is written once, with its first value. Fails
  // (nothing changed) for the names and values WriteString refuses.
  virtual platform::Status WriteSection(const std::string& section, const std::vector<IniPair>& pairs) = 0;

  // Writes the changes made since the last flush to disk. Nothing is written
  // when nothing changed (a missing file stays missing after reads only). On
  // failure the status message is "Unable to write to " + path(), the file on
  // disk is as it was before, and the changes stay in memory (a later flush
  // tries again). A read-only file is not written (the failure above).
  // The new contents go to path + ".~tmp" first; that file then takes the
  // place of the old one (the old one is renamed to path + ".~old" and removed
  // once the new one is in place: at every moment one of the two names holds a
  // whole file).
  virtual platform::Status Flush() = 0;
};

// Opens the file at `path` through `fs` and reads it into memory. A missing
// file (or folder) is an empty file; when the file is missing but the copy
// that an interrupted flush keeps (path + ".~old") is there, that copy is read
// (the next flush puts it back in place). On success stores the engine in *result;
// when the file exists but can't be read, fails with the file system's status
// and leaves *result empty. Destroying the engine discards unflushed changes:
// callers flush at the end of each step.
platform::Status OpenIniFile(platform::FileSystem* fs, const std::string& path, std::unique_ptr<IniFile>* result);

// An IniFile that calls the Windows profile functions for every operation
// (GetPrivateProfileStringA, WritePrivateProfileStringA,
// GetPrivateProfileSectionA, WritePrivateProfileSectionA ...), for comparisons
// and benchmarks. Windows only; nullptr elsewhere. The system decides how lines
// are written; Flush asks it to write its cache to disk.
std::unique_ptr<IniFile> OpenProfileIniFile(const std::string& path);

}  // namespace kx::ini
