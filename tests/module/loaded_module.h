// The real Quillmarch.aex, loaded the way the host loads it: LoadLibrary on
// the file, then EntryPointFunc by name. One load serves the whole test
// program; the module keeps no state between calls, so tests cannot leak
// into each other through it.
#pragma once

#include <windows.h>

#include <string>

#include "host/host_interface.h"

namespace quillmarch::module_test {

class LoadedModule {
 public:
  /// Loads the module from `path` (a Windows path, or a Unix path that Wine
  /// reaches through drive Z:). Returns false with a reason in `error`.
  bool Load(const std::string& path, std::string& error);
  void Unload();

  HMODULE handle() const { return handle_; }
  PF_EntryPointFunc entry() const { return entry_; }

 private:
  HMODULE handle_ = nullptr;
  PF_EntryPointFunc entry_ = nullptr;
};

/// The module of this test program, loaded by main() before any test runs.
LoadedModule& TheModule();

}  // namespace quillmarch::module_test
