// The outcome of one step inside the table engine: what went wrong, in the
// engine's numbering and the system's, and a text that names the cause. The
// work areas turn a fault into an error record for the handler.
#pragma once

#include <cstdint>
#include <string>

namespace kx::tables {

struct Fault {
  int engine = 0;         // EngineError number; 0 for success
  uint32_t os_code = 0;   // Windows error code of a failed file call, else 0
  std::string file;       // the file concerned
  std::string what;       // what is wrong, as the description shows it

  bool ok() const { return engine == 0; }
  static Fault Ok() { return {}; }
};

// The engine number for a failed file open or create with Windows code `os`.
int EngineNumberForOpen(uint32_t os);

// Little- and big-endian integers in file images.
inline uint32_t GetLe32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t GetLe16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t GetBe32(const unsigned char* p) {
  return uint32_t(p[3]) | uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[0]) << 24;
}
inline uint16_t GetBe16(const unsigned char* p) { return uint16_t(p[1] | p[0] << 8); }
inline void PutLe32(unsigned char* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
inline void PutLe16(unsigned char* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void PutBe32(unsigned char* p, uint32_t v) {
  p[3] = uint8_t(v);
  p[2] = uint8_t(v >> 8);
  p[1] = uint8_t(v >> 16);
  p[0] = uint8_t(v >> 24);
}
inline void PutBe16(unsigned char* p, uint16_t v) {
  p[1] = uint8_t(v);
  p[0] = uint8_t(v >> 8);
}

}  // namespace kx::tables
