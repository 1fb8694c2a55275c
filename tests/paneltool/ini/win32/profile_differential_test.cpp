// The engine against the Windows profile functions: the same seeded random
// sequence of reads, writes, section reads and writes and erases over the same
// generated file, every answer compared, then the final files.
//
// Where the system and our rules differ, our rules win; the comparison allows
// for exactly these differences:
//  1. The system rewrites the whole file in its own layout on every write
//     (blank lines dropped, "name=value" without blanks, a blank line before
//     each header, CR LF everywhere). We keep untouched lines byte for byte, so
//     final files are compared in a canonical form: headers and key lines
//     only, names and values trimmed (byte preservation has its own tests).
//  2. Erasing a section or key removes one occurrence per call in the system;
//     the profile-function twin repeats the call until none is left.
//  3. Writing a whole section drops the section's comments and other non-key
//     lines in the system; we keep them (the canonical form leaves them out).
//  4. A written value with trailing blanks reads back with them from the
//     system's cache until the file is read again; we read it trimmed. The
//     sequence writes no such values.
//  5. A value of exactly 2047 characters between quotes reads as 2046 from the
//     system; we return 2047. The sequence has no such value.
//  6. Writing a key whose name stands on a line without '=' turns that line
//     into the key in the system; for us such a line is no key, and the key is
//     appended at the end of its section. The sequence never names such lines.
//  7. Wine matches accented letters of names only in the same case (ÑANDÚ is
//     not ñandú there); the rules fold them, as Windows does. The sequence
//     uses each accented name in one spelling only (ASCII names in several).
#include <gtest/gtest.h>

#include <windows.h>

#include <random>

#include "paneltool/ini/ini_file.h"
#include "paneltool/ini/ini_text.h"
#include "platform/file_system.h"
#include "tests/support/paths.h"

