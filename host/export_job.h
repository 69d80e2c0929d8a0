// One export: import a file, build the scene objects, call the plug-in, and
// put the result at its output path.
//
// The output appears only when the export succeeded: the plug-in writes a
// temporary file beside the output, which is renamed over it at the end, so
// a failed export leaves neither a partial file nor a damaged older one.
#ifndef KIN_HOST_EXPORT_JOB_H_
#define KIN_HOST_EXPORT_JOB_H_

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "host/export_options.h"
#include "host/importer.h"
#include "host/plugin_loader.h"

namespace kin::host {

struct JobResult {
  std::string input;
  std::string output;
  int exitCode = 0;                   // kin exit code; 0 on success
  std::string error;                  // the reason, when it failed
  std::vector<std::string> warnings;  // what was lost or assumed
  std::string animation;              // the exported animation's name
  int bones = 0;
  int64_t frames = 0;
};

// Shared by the jobs of one run; the counters feed the progress line.
struct JobContext {
  const Importer* importer = nullptr;
  const Plugin* plugin = nullptr;
  std::atomic<int64_t>* framesPosed = nullptr;  // may be null
  std::atomic<int64_t>* framesTotal = nullptr;  // may be null
};

// Exports `input` to `output` as `options` say. Never throws: every failure
// is a `JobResult` with the exit code and a reason. Safe on untrusted files.
JobResult RunExportJob(const ExportOptions& options, const std::string& input,
                       const std::string& output, const JobContext& context);

// The output path of each input: `options.output` itself when it names a
// file (one input only), else `<stem>.<extension in lower case>` in that
// directory, or in the current directory when it is empty. Returns false
// and sets `*error` when a file output is given for several inputs or two
// inputs would write the same file.
bool ResolveOutputPaths(const ExportOptions& options,
                        const std::string& extension,
                        std::vector<std::string>* outputs, std::string* error);

// Reads `input` and describes its animations, one line each (index, name,
// duration, rate, channels). Returns the exit code; on failure `*error`.
int ListAnimations(const Importer& importer, const std::string& input,
                   std::string* listing, std::string* error);

// Finds the animation named or numbered by `selector` (empty: the first).
// Returns -1 and sets `*error` when there is no such animation.
int SelectAnimation(const SourceScene& scene, const std::string& selector,
                    std::string* error);

}  // namespace kin::host

#endif  // KIN_HOST_EXPORT_JOB_H_
