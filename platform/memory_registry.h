// A registry held in memory, for tests and for running the repairs natively.
// It can be filled from a .reg text file (as `reg export` or regedit writes
// it) and written back as one.
//
// .reg files read:
//   - "REGEDIT4" or "Windows Registry Editor Version 5.00" as first line; text
//     in UTF-16LE with a byte-order mark (what `reg export` writes), UTF-8 with
//     a byte-order mark, or plain Windows-1252 bytes. Text is held as
//     Windows-1252 inside (a character the code page lacks becomes '?').
//   - [HKEY_LOCAL_MACHINE\path] creates the key and every key above it;
//     [-HKEY_LOCAL_MACHINE\path] deletes it with all below it. Keys of other
//     roots are refused. Hives are accepted as HKEY_LOCAL_MACHINE or HKLM.
//   - "name"="text" with the escapes \\ and \" ; @="text" for the default
//     value; "name"=dword:xxxxxxxx; "name"=- deletes the value;
//     "name"=hex:..., hex(N):... (any type N, kept as raw bytes, with line
//     continuations "\" at line ends); ';' comment lines; blank lines.
// Writing produces "Windows Registry Editor Version 5.00" text, CR LF, keys in
// the order a depth-first walk lists them, values in the order they were
// created; as UTF-16LE with a byte-order mark, or Windows-1252 bytes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/registry.h"

namespace kx::platform {

class MemoryRegistry : public Registry {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;

  Status OpenKey(const std::string& path) override;
  Status ListSubkeys(const std::string& path, std::vector<std::string>* names) override;
  Status ReadString(const std::string& path, const std::string& name, std::string* value) override;
  Status ReadDword(const std::string& path, const std::string& name, uint32_t* value) override;
  Status WriteString(const std::string& path, const std::string& name, const std::string& value) override;
  Status WriteDword(const std::string& path, const std::string& name, uint32_t value) override;
  Status DeleteTree(const std::string& path) override;
  Status ListValues(const std::string& path, std::vector<ValueInfo>* values) override;

  // Set-up for tests: creates the key and every missing key above it.
  void CreateKey(const std::string& path);
  // Set-up for tests: stores a value of any type (raw bytes as Windows keeps
  // them: a string with its terminating zero, a dword little-endian), creating
  // the key when missing.
  void SetRawValue(const std::string& path, const std::string& name, RegType type, const std::string& bytes);
  // The raw bytes and type of a value; kErrFileNotFound when missing.
  Status GetRawValue(const std::string& path, const std::string& name, RegType* type, std::string* bytes);

  // Applies .reg text (see above) to this registry. On a syntax error stops at
  // that line with a status whose message names the line number; what came
  // before stays applied.
  Status LoadRegText(const std::string& bytes);
  // Reads the file through `fs` and applies it.
  Status LoadRegFile(FileSystem* fs, const std::string& path);
  // The key (and everything below it) as .reg text; the empty path exports
  // all of HKEY_LOCAL_MACHINE. Missing key: empty text.
  std::string ExportRegText(const std::string& path, bool utf16 = true);

 private:
  struct Node;
  Node* Find(const std::string& path);
  std::unique_ptr<Node> root_;
};

// Orders key names as Wine enumerates subkeys: without regard to case
// (lower-casing each character of the text taken as Windows-1252), then by
// code. True when a sorts before b. (Windows upper-cases instead: the two
// orders differ only for the characters [ \ ] ^ _ ` against letters.)
bool RegistryNameLess(const std::string& a, const std::string& b);
// True when two names are the same key or value name.
bool RegistryNameEqual(const std::string& a, const std::string& b);

}  // namespace kx::platform
