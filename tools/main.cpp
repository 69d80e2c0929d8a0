// The `kin` command: tools around the KIN animation format.
#include <CLI/CLI.hpp>
#include <iostream>

#include "host/exit_codes.h"
#if defined(KIN_HAVE_EXPORT)
#include "tools/export_command.h"
#endif

int main(int argc, char** argv) {
  CLI::App app{"kin: tools for KIN animation files"};
  app.require_subcommand(1);
  int exitCode = kin::kExitOk;
#if defined(KIN_HAVE_EXPORT)
  kin::AddExportCommand(app, &exitCode);
#endif
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? kin::kExitOk : kin::kExitUsage;
  }
  return exitCode;
}
