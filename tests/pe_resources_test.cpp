#include "pages/pe_resources.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

namespace pages {
namespace {

std::uint32_t Get32(const std::string& f, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(f[at + i]);
  return v;
}

void Put16(std::string& f, std::size_t at, std::uint16_t v) {
  f[at] = static_cast<char>(v & 0xFF);
  f[at + 1] = static_cast<char>(v >> 8);
}

void Put32(std::string& f, std::size_t at, std::uint32_t v) {
  Put16(f, at, static_cast<std::uint16_t>(v & 0xFFFF));
  Put16(f, at + 2, static_cast<std::uint16_t>(v >> 16));
}

// The library of tests/dlls/pages.rc as the MinGW tools build it, 32- or
// 64-bit; empty when it cannot be read.
std::string ReadTestDll(const char* bits) {
  gchar* contents = nullptr;
  gsize length = 0;
  const std::string path = std::string(TEST_DLL_DIR "/pages-") + bits + ".dll";
  if (!g_file_get_contents(path.c_str(), &contents, &length, nullptr)) return {};
  std::string bytes(contents, length);
  g_free(contents);
  return bytes;
}

// Where the parts of a DLL built by the MinGW tools lie: the resource
// table is the section ".rsrc", and the first entry of each level leads to
// the first resource.
struct Layout {
  std::size_t pe = 0;          // "PE\0\0"
  std::size_t optional = 0;    // the optional header
  std::size_t directory = 0;   // data directory 2: the resource table's RVA and size
  std::size_t root = 0;        // the resource table in the file
  std::size_t type_entry = 0;  // the first entry of each level, as file offsets
  std::size_t name_entry = 0;
  std::size_t language_entry = 0;
  std::size_t data_entry = 0;

