// The shipped binaries as the loader sees them: Corvalink.dll exports its
// twenty functions under their names and ordinals 1 to 20, and the programs
// import it by ordinal only.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <set>
#include <string>

namespace {

// The build puts the test programs, the DLL and the programs side by side.
std::string BinaryFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

template <typename T>
const T *At(HMODULE module, DWORD rva) {
  return reinterpret_cast<const T *>(reinterpret_cast<const BYTE *>(module) + rva);
}

const IMAGE_DATA_DIRECTORY &Directory(HMODULE module, int index) {
  auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(module);
  return At<IMAGE_NT_HEADERS>(module, static_cast<DWORD>(dos->e_lfanew))->OptionalHeader.DataDirectory[index];
}

const std::map<std::string, DWORD> kExports = {
    {"OpenUsb", 1},          {"WriteUsb", 2},         {"ReadUsb", 3},          {"CloseUsb", 4},
    {"OpenLptW", 5},         {"OpenLptA", 6},         {"WriteLpt", 7},         {"CloseLpt", 8},
    {"OpenComW", 9},         {"OpenComA", 10},        {"ReadCom", 11},         {"WriteCom", 12},
    {"CloseCom", 13},        {"InitNetSev", 14},      {"ConnectNetPort", 15},  {"WriteToNetPort", 16},
    {"ReadFromNetPort", 17}, {"CloseNetPor", 18},     {"CloseNetServ", 19},    {"SendInstruction", 20},
};

struct Imports {
  std::set<DWORD> ordinals;
  std::set<std::string> names;
  bool found = false;
};

// What a program imports from Corvalink.dll, read from its import table.
Imports CorvalinkImportsOf(const std::string &program) {
  Imports result;
  HMODULE image = LoadLibraryExA((BinaryFolder() + program).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (image == nullptr) {
    ADD_FAILURE() << program << " could not be mapped, error " << GetLastError();
    return result;
  }
  const IMAGE_DATA_DIRECTORY &directory = Directory(image, IMAGE_DIRECTORY_ENTRY_IMPORT);
  for (auto *entry = At<IMAGE_IMPORT_DESCRIPTOR>(image, directory.VirtualAddress); entry->Name != 0; ++entry) {
    if (lstrcmpiA(At<char>(image, entry->Name), "Corvalink.dll") != 0) continue;
    result.found = true;
    DWORD lookup = entry->OriginalFirstThunk != 0 ? entry->OriginalFirstThunk : entry->FirstThunk;
    for (auto *thunk = At<IMAGE_THUNK_DATA>(image, lookup); thunk->u1.AddressOfData != 0; ++thunk) {
      if (IMAGE_SNAP_BY_ORDINAL(thunk->u1.Ordinal)) {
        result.ordinals.insert(static_cast<DWORD>(IMAGE_ORDINAL(thunk->u1.Ordinal)));
      } else {
        result.names.insert(At<IMAGE_IMPORT_BY_NAME>(image, static_cast<DWORD>(thunk->u1.AddressOfData))->Name);
      }
    }
  }
  FreeLibrary(image);
  return result;
}

class CorvalinkDll : public ::testing::Test {
 protected:
  void SetUp() override {
    dll_ = LoadLibraryA((BinaryFolder() + "Corvalink.dll").c_str());
    ASSERT_NE(dll_, nullptr) << "error " << GetLastError();
  }
  void TearDown() override {
    if (dll_) FreeLibrary(dll_);
  }
  HMODULE dll_ = nullptr;
};

TEST_F(CorvalinkDll, ExportsExactlyTheTwentyNamesWithTheirOrdinals) {
  const IMAGE_DATA_DIRECTORY &directory = Directory(dll_, IMAGE_DIRECTORY_ENTRY_EXPORT);
  ASSERT_NE(directory.VirtualAddress, 0u);
  auto *exports = At<IMAGE_EXPORT_DIRECTORY>(dll_, directory.VirtualAddress);
  EXPECT_EQ(exports->Base, 1u);
  EXPECT_EQ(exports->NumberOfFunctions, 20u);
  ASSERT_EQ(exports->NumberOfNames, 20u);
  auto *names = At<DWORD>(dll_, exports->AddressOfNames);
  auto *indexes = At<WORD>(dll_, exports->AddressOfNameOrdinals);
  std::map<std::string, DWORD> found;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    found[At<char>(dll_, names[i])] = exports->Base + indexes[i];
  }
  EXPECT_EQ(found, kExports);
}

TEST_F(CorvalinkDll, NameAndOrdinalLeadToTheSameFunction) {
  for (const auto &[name, ordinal] : kExports) {
    FARPROC by_name = GetProcAddress(dll_, name.c_str());
    FARPROC by_ordinal = GetProcAddress(dll_, MAKEINTRESOURCEA(ordinal));
    EXPECT_NE(by_name, nullptr) << name;
    EXPECT_EQ(by_name, by_ordinal) << name;
  }
  EXPECT_EQ(GetProcAddress(dll_, MAKEINTRESOURCEA(21)), nullptr);
  for (const char *name : {"InitNetServ", "CloseNetPort", "OpenUsb@0", "_OpenUsb@0", "WriteUsb@16"}) {
    EXPECT_EQ(GetProcAddress(dll_, name), nullptr) << name;
  }
}

// The serial pipe reads and closes with the USB pipe's routines, exported a
// second time under their own names and ordinals.
TEST_F(CorvalinkDll, ReadComAndCloseComAreTheUsbRoutines) {
  EXPECT_NE(GetProcAddress(dll_, "ReadUsb"), nullptr);
  EXPECT_EQ(GetProcAddress(dll_, "ReadCom"), GetProcAddress(dll_, "ReadUsb"));
  EXPECT_EQ(GetProcAddress(dll_, MAKEINTRESOURCEA(11)), GetProcAddress(dll_, MAKEINTRESOURCEA(3)));
  EXPECT_NE(GetProcAddress(dll_, "CloseUsb"), nullptr);
  EXPECT_EQ(GetProcAddress(dll_, "CloseCom"), GetProcAddress(dll_, "CloseUsb"));
  EXPECT_EQ(GetProcAddress(dll_, MAKEINTRESOURCEA(13)), GetProcAddress(dll_, MAKEINTRESOURCEA(4)));
  // Every other export is a routine of its own.
  std::set<FARPROC> routines;
  for (const auto &[name, ordinal] : kExports) routines.insert(GetProcAddress(dll_, name.c_str()));
  EXPECT_EQ(routines.size(), 18u);
}

TEST(CorvalinkImports, TheDialogImportsOrdinalsOneToFourAndSixToEightOnly) {
  Imports imports = CorvalinkImportsOf("Velloran.exe");
  ASSERT_TRUE(imports.found);
  EXPECT_EQ(imports.ordinals, (std::set<DWORD>{1, 2, 3, 4, 6, 7, 8}));
  EXPECT_TRUE(imports.names.empty());
}

TEST(CorvalinkImports, TheCommandLineToolImportsByOrdinalOnly) {
  Imports imports = CorvalinkImportsOf("velloran-cli.exe");
  ASSERT_TRUE(imports.found);
  EXPECT_FALSE(imports.ordinals.empty());
  for (DWORD ordinal : imports.ordinals) EXPECT_TRUE(ordinal >= 1 && ordinal <= 20) << ordinal;
  EXPECT_TRUE(imports.names.empty());
}

}  // namespace
