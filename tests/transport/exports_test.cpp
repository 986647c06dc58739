// The library as a caller loads it: every name of the module-definition file
// resolves, the ordinals run 1..20 without gaps, and nothing else is
// exported.
#include <dlfcn.h>
#include <elf.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <set>
#include <string>
#include <vector>

namespace {

struct DefExport {
  std::string name;
  int ordinal;
  std::string routine;  // the function exported under this name
};

std::vector<DefExport> ReadDefFile() {
  std::ifstream in(CORVALINK_DEF_FILE);
  std::vector<DefExport> exports;
  std::string line;
  while (std::getline(in, line)) {
    // "    Name @N" and "    Name = Routine @N" lines; the heading lines
    // start in the first column.
    if (line.empty() || (line[0] != ' ' && line[0] != '\t')) continue;
    std::istringstream fields(line);
    std::string name, ordinal, routine;
    if (!(fields >> name >> ordinal)) continue;
    routine = name;
    if (ordinal == "=" && !(fields >> routine >> ordinal)) continue;
    if (ordinal.size() > 1 && ordinal[0] == '@')
      exports.push_back({name, std::stoi(ordinal.substr(1)), routine});
  }
  return exports;
}

// The defined global symbols in the dynamic symbol table of a 64-bit ELF file.
std::set<std::string> DynamicExports(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::set<std::string> names;
  if (image.size() < sizeof(Elf64_Ehdr)) return names;
  const auto *header = reinterpret_cast<const Elf64_Ehdr *>(image.data());
  const auto *sections = reinterpret_cast<const Elf64_Shdr *>(image.data() + header->e_shoff);
  for (int i = 0; i < header->e_shnum; ++i) {
    if (sections[i].sh_type != SHT_DYNSYM) continue;
    const char *strings = image.data() + sections[sections[i].sh_link].sh_offset;
    const auto *symbols = reinterpret_cast<const Elf64_Sym *>(image.data() + sections[i].sh_offset);
    size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
    for (size_t s = 1; s < count; ++s) {
      unsigned bind = ELF64_ST_BIND(symbols[s].st_info);
      if (symbols[s].st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK)) continue;
      names.insert(strings + symbols[s].st_name);
    }
  }
  return names;
}

TEST(CorvalinkExports, DefinitionFileListsTwentyOrdinalsInOrder) {
  std::vector<DefExport> exports = ReadDefFile();
  ASSERT_EQ(exports.size(), 20u);
  for (size_t i = 0; i < exports.size(); ++i) EXPECT_EQ(exports[i].ordinal, static_cast<int>(i + 1));
  // Callers import by ordinal: the places of the USB and parallel-port
  // functions are fixed.
  EXPECT_EQ(exports[0].name, "OpenUsb");
  EXPECT_EQ(exports[3].name, "CloseUsb");
  EXPECT_EQ(exports[5].name, "OpenLptA");
  EXPECT_EQ(exports[7].name, "CloseLpt");
  EXPECT_EQ(exports[13].name, "InitNetSev");
  EXPECT_EQ(exports[17].name, "CloseNetPor");
}

TEST(CorvalinkExports, EveryNameResolvesWithDlopen) {
  void *library = dlopen(CORVALINK_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  for (const DefExport &e : ReadDefFile())
    EXPECT_NE(dlsym(library, e.name.c_str()), nullptr) << e.name;
  EXPECT_EQ(dlsym(library, "InitNetServ"), nullptr);
  EXPECT_EQ(dlsym(library, "CloseNetPort"), nullptr);
  dlclose(library);
}

// The serial pipe reads and closes with the USB pipe's routines, exported a
// second time under their own names.
TEST(CorvalinkExports, ReadComAndCloseComAreTheUsbRoutines) {
  void *library = dlopen(CORVALINK_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  EXPECT_NE(dlsym(library, "ReadUsb"), nullptr);
  EXPECT_EQ(dlsym(library, "ReadCom"), dlsym(library, "ReadUsb"));
  EXPECT_NE(dlsym(library, "CloseUsb"), nullptr);
  EXPECT_EQ(dlsym(library, "CloseCom"), dlsym(library, "CloseUsb"));
  // Every other name is a routine of its own.
  std::set<void *> addresses;
  for (const DefExport &e : ReadDefFile()) {
    if (e.routine == e.name) addresses.insert(dlsym(library, e.name.c_str()));
  }
  EXPECT_EQ(addresses.size(), 18u);
  dlclose(library);
}

TEST(CorvalinkExports, NothingButTheListedFunctionsIsExported) {
  std::set<std::string> listed;
  for (const DefExport &e : ReadDefFile()) listed.insert(e.name);
  std::set<std::string> exported = DynamicExports(CORVALINK_LIBRARY_FILE);
  // Symbol versions show up as absolute names of their own.
  std::erase_if(exported, [](const std::string &n) { return n.empty(); });
  EXPECT_EQ(exported, listed);
}

}  // namespace
