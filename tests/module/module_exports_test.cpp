// What the Windows loader sees of the module besides its resources: one
// exported function, found by the name the description resource gives.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/module/loaded_module.h"

namespace quillmarch::module_test {
namespace {

// The names in the loaded image's export directory.
std::vector<std::string> ExportedNames(HMODULE module) {
  const auto* base = reinterpret_cast<const std::uint8_t*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  std::vector<std::string> names;
  if (directory.VirtualAddress == 0) return names;
  const auto* exports =
      reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  const auto* name_offsets = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    names.emplace_back(reinterpret_cast<const char*>(base + name_offsets[i]));
  }
  return names;
}

TEST(ModuleExports, OnlyTheEntryPoint) {
  EXPECT_EQ(ExportedNames(TheModule().handle()), std::vector<std::string>{"EntryPointFunc"});
  EXPECT_NE(TheModule().entry(), nullptr);
}

}  // namespace
}  // namespace quillmarch::module_test
