// The exit codes of the `kin` command, shared by every subcommand.
#ifndef KIN_HOST_EXIT_CODES_H_
#define KIN_HOST_EXIT_CODES_H_

namespace kin {

enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 1,         // a malformed command line or option value
  kExitIo = 2,            // a file could not be read or written
  kExitInvalidInput = 3,  // a file was read but its content is unusable
  kExitPlugin = 4,        // the export plug-in could not be loaded or failed
};

}  // namespace kin

#endif  // KIN_HOST_EXIT_CODES_H_
