// Runs `kin export` over many inputs: loads the plug-in once, exports the
// inputs in parallel (each on its own thread with its own scene), reports
// each result as it comes, draws a progress line on a terminal, and ends
// with a summary line.
#ifndef KIN_HOST_EXPORT_RUNNER_H_
#define KIN_HOST_EXPORT_RUNNER_H_

#include <chrono>
#include <ostream>

#include "host/export_options.h"
#include "host/importer.h"

namespace kin::host {

struct RunnerSettings {
  // Draw the progress line on `err` (only when it is a terminal).
  bool progress = false;
  // How long a run goes before the progress line appears, and how often it
  // is redrawn.
  std::chrono::milliseconds progressDelay{500};
  std::chrono::milliseconds progressInterval{200};
};

// Runs `options` with `importer`. Results go to `out` (one line per export
// and the summary, none with `quiet`), warnings and errors to `err` (one
// line each, naming the input; warnings not with `quiet`). Returns the worst
// exit code of all inputs (0 when all succeeded).
int RunExports(const ExportOptions& options, const Importer& importer,
               std::ostream& out, std::ostream& err,
               const RunnerSettings& settings = {});

}  // namespace kin::host

#endif  // KIN_HOST_EXPORT_RUNNER_H_
