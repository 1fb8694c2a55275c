// The machine-wide registry (HKEY_LOCAL_MACHINE) behind a narrow interface, so
// that the panel tool's repairs run natively against an in-memory registry in
// tests and against the real one on Windows.
//
// Paths are below HKEY_LOCAL_MACHINE, with components separated by
// backslashes, as Windows-1252 bytes: "Software\\Roroz OR\\VAVU_1A2B3C4D".
// Leading and trailing backslashes are ignored ("\\Software\\Roroz OR\\" is the
// same key as "Software\\Roroz OR"); the empty path is HKEY_LOCAL_MACHINE
// itself. Key and value names compare without regard to case. The empty value
// name is the key's default value ("@" in a .reg file).
//
// The Win32 implementation opens every key through the 32-bit view of the
// registry (KEY_WOW64_32KEY), so that a 64-bit build sees what the 32-bit
// program sees. No call ever creates a key: the tool only changes keys that
// exist.
//
// Missing keys and values are reported distinctly from other failures: the
// status code is kErrFileNotFound (2), and IsMissing() tells them apart, so a
// caller that skips what is not there can do so without hiding real errors.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/status.h"

namespace kx::platform {

// Codes a registry call may return besides those of status.h.
enum : uint32_t {
  kErrKeyDeleted = 1018,       // the key was deleted while in use
  kErrUnsupportedType = 1630,  // the value exists but is of another type
};

// True when the status reports a key or value that does not exist.
inline bool IsMissing(const Status& s) { return s.code() == kErrFileNotFound || s.code() == kErrPathNotFound; }

// Value types, numbered as Windows numbers them (REG_SZ, REG_DWORD ...).
enum class RegType : uint32_t {
  None = 0,
  String = 1,        // REG_SZ
  ExpandString = 2,  // REG_EXPAND_SZ
  Binary = 3,        // REG_BINARY
  Dword = 4,         // REG_DWORD (little-endian 32 bits)
  MultiString = 7,   // REG_MULTI_SZ
  Qword = 11,        // REG_QWORD
};

class Registry {
 public:
  virtual ~Registry() = default;

  // Success when the key exists and can be opened for reading and writing
  // ("the key can be opened"). Missing: kErrFileNotFound.
  virtual Status OpenKey(const std::string& path) = 0;

  // Stores the names of the key's direct subkeys in *names, in the order the
  // system enumerates them (Windows and Wine list them sorted without regard
  // to case; the in-memory registry does the same). On failure *names is
  // empty. Missing key: kErrFileNotFound.
  virtual Status ListSubkeys(const std::string& path, std::vector<std::string>* names) = 0;

  // Reads a text value (REG_SZ or REG_EXPAND_SZ, not expanded) into *value,
  // without its terminating zero and cut at the first zero byte. A missing key
  // or value: kErrFileNotFound with *value empty. A value of another type:
  // kErrUnsupportedType with *value empty.
  virtual Status ReadString(const std::string& path, const std::string& name, std::string* value) = 0;

  // Reads a REG_DWORD value into *value. Missing key or value:
  // kErrFileNotFound; another type: kErrUnsupportedType; *value is 0 on
  // failure.
  virtual Status ReadDword(const std::string& path, const std::string& name, uint32_t* value) = 0;

  // Creates or replaces a value of an existing key (REG_SZ / REG_DWORD). The
  // value keeps the spelling of its name when it already exists. A missing
  // key: kErrFileNotFound, and nothing is created.
  virtual Status WriteString(const std::string& path, const std::string& name, const std::string& value) = 0;
  virtual Status WriteDword(const std::string& path, const std::string& name, uint32_t value) = 0;

  // Deletes the key with every key and value below it, subkeys depth first,
  // then the key itself. A missing key: kErrFileNotFound. On another failure
  // part of the tree may be gone already. REQUIRES: path is not empty.
  virtual Status DeleteTree(const std::string& path) = 0;

  // Lists the key's values: names (as stored) and types, in the system's
  // order. For tests and diagnostics.
  struct ValueInfo {
    std::string name;
    RegType type = RegType::None;
  };
  virtual Status ListValues(const std::string& path, std::vector<ValueInfo>* values) = 0;
};

// The machine's own registry: the Win32 one on Windows (32-bit view). Not
// available on POSIX, where it returns nullptr. Never destroyed.
Registry* SystemRegistry();

}  // namespace kx::platform