  explicit Layout(const std::string& f) {
    pe = Get32(f, 0x3C);
    optional = pe + 24;
    const bool plus = f[optional] == 0x0B && f[optional + 1] == 0x02;
    directory = optional + (plus ? 112 : 96) + 2 * 8;
    const std::size_t section = f.find(std::string(".rsrc\0\0\0", 8));
    root = Get32(f, section + 20);
    type_entry = root + 16;
    name_entry = root + (Get32(f, type_entry + 4) & 0x7FFFFFFF) + 16;
    language_entry = root + (Get32(f, name_entry + 4) & 0x7FFFFFFF) + 16;
    data_entry = root + Get32(f, language_entry + 4);
  }
  std::size_t count_of_rva_and_sizes() const { return directory - 4 - 2 * 8; }
};

// Damaged copies of a good DLL, each fails to parse: a medium may carry any
// of them, and none may be read outside the file or keep the reader busy.
TEST(PeResources, DamagedFilesDoNotParse) {
  using Mutation = std::function<void(std::string&, const Layout&)>;
  const std::pair<const char*, Mutation> damaged[] = {
      {"empty", [](std::string& f, const Layout&) { f.clear(); }},
      {"DOS header cut short", [](std::string& f, const Layout&) { f.resize(0x3E); }},
      {"PE header past the end", [](std::string& f, const Layout&) { Put32(f, 0x3C, 0xFFFFFFF0); }},
      {"no PE signature", [](std::string& f, const Layout& l) { f[l.pe + 1] = 'X'; }},
      {"cut inside the PE header", [](std::string& f, const Layout& l) { f.resize(l.pe + 30); }},
      {"unknown optional header", [](std::string& f, const Layout& l) { Put16(f, l.optional, 0x107); }},
      {"optional header past the end", [](std::string& f, const Layout& l) { Put16(f, l.pe + 20, 0xFFFF); }},
      {"no resource directory slot",
       [](std::string& f, const Layout& l) { Put32(f, l.count_of_rva_and_sizes(), 2); }},
      {"no resource table", [](std::string& f, const Layout& l) { Put32(f, l.directory, 0); }},
      {"cut inside the section table",
       [](std::string& f, const Layout& l) { f.resize(l.optional + (Get32(f, l.pe + 20) & 0xFFFF) + 20); }},
      {"more sections than Windows loads",
       [](std::string& f, const Layout& l) { Put16(f, l.pe + 6, 0xFFFF); }},
      {"resource table in no section",
       [](std::string& f, const Layout& l) { Put32(f, l.directory, 0x7FFFF000); }},
      {"cut inside the resource table", [](std::string& f, const Layout& l) { f.resize(l.root + 40); }},
      {"more entries than the table holds",
       [](std::string& f, const Layout& l) { Put16(f, l.root + 14, 0xFFFF); }},
      {"a type that loops to the root",
       [](std::string& f, const Layout& l) { Put32(f, l.type_entry + 4, 0x80000000); }},
      {"a directory outside the table",
       [](std::string& f, const Layout& l) { Put32(f, l.type_entry + 4, 0xFFFFFFF0); }},
      {"a language level nested deeper",
       [](std::string& f, const Layout& l) { Put32(f, l.language_entry + 4, 0x80000000); }},
      {"a name level without languages",
       [](std::string& f, const Layout& l) { Put32(f, l.name_entry + 4, Get32(f, l.language_entry + 4)); }},
      {"a data entry outside the table",
       [](std::string& f, const Layout& l) { Put32(f, l.language_entry + 4, 0x7FFFFFF8); }},
      {"data outside the file", [](std::string& f, const Layout& l) { Put32(f, l.data_entry, 0xFFFFFF00); }},
      {"data larger than the file",
       [](std::string& f, const Layout& l) { Put32(f, l.data_entry + 4, 0x7FFFFFFF); }},
      {"a type name outside the table",
       [](std::string& f, const Layout& l) { Put32(f, l.type_entry, 0xFFFFFFF0); }},
      {"a type name longer than the table",
       [](std::string& f, const Layout& l) {
         Put16(f, l.root + (Get32(f, l.type_entry) & 0x7FFFFFFF), 0xFFFF);
       }},
  };
  for (const char* bits : {"32", "64"}) {
    const std::string good = ReadTestDll(bits);
    ASSERT_FALSE(good.empty()) << bits;
    const Layout layout(good);
    // The layout holds: the first type has a name ("CSS").
    ASSERT_NE(Get32(good, layout.type_entry) & 0x80000000, 0u);
    std::string error;
    ASSERT_TRUE(PeResources::Parse(good, &error)) << bits << ": " << error;
    for (const auto& [what, mutate] : damaged) {
      std::string bad = good;
      mutate(bad, layout);
      error.clear();
      EXPECT_FALSE(PeResources::Parse(bad, &error)) << bits << ": " << what;
      EXPECT_FALSE(error.empty()) << bits << ": " << what;
    }
  }
}

// Windows tools write the neutral language first; wherever it stands, it
// wins over the others.
TEST(PeResources, TheNeutralLanguageWinsWhereverItStands) {
  for (const char* bits : {"32", "64"}) {
    std::string dll = ReadTestDll(bits);
    ASSERT_FALSE(dll.empty()) << bits;
    // The one directory of three languages: HTML_GREETING in neutral, German
    // and French. The neutral one moves second.
    const std::size_t languages = dll.find(std::string(12, '\0') + std::string("\0\0\3\0", 4));
    ASSERT_NE(languages, std::string::npos);
    ASSERT_EQ(Get32(dll, languages + 16), 0u);
    ASSERT_EQ(Get32(dll, languages + 24), 0x407u);
    Put32(dll, languages + 16, 0x407);
    Put32(dll, languages + 24, 0);
    std::string error;
    const auto parsed = PeResources::Parse(dll, &error);
    ASSERT_TRUE(parsed) << error;
    const PeResources::Entry* greeting = parsed->Find("HTML_GREETING");
    ASSERT_TRUE(greeting);
    EXPECT_NE(parsed->Data(*greeting).find("Hallo"), std::string::npos) << bits;
  }
}

}  // namespace
}  // namespace pages
