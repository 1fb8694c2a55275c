// Times the INI work of a full icon-file repair: section counts, access and
// application renumbering (each section moved), DESINSTA rewrites, a flush
// after each step. Runs on the engine and, on Windows, on the profile
// functions, and prints the times and their ratio.
//   bench_ini FOLDER APPS ACCESSES [profile]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "paneltool/ini/ini_file.h"
#include "platform/file_system.h"

using namespace kx;

namespace {

std::string MakeFile(int apps, int accesses) {
  std::string t = "[PANEL]\r\nVAVU_INFO=1A2B3C4D1FC7D73B\r\nSECCIONES=0\r\n";
  // Every third application number is missing, so renumbering moves sections.
  for (int i = 1, n = 1; i <= apps; ++i, n += (i % 3 == 0 ? 2 : 1)) {
    std::string ns = std::to_string(n);
    t += "[PRINCIPAL_" + ns + "]\r\nTITULO=Aplicación " + ns + "\r\nNOMBRE=APP_" + ns + "\r\n";
    for (int j = 1, m = 1; j <= accesses; ++j, m += (j % 4 == 0 ? 2 : 1)) {
      if (m > 50) break;
      t += "[ACCESO" + std::to_string(m) + "_" + ns + "]\r\nTITULO=Acceso\r\nEXE=PROG.EXE\r\nICO=PROG.ICO\r\n"
           "APP_PATH=1\r\nID=1A2B3C4D" + std::to_string(10000000 + m) + "\r\nDESINSTA=Roroz OR\\VAVU_OLD\\APP_" + ns + "\r\n";
    }
  }
  return t;
}

void Move(ini::IniFile& f, const std::string& from, const std::string& to) {
  std::vector<ini::IniPair> pairs;
  for (ini::IniPair& p : f.ReadSectionPairs(from))
    if (!ini::ReadableValue(p.value).empty()) pairs.push_back(std::move(p));
  f.EraseSection(to);
  f.EraseSection(from);
  f.WriteSection(to, pairs);
}

std::string P(int n) { return "PRINCIPAL_" + std::to_string(n); }
std::string A(int m, int n) { return "ACCESO" + std::to_string(m) + "_" + std::to_string(n); }

bool Check(const platform::Status& s) {
  if (!s.ok()) std::fprintf(stderr, "%s\n", s.message().c_str());
  return s.ok();
}

// The repair's INI work with all options.
bool Repair(ini::IniFile& f) {
  int count = 0;
  for (int n = 0; n <= 2500; ++n) count += f.HasSection(P(n));
  if (!Check(f.WriteString("PANEL", "SECCIONES", std::to_string(count))) || !Check(f.Flush())) return false;
  for (int n = 1; n <= 2500; ++n) {
    if (!f.HasSection(P(n))) continue;
    for (int m = 1, k = 1; m <= 50; ++m)
      if (f.HasSection(A(m, n))) Move(f, A(m, n), A(k++, n));
  }
  if (!Check(f.Flush())) return false;
  for (int n = 1, k = 1; n <= 2500; ++n) {
    if (!f.HasSection(P(n))) continue;
    Move(f, P(n), P(k));
    for (int m = 1; m <= 50; ++m)
      if (f.HasSection(A(m, n))) Move(f, A(m, n), A(m, k));
    ++k;
  }
  if (!Check(f.Flush())) return false;
  std::string id = f.ReadString("PANEL", "VAVU_INFO", "");
  for (int n = 1; n <= 2500; ++n) {
    if (!f.HasSection(P(n))) continue;
    std::string nombre = f.ReadString(P(n), "NOMBRE", "");
    for (int m = 1; m <= 50; ++m)
      if (f.HasKey(A(m, n), "DESINSTA"))
        f.WriteString(A(m, n), "DESINSTA", "Roroz OR\\VAVU_" + id + "\\" + nombre);
  }
  return Check(f.Flush());
}

double Run(const std::string& path, const std::string& text, bool profile) {
  platform::WriteWholeFile(platform::DefaultFileSystem(), path, text);
  auto t0 = std::chrono::steady_clock::now();
  std::unique_ptr<ini::IniFile> f;
  if (profile) {
    f = ini::OpenProfileIniFile(path);
    if (!f) return -1;
  } else if (!Check(ini::OpenIniFile(platform::DefaultFileSystem(), path, &f))) {
    return -1;
  }
  if (!Repair(*f)) return -1;
  f.reset();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_ini FOLDER APPS ACCESSES [profile]\n");
    return 2;
  }
  std::string folder = argv[1];
  int apps = std::atoi(argv[2]), accesses = std::atoi(argv[3]);
  bool compare = argc > 4 && std::string(argv[4]) == "profile";
  std::string text = MakeFile(apps, accesses);
  double ours = Run(folder + "/bench_engine.ini", text, false);
  std::printf("engine: %d applications x %d accesses (%zu bytes): %.3f s\n", apps, accesses, text.size(), ours);
  if (ours < 0) return 1;
  if (compare) {
    double theirs = Run(folder + "/bench_profile.ini", text, true);
    if (theirs < 0) {
      std::printf("profile functions: not available here\n");
      return 1;
    }
    std::string a, b;
    platform::ReadWholeFile(platform::DefaultFileSystem(), folder + "/bench_engine.ini", &a);
    platform::ReadWholeFile(platform::DefaultFileSystem(), folder + "/bench_profile.ini", &b);
    std::printf("profile functions: %.3f s; ratio profile/engine: %.1f\n", theirs, theirs / (ours > 0 ? ours : 1e-9));
  }
  return 0;
}
