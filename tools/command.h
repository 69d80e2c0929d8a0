// What every subcommand of `kin` shares: the exit codes and how a command
// ends with one.
//
// Each subcommand lives in its own <name>_command.cpp and is registered by
// `main.cpp` through its `Add<Name>Command(CLI::App&)`. A command's
// callback does its work, writes reports to stdout and problems to stderr,
// then calls `FinishCommand` with its exit code.
#ifndef KIN_TOOLS_COMMAND_H_
#define KIN_TOOLS_COMMAND_H_

#include <CLI/CLI.hpp>

#include "host/exit_codes.h"

namespace kin::tools {

// The exit codes, one list for every subcommand.
using kin::kExitIo;     // a file is missing or unreadable, or output failed
using kin::kExitOk;     // all well (warnings allowed)
using kin::kExitUsage;  // bad command line
inline constexpr int kExitInvalid =
    kin::kExitInvalidInput;  // breaks the format

// Ends the running command with `code`: `main` returns it. For a non-zero
// code it throws CLI::RuntimeError, which `main` catches.
void FinishCommand(int code);

// Combines the outcomes of several files: any I/O failure gives kExitIo,
// else any invalid file kExitInvalid, else kExitOk.
int WorstExit(int a, int b);

// The subcommands.
void AddInfoCommand(CLI::App& app);
void AddDumpCommand(CLI::App& app);
void AddValidateCommand(CLI::App& app);

}  // namespace kin::tools

#endif  // KIN_TOOLS_COMMAND_H_
