// The `kin export` subcommand: registers its options on a CLI11 app and runs
// the exporter host when it is chosen.
#ifndef KIN_TOOLS_EXPORT_COMMAND_H_
#define KIN_TOOLS_EXPORT_COMMAND_H_

#include <CLI/CLI.hpp>

namespace kin {

// Adds the `export` subcommand to `app`. When the subcommand runs (during
// `app.parse`), it stores its exit code in `*exitCode` (0 success, 1 usage,
// 2 I/O, 3 invalid input, 4 plug-in failed or unloadable). `*exitCode` must
// outlive the parse. Option errors CLI11 itself detects throw from `parse`
// as usual; the caller maps them to exit code 1.
void AddExportCommand(CLI::App& app, int* exitCode);

}  // namespace kin

#endif  // KIN_TOOLS_EXPORT_COMMAND_H_
