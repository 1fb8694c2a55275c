// The registry contract, run over the in-memory registry and, on Windows, over
// the system registry (32-bit view) filled with the same keys. Also the .reg
// reader and writer.
#include <gtest/gtest.h>

#include <functional>

#include "platform/memory_registry.h"
#include "platform/registry.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kx::platform {
namespace {

const char kRoot[] = "Software\\Kx Registry Test";

const char kRegText[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test]\r\n"
    "\"VAVU_FULLPATH\"=\"C:\\\\KX\\\\Panel\\\\\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test\\VAVU_1A2B3C4D1FC7D73B]\r\n"
    "\"VAVU_FULLPATH\"=\"C:\\\\KX\\\\Panel\\\\VAVU.EXE\"\r\n"
    "\"SECCIONES\"=dword:0000000c\r\n"
    "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
    "@=\"default value\"\r\n"
    "\"Bin\"=hex:01,02,03,\\\r\n"
    "  04,05\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test\\VAVU_1A2B3C4D1FC7D73B\\Gestion_ABC\\Aplicacion01]\r\n"
    "\"Ruta\"=\"C:\\\\Apps\\\\Gestion\\\\APP.EXE\"\r\n"
    "\"RutaIcono\"=hex(2):43,00,3a,00,5c,00,00,00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test\\VAVU_1A2B3C4D1FC7D73B\\Gestion_ABC\\Aplicacion01\\Deep]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test\\VAVU_1A2B3C4D1FC7D73B\\Tipo_X\\Aplicacion01]\r\n"
    "\"Ruta\"=dword:00000001\r\n"
    // Names chosen to tell the orders apart: case, '_' against letters, accents.
    "[HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test\\Otra]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test\\vavu_x]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test\\VAVUA]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test\\vavu_B]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test\\Zeta]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test\\\xE1" "baco]\r\n"  // ábaco
    "[HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test\\Abaco]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test\\a b]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test\\[x]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test\\Gone]\r\n"
    "[-HKEY_LOCAL_MACHINE\\Software\\Kx Registry Test\\Gone]\r\n";

std::string P(const std::string& rel) { return rel.empty() ? std::string(kRoot) : std::string(kRoot) + "\\" + rel; }

// The contract: every implementation answers these alike.
void CheckContract(Registry* r) {
  std::vector<std::string> names;
  ASSERT_TRUE(r->ListSubkeys(std::string("\\") + kRoot + "\\", &names).ok());
  // Sorted without regard to case by lower-case code, as Wine lists them:
  // '[' and '_' before the letters, the accented letter after z.
  EXPECT_EQ(names, (std::vector<std::string>{"[x", "a b", "Abaco", "Otra", "VAVU_1A2B3C4D1FC7D73B", "vavu_B",
                                             "vavu_x", "VAVUA", "Zeta", "\xE1" "baco"}));

  std::string s;
  uint32_t d = 7;
  const std::string panel = P("VAVU_1A2B3C4D1FC7D73B");
  EXPECT_TRUE(r->OpenKey(panel).ok());
  EXPECT_TRUE(r->OpenKey(P("vavu_1a2b3c4d1fc7d73b")).ok());  // names without regard to case
  EXPECT_TRUE(IsMissing(r->OpenKey(P("Nope"))));
  ASSERT_TRUE(r->ReadString(panel, "vavu_fullpath", &s).ok());
  EXPECT_EQ(s, "C:\\KX\\Panel\\VAVU.EXE");
  ASSERT_TRUE(r->ReadString(panel, "Quote", &s).ok());
  EXPECT_EQ(s, "say \"hi\"");
  ASSERT_TRUE(r->ReadString(panel, "", &s).ok());
  EXPECT_EQ(s, "default value");
  ASSERT_TRUE(r->ReadDword(panel, "SECCIONES", &d).ok());
  EXPECT_EQ(d, 12u);
  ASSERT_TRUE(r->ReadString(P("VAVU_1A2B3C4D1FC7D73B\\Gestion_ABC\\Aplicacion01"), "RutaIcono", &s).ok());
  EXPECT_EQ(s, "C:\\");  // expandable text reads as text, not expanded

  // Missing key, missing value and wrong type are three different answers.
  Status st = r->ReadString(P("Nope"), "Ruta", &s);
  EXPECT_TRUE(IsMissing(st));
  st = r->ReadString(panel, "Nope", &s);
  EXPECT_TRUE(IsMissing(st));
  st = r->ReadString(P("VAVU_1A2B3C4D1FC7D73B\\Tipo_X\\Aplicacion01"), "Ruta", &s);
  EXPECT_EQ(st.code(), kErrUnsupportedType);
  EXPECT_EQ(s, "");
  st = r->ReadDword(panel, "VAVU_FULLPATH", &d);
  EXPECT_EQ(st.code(), kErrUnsupportedType);
  EXPECT_EQ(d, 0u);
  EXPECT_TRUE(IsMissing(r->ListSubkeys(P("Nope"), &names)));
  EXPECT_TRUE(names.empty());

  // Writes change existing keys only.
  ASSERT_TRUE(r->WriteDword(panel, "secciones", 2500).ok());
  ASSERT_TRUE(r->ReadDword(panel, "SECCIONES", &d).ok());
  EXPECT_EQ(d, 2500u);
  ASSERT_TRUE(r->WriteString(panel, "SECCIONES_ACTUALES", "x").ok());
  ASSERT_TRUE(r->WriteDword(panel, "SECCIONES_ACTUALES", 3).ok());  // a value changes type when rewritten
  ASSERT_TRUE(r->ReadDword(panel, "SECCIONES_ACTUALES", &d).ok());
  EXPECT_EQ(d, 3u);
  EXPECT_TRUE(IsMissing(r->WriteDword(P("Nope"), "SECCIONES", 1)));
  EXPECT_TRUE(IsMissing(r->WriteString(P("Nope"), "X", "y")));
  EXPECT_TRUE(IsMissing(r->OpenKey(P("Nope"))));  // and created nothing

  // A tree goes with everything below it; its siblings stay.
  ASSERT_TRUE(r->DeleteTree(P("VAVU_1A2B3C4D1FC7D73B\\gestion_abc")).ok());
  EXPECT_TRUE(IsMissing(r->OpenKey(P("VAVU_1A2B3C4D1FC7D73B\\Gestion_ABC\\Aplicacion01\\Deep"))));
  ASSERT_TRUE(r->ListSubkeys(panel, &names).ok());
  EXPECT_EQ(names, std::vector<std::string>{"Tipo_X"});
  EXPECT_TRUE(IsMissing(r->DeleteTree(P("VAVU_1A2B3C4D1FC7D73B\\Gestion_ABC"))));
  EXPECT_TRUE(r->OpenKey(panel).ok());
}

TEST(MemoryRegistry, KeepsTheContract) {
  MemoryRegistry r;
  ASSERT_TRUE(r.LoadRegText(kRegText).ok());
  CheckContract(&r);
}

TEST(MemoryRegistry, ReadsRegFilesInEveryEncodingAndWritesThemBack) {
  MemoryRegistry a;
  ASSERT_TRUE(a.LoadRegText(kRegText).ok());
  RegType type;
  std::string bytes;
  ASSERT_TRUE(a.GetRawValue(P("VAVU_1A2B3C4D1FC7D73B"), "Bin", &type, &bytes).ok());
  EXPECT_EQ(type, RegType::Binary);
  EXPECT_EQ(bytes, std::string("\x01\x02\x03\x04\x05"));
  EXPECT_TRUE(IsMissing(a.OpenKey(P("Gone"))));

  // UTF-16 with a byte-order mark (what `reg export` writes) and back.
  std::string utf16 = a.ExportRegText(kRoot, true);
  ASSERT_GE(utf16.size(), 2u);
  EXPECT_EQ(utf16.substr(0, 2), "\xFF\xFE");
  MemoryRegistry b;
  ASSERT_TRUE(b.LoadRegText(utf16).ok());
  EXPECT_EQ(b.ExportRegText(kRoot, false), a.ExportRegText(kRoot, false));
  std::vector<std::string> names;
  ASSERT_TRUE(b.ListSubkeys(kRoot, &names).ok());
  EXPECT_EQ(names.back(), "\xE1" "baco");  // the accent survived both conversions

  // REGEDIT4, plain code-page bytes.
  MemoryRegistry c;
  ASSERT_TRUE(c.LoadRegText("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\A\xF1o]\r\n\"T\"=\"a\\\\b\"\r\n"
                            "\"N\"=dword:ffffffff\r\n\"T\"=-\r\n\"U\"=\"\xE9\"\r\n").ok());
  uint32_t d = 0;
  ASSERT_TRUE(c.ReadDword("Software\\A\xF1o", "N", &d).ok());
  EXPECT_EQ(d, 0xFFFFFFFFu);
  std::string s;
  EXPECT_TRUE(IsMissing(c.ReadString("Software\\A\xF1o", "T", &s)));  // "T"=- removed it
  ASSERT_TRUE(c.ReadString("software\\A\xD1O", "U", &s).ok());
  EXPECT_EQ(s, "\xE9");

  // Bad input names its line; other roots are refused.
  struct Bad {
    const char* text;
    const char* line;
  } bad[] = {{"not a reg file\r\n", "line 1"},
             {"REGEDIT4\r\n[HKEY_CURRENT_USER\\Software]\r\n", "line 2"},
             {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\S]\r\n\"x\"=dword:zz\r\n", "line 3"},
             {"REGEDIT4\r\n\"x\"=\"outside\"\r\n", "line 2"}};
  for (const Bad& b2 : bad) {
    MemoryRegistry m;
    Status st = m.LoadRegText(b2.text);
    EXPECT_FALSE(st.ok()) << b2.text;
    EXPECT_NE(st.message().find(b2.line), std::string::npos) << st.message();
  }
}

