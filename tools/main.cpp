// The `kin` command: registers the subcommands and maps every outcome to
// an exit code (see command.h).
#include <exception>
#include <iostream>

#include "tools/command.h"
#if defined(KIN_HAVE_EXPORT)
#include "tools/export_command.h"
#endif

namespace kin::tools {

void FinishCommand(int code) {
  if (code != kExitOk) throw CLI::RuntimeError(code);
}

int WorstExit(int a, int b) {
  if (a == kExitIo || b == kExitIo) return kExitIo;
  if (a == kExitInvalid || b == kExitInvalid) return kExitInvalid;
  return a != kExitOk ? a : b;
}

}  // namespace kin::tools

int main(int argc, char** argv) {
  using namespace kin::tools;
  CLI::App app{"Exports, reads and checks KIN animation files.", "kin"};
  app.require_subcommand(1);
  app.footer(
      "Example:\n"
      "  kin export walk.bvh && kin validate walk.kin && kin info walk.kin\n"
      "Exit codes: 0 all well, 1 usage, 2 a file could not be read or\n"
      "written, 3 a file is invalid, 4 the export plug-in failed.\n"
      "Run 'kin COMMAND --help' for the options of one command.\n");
  AddInfoCommand(app);
  AddDumpCommand(app);
  AddValidateCommand(app);
  // `export` reports its outcome here instead of through FinishCommand.
  int exportCode = kExitOk;
#if defined(KIN_HAVE_EXPORT)
  kin::AddExportCommand(app, &exportCode);
#endif

  int code = kExitOk;
  try {
    app.parse(argc, argv);
    code = exportCode;
  } catch (const CLI::RuntimeError& error) {
    code = error.get_exit_code();
  } catch (const CLI::ParseError& error) {
    code = app.exit(error) == 0 ? kExitOk : kExitUsage;
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "kin: " << error.what() << "\n";
    code = kExitIo;
  }
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "kin: cannot write to standard output\n";
    code = kExitIo;
  }
  return code;
}
