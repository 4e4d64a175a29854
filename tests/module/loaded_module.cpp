#include "tests/module/loaded_module.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace quillmarch::module_test {

namespace {

// CTest hands over the build's own path. Under Wine, drive Z: is the Unix
// root, so a Unix path only needs the drive and Windows separators.
std::string WindowsPath(const std::string& path) {
  std::string result = path;
  if (!result.empty() && result.front() == '/') result = "Z:" + result;
  for (char& c : result) {
    if (c == '/') c = '\\';
  }
  return result;
}

}  // namespace

bool LoadedModule::Load(const std::string& path, std::string& error) {
  const std::string windows_path = WindowsPath(path);
  // LOAD_WITH_ALTERED_SEARCH_PATH: any DLL the module needed would be looked
  // for beside it, as the host's loader does for plug-ins in their folders.
  handle_ = LoadLibraryExA(windows_path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (handle_ == nullptr) {
    error = "LoadLibrary(" + windows_path + ") failed, error " + std::to_string(GetLastError());
    return false;
  }
  // GetProcAddress returns a generic FARPROC; the host casts it to the entry
  // point's type in the same way.
  FARPROC proc = GetProcAddress(handle_, "EntryPointFunc");
  if (proc == nullptr) {
    error = "the module exports no EntryPointFunc";
    return false;
  }
  entry_ = reinterpret_cast<PF_EntryPointFunc>(reinterpret_cast<void*>(proc));
  return true;
}

void LoadedModule::Unload() {
  if (handle_ != nullptr) FreeLibrary(handle_);
  handle_ = nullptr;
  entry_ = nullptr;
}

LoadedModule& TheModule() {
  static LoadedModule module;
  return module;
}

}  // namespace quillmarch::module_test

// The module's path comes as the one argument that GoogleTest leaves.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s [gtest options] PATH_TO_Quillmarch.aex\n", argv[0]);
    return 2;
  }
  std::string error;
  if (!quillmarch::module_test::TheModule().Load(argv[1], error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const int result = RUN_ALL_TESTS();
  // Unloading must work too: the host unloads plug-ins it no longer needs.
  quillmarch::module_test::TheModule().Unload();
  return result;
}
