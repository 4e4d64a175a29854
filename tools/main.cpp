// quillmarch: renders the strip wipe over an image, as the module does.
// Every failure ends here with one message and status 2.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "tools/commands.h"
#include "tools/image_io.h"
#include "tools/options.h"

int main(int argc, char** argv) {
  using namespace quillmarch::tool;
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    const ParsedCommandLine parsed = ParseCommandLine(args);
    if (!parsed.options) {
      std::fputs(parsed.help.c_str(), stdout);
      return 0;
    }
    InstallInterruptCleanup();
    RunCommand(*parsed.options, stdout, stderr);
    return 0;
  } catch (const ToolError& error) {
    std::fprintf(stderr, "quillmarch: error: %s\n", error.what());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "quillmarch: error: out of memory\n");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quillmarch: error: %s\n", error.what());
  }
  return 2;
}
