// The Windows test host: loads kinexport.dll from its own directory and runs
// the named cases against it (all of them when none is named).
//
//   kin_win32_host [--list] [case...]
//
// Prints one line per check and a closing "N passed, N failed" line; exits
// with 0 only when every check passed.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "tests/win32/cases.h"
#include "tests/win32/check.h"
#include "tests/win32/module.h"
#include "tests/win32/temp_dir.h"

int main(int argc, char** argv) {
  using namespace win32_host;
  std::vector<const Case*> selected;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--list") == 0) {
      for (const Case& entry : Cases()) std::printf("%s\n", entry.name);
      return 0;
    }
    const Case* found = nullptr;
    for (const Case& entry : Cases()) {
      if (entry.name == std::string(argv[i])) found = &entry;
    }
    if (found == nullptr) {
      std::fprintf(stderr,
                   "kin_win32_host: no case named \"%s\" (see --list)\n",
                   argv[i]);
      return 2;
    }
    selected.push_back(found);
  }
  if (selected.empty()) {
    for (const Case& entry : Cases()) selected.push_back(&entry);
  }

  Checks checks;
  Module module;
  std::string error;
  if (!checks.That(module.Load(error), "kinexport.dll loads with LoadLibraryA",
                   error) ||
      !checks.That(module.RecordHeap(error),
                   "the module's msvcrt heap imports can be watched", error)) {
    checks.Summary();
    return 1;
  }
  TempDir dir;
  if (!checks.That(dir.ok(), "a temporary directory is created")) {
    checks.Summary();
    return 1;
  }

  for (const Case* entry : selected) {
    std::printf("[%s]\n", entry->name);
    Context context{checks, module, dir};
    try {
      entry->run(context);
    } catch (const std::exception& exception) {
      checks.That(false, std::string(entry->name) + " ran to its end",
                  exception.what());
    }
  }
  checks.Summary();
  return checks.failed() == 0 ? 0 : 1;
}