#ifdef _WIN32
// Copies a memory registry's tree into the system registry with the Win32
// API (the interface itself never creates keys).
void CopyToSystem(MemoryRegistry* m, const std::string& path) {
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                            nullptr, &h, nullptr),
            ERROR_SUCCESS)
      << path;
  std::vector<Registry::ValueInfo> values;
  ASSERT_TRUE(m->ListValues(path, &values).ok());
  for (const Registry::ValueInfo& v : values) {
    RegType type;
    std::string bytes;
    ASSERT_TRUE(m->GetRawValue(path, v.name, &type, &bytes).ok());
    RegSetValueExA(h, v.name.c_str(), 0, static_cast<DWORD>(type), reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
  }
  RegCloseKey(h);
  std::vector<std::string> names;
  ASSERT_TRUE(m->ListSubkeys(path, &names).ok());
  for (const std::string& n : names) CopyToSystem(m, path + "\\" + n);
}

TEST(SystemRegistry, KeepsTheContractThroughThe32BitView) {
  Registry* sys = SystemRegistry();
  ASSERT_NE(sys, nullptr);
  sys->DeleteTree(kRoot);
  MemoryRegistry m;
  ASSERT_TRUE(m.LoadRegText(kRegText).ok());
  CopyToSystem(&m, kRoot);
  // The 64-bit view does not see it: the keys live where a 32-bit program
  // reads them.
  HKEY h = nullptr;
  LONG r64 = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRoot, 0, KEY_READ | KEY_WOW64_64KEY, &h);
  if (r64 == ERROR_SUCCESS) RegCloseKey(h);
  EXPECT_EQ(r64, ERROR_FILE_NOT_FOUND);
  CheckContract(sys);
  ASSERT_TRUE(sys->DeleteTree(kRoot).ok());
  EXPECT_TRUE(IsMissing(sys->OpenKey(kRoot)));
}
#endif

}  // namespace
}  // namespace kx::platform