namespace kx::ini {
namespace {

using platform::DefaultFileSystem;

const std::vector<std::string> kSections = {"PANEL",      "Panel",       "panel",     "PRINCIPAL_1", "principal_1",
                                            "PRINCIPAL_2", "PRINCIPAL_3", "ACCESO1_2", "acceso1_2",  "ÑANDÚ",
                                            "EMPTY",      "MISSING"};
const std::vector<std::string> kKeys = {"TITULO", "titulo", "NOMBRE", "EXE", "ICO", "ID", "DESINSTA", "Clave Ñ",
                                        "X"};

std::string Pick(std::mt19937& rng, const std::vector<std::string>& v) { return v[rng() % v.size()]; }

std::string Value(std::mt19937& rng) {
  static const std::vector<std::string> values = {"",          "abc",          "\"quoted\"",      "'single'",
                                                  "\"half",    "a=b",          "C:\\Apps\\X.exe,2", "ÁÉÍ ñ",
                                                  "  lead",    "in  side",     "\"  blanks  \"",  "12345678ABCDEFGH"};
  if (rng() % 40 == 0) return std::string(3000, 'z');
  return Pick(rng, values);
}

std::string Eol(std::mt19937& rng) { return rng() % 4 == 0 ? "\n" : "\r\n"; }

std::string GenerateFile(std::mt19937& rng) {
  std::string out;
  if (rng() % 3 == 0) out += "; made by the test" + Eol(rng) + "stray=before any section" + Eol(rng);
  int sections = 3 + rng() % 6;
  for (int s = 0; s < sections; ++s) {
    out += (rng() % 5 == 0 ? "  [" : "[") + Pick(rng, kSections) + "]" + Eol(rng);
    int lines = rng() % 6;
    for (int l = 0; l < lines; ++l) {
      switch (rng() % 8) {
        case 0: out += Eol(rng); break;
        case 1: out += "; comment " + std::to_string(l) + Eol(rng); break;
        case 2: out += "a line without equals" + Eol(rng); break;
        case 3: out += "  " + Pick(rng, kKeys) + " =  " + Value(rng) + "  " + Eol(rng); break;
        default: out += Pick(rng, kKeys) + "=" + Value(rng) + Eol(rng); break;
      }
    }
  }
  if (rng() % 2 == 0) {  // no final line end
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  }
  return out;
}

// Headers and key lines only, trimmed, CR LF.
std::string Canonical(const std::string& bytes) {
  std::string out;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t nl = bytes.find('\n', pos);
    std::string line = bytes.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    pos = nl == std::string::npos ? bytes.size() : nl + 1;
    ParsedLine p = ParseLine(line);
    if (p.kind == LineKind::Header) out += "[" + p.name + "]\r\n";
    if (p.kind == LineKind::Key) out += p.name + "=" + p.value + "\r\n";
  }
  return out;
}

std::string Join(const std::vector<std::string>& v) {
  std::string s;
  for (const std::string& x : v) s += x + "|";
  return s;
}
std::string Join(const std::vector<IniPair>& v) {
  std::string s;
  for (const IniPair& x : v) s += x.key + "=" + x.value + "|";
  return s;
}

TEST(ProfileDifferential, EngineAnswersAsTheProfileFunctions) {
  std::string folder = kx::test::ScratchFolder("ini/differential");
  ASSERT_EQ(GetACP(), 1252u) << "the generated files are Windows-1252 text";
  int operations = 0;
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    std::string initial = GenerateFile(rng);
    std::string ours_path = folder + "\\ours" + std::to_string(seed) + ".ini";
    std::string theirs_path = folder + "\\theirs" + std::to_string(seed) + ".ini";
    ASSERT_TRUE(platform::WriteWholeFile(DefaultFileSystem(), ours_path, initial).ok());
    ASSERT_TRUE(platform::WriteWholeFile(DefaultFileSystem(), theirs_path, initial).ok());
    std::unique_ptr<IniFile> ours;
    ASSERT_TRUE(OpenIniFile(DefaultFileSystem(), ours_path, &ours).ok());
    std::unique_ptr<IniFile> theirs = OpenProfileIniFile(theirs_path);
    ASSERT_TRUE(theirs);
    for (int step = 0; step < 400; ++step, ++operations) {
      std::string sec = Pick(rng, kSections), key = Pick(rng, kKeys);
      unsigned op = rng() % 100;
      std::string what = "step " + std::to_string(step) + " op " + std::to_string(op) + " [" + sec + "] " + key;
      if (op < 30) {
        EXPECT_EQ(ours->ReadString(sec, key, "dflt"), theirs->ReadString(sec, key, "dflt")) << what;
      } else if (op < 38) {
        EXPECT_EQ(ours->HasSection(sec), theirs->HasSection(sec)) << what;
      } else if (op < 46) {
        EXPECT_EQ(ours->HasKey(sec, key), theirs->HasKey(sec, key)) << what;
      } else if (op < 51) {
        EXPECT_EQ(Join(ours->ReadSectionKeys(sec)), Join(theirs->ReadSectionKeys(sec))) << what;
      } else if (op < 58) {
        EXPECT_EQ(Join(ours->ReadSectionPairs(sec)), Join(theirs->ReadSectionPairs(sec))) << what;
      } else if (op < 61) {
        EXPECT_EQ(Join(ours->ReadSectionNames()), Join(theirs->ReadSectionNames())) << what;
      } else if (op < 83) {
        std::string v = Value(rng);
        EXPECT_TRUE(ours->WriteString(sec, key, v).ok()) << what;
        EXPECT_TRUE(theirs->WriteString(sec, key, v).ok()) << what;
      } else if (op < 88) {
        EXPECT_TRUE(ours->EraseSection(sec).ok());
        EXPECT_TRUE(theirs->EraseSection(sec).ok());
      } else if (op < 93) {
        EXPECT_TRUE(ours->EraseKey(sec, key).ok());
        EXPECT_TRUE(theirs->EraseKey(sec, key).ok());
      } else {
        // A section move as the renumbering does it.
        std::string to = Pick(rng, kSections);
        std::vector<IniPair> a = ours->ReadSectionPairs(sec), b = theirs->ReadSectionPairs(sec);
        EXPECT_EQ(Join(a), Join(b)) << what;
        EXPECT_TRUE(ours->EraseSection(to).ok());
        EXPECT_TRUE(theirs->EraseSection(to).ok());
        EXPECT_TRUE(ours->EraseSection(sec).ok());
        EXPECT_TRUE(theirs->EraseSection(sec).ok());
        EXPECT_TRUE(ours->WriteSection(to, a).ok());
        EXPECT_TRUE(theirs->WriteSection(to, b).ok());
      }
      if (step % 50 == 49) {
        ASSERT_TRUE(ours->Flush().ok());
      }
      if (::testing::Test::HasFailure()) return;
    }
    ASSERT_TRUE(ours->Flush().ok());
    ASSERT_TRUE(theirs->Flush().ok());
    ours.reset();
    theirs.reset();
    std::string a, b;
    ASSERT_TRUE(platform::ReadWholeFile(DefaultFileSystem(), ours_path, &a).ok());
    ASSERT_TRUE(platform::ReadWholeFile(DefaultFileSystem(), theirs_path, &b).ok());
    EXPECT_EQ(Canonical(a), Canonical(b)) << "initial file:\n" << initial;
  }
  EXPECT_EQ(operations, 12 * 400);
}

}  // namespace
}  // namespace kx::ini
