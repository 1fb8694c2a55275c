// mkinstall ROOT [--companies N] [--journal-rows N] [--seed S]
// Writes a sample installation under ROOT and prints the drive mapping the
// Linux updater needs to find the accounting journals.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/cp1252.h"
#include "platform/system.h"
#include "tools/mkinstall/mkinstall.h"

int main(int argc, char** argv) {
  std::string root;
  kx::mkinstall::Options opt;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto number = [&](long* value) {
      if (i + 1 >= argc) return false;
      char* end = nullptr;
      *value = std::strtol(argv[++i], &end, 10);
      return end && *end == '\0' && *value >= 0;
    };
    long v = 0;
    if (a == "--companies") {
      if (!number(&v) || v > 999) { std::fprintf(stderr, "mkinstall: --companies takes 0..999\n"); return 2; }
      opt.companies = static_cast<int>(v);
    } else if (a == "--journal-rows") {
      if (!number(&v) || v > 10000000) { std::fprintf(stderr, "mkinstall: --journal-rows takes a count\n"); return 2; }
      opt.journal_rows = static_cast<int>(v);
    } else if (a == "--seed") {
      if (!number(&v)) { std::fprintf(stderr, "mkinstall: --seed takes a number\n"); return 2; }
      opt.seed = static_cast<uint32_t>(v);
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "mkinstall: unknown option %s\n", a.c_str());
      return 2;
    } else if (root.empty()) {
      root = a;
    } else {
      std::fprintf(stderr, "mkinstall: one ROOT only\n");
      return 2;
    }
  }
  if (root.empty()) {
    std::fprintf(stderr, "usage: mkinstall ROOT [--companies N] [--journal-rows N] [--seed S]\n");
    return 2;
  }
  if (root[0] != '/' && !(root.size() > 1 && root[1] == ':')) {
    std::string cwd = kx::platform::CurrentFolder();
    root = cwd + (cwd.empty() || cwd.back() == '/' || cwd.back() == '\\' ? "" : "/") + root;
  }
  kx::tables::WorkAreas db;
  kx::platform::FileSystem* fs = db.file_system();
  if (!fs->Exists(root) && !fs->MakeFolder(root).ok()) {
    std::fprintf(stderr, "mkinstall: cannot create %s\n", root.c_str());
    return 1;
  }
  kx::mkinstall::Installation inst;
  std::string error;
  if (!kx::mkinstall::MakeInstallation(db, kx::Utf8ToCp1252(root), opt, &inst, &error)) {
    std::fprintf(stderr, "mkinstall: %s\n", kx::Cp1252ToUtf8(error).c_str());
    return 1;
  }
  std::printf("%s\n", kx::Cp1252ToUtf8(inst.drive_mapping).c_str());
  return 0;
}
