#include "host/export_runner.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "host/exit_codes.h"
#include "host/export_job.h"
#include "host/plugin_loader.h"

namespace kin::host {
namespace {

constexpr const char* kPrefix = "kin export: ";

// Serialises everything written to the two streams, so lines from different
// exports and the progress line never interleave.
class Reporter {
 public:
  Reporter(std::ostream& out, std::ostream& err, bool quiet)
      : out_(out), err_(err), quiet_(quiet) {}

  void Result(const JobResult& result) {
    std::lock_guard<std::mutex> lock(mutex_);
    ClearProgress();
    if (!quiet_) {
      for (const std::string& warning : result.warnings) {
        err_ << kPrefix << result.input << ": warning: " << warning << '\n';
      }
    }
    if (result.exitCode != kExitOk) {
      err_ << kPrefix << result.input << ": " << result.error << '\n';
    } else if (!quiet_) {
      out_ << result.input << " -> " << result.output << " (" << result.bones
           << (result.bones == 1 ? " bone, " : " bones, ") << result.frames
           << (result.frames == 1 ? " frame)\n" : " frames)\n");
    }
    err_.flush();
    out_.flush();
  }

  void Error(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    ClearProgress();
    err_ << kPrefix << text << '\n';
    err_.flush();
  }

  void Progress(size_t done, size_t files, int64_t posed, int64_t total) {
    std::lock_guard<std::mutex> lock(mutex_);
    err_ << '\r' << kPrefix << done << '/' << files << " files, " << posed
         << '/' << total << " frames\x1b[K";
    err_.flush();
    drawn_ = true;
  }

  void Finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    ClearProgress();
  }

 private:
  void ClearProgress() {
    if (drawn_) err_ << "\r\x1b[K";
    drawn_ = false;
  }

  std::ostream& out_;
  std::ostream& err_;
  bool quiet_;
  bool drawn_ = false;
  std::mutex mutex_;
};

int ListAll(const ExportOptions& options, const Importer& importer,
            std::ostream& out, Reporter& reporter) {
  int worst = kExitOk;
  for (const std::string& input : options.inputs) {
    std::string listing, error;
    const int code = ListAnimations(importer, input, &listing, &error);
    if (code != kExitOk) {
      reporter.Error(input + ": " + error);
    } else {
      out << listing;
    }
    worst = std::max(worst, code);
  }
  return worst;
}

}  // namespace

int RunExports(const ExportOptions& options, const Importer& importer,
               std::ostream& out, std::ostream& err,
               const RunnerSettings& settings) {
  Reporter reporter(out, err, options.quiet);
  if (options.list) return ListAll(options, importer, out, reporter);

  std::string error;
  const std::unique_ptr<Plugin> plugin =
      Plugin::Load(options.pluginPath, &error);
  if (!plugin) {
    reporter.Error(error);
    return kExitPlugin;
  }
  std::vector<std::string> outputs;
  if (!ResolveOutputPaths(options, plugin->Extension(), &outputs, &error)) {
    reporter.Error(error);
    return kExitUsage;
  }

  const size_t files = options.inputs.size();
  std::atomic<int64_t> framesPosed{0};
  std::atomic<int64_t> framesTotal{0};
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  std::vector<JobResult> results(files);
  const JobContext context{&importer, plugin.get(), &framesPosed, &framesTotal};

  auto work = [&] {
    for (size_t i = next.fetch_add(1); i < files; i = next.fetch_add(1)) {
      results[i] =
          RunExportJob(options, options.inputs[i], outputs[i], context);
      reporter.Result(results[i]);
      done.fetch_add(1);
    }
  };

  // The progress line, redrawn from the counters until the work is done.
  std::mutex progressMutex;
  std::condition_variable progressWake;
  bool finished = false;
  std::thread progressThread;
  if (settings.progress && !options.quiet) {
    try {
      progressThread = std::thread([&] {
        const auto start = std::chrono::steady_clock::now();
        std::unique_lock<std::mutex> lock(progressMutex);
        while (!progressWake.wait_for(lock, settings.progressInterval,
                                      [&] { return finished; })) {
          if (std::chrono::steady_clock::now() - start <
              settings.progressDelay) {
            continue;
          }
          reporter.Progress(done.load(), files, framesPosed.load(),
                            framesTotal.load());
        }
      });
    } catch (const std::system_error&) {
      // No thread for it: the run goes on without a progress line.
    }
  }

  unsigned jobs =
      options.jobs != 0 ? options.jobs : std::thread::hardware_concurrency();
  jobs = static_cast<unsigned>(
      std::clamp<size_t>(jobs, 1, std::max<size_t>(files, 1)));
  std::vector<std::thread> workers;
  for (unsigned i = 1; i < jobs; ++i) {
    try {
      workers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the ones running share the work
    }
  }
  work();
  for (std::thread& worker : workers) worker.join();

  if (progressThread.joinable()) {
    {
      std::lock_guard<std::mutex> lock(progressMutex);
      finished = true;
    }
    progressWake.notify_all();
    progressThread.join();
  }
  reporter.Finish();

  int worst = kExitOk;
  size_t failed = 0;
  for (const JobResult& result : results) {
    worst = std::max(worst, result.exitCode);
    if (result.exitCode != kExitOk) ++failed;
  }
  if (!options.quiet) {
    out << "kin export: " << files - failed << " of " << files
        << (files == 1 ? " file" : " files") << " exported";
    if (failed > 0) out << ", " << failed << " failed";
    out << '\n';
  }
  return worst;
}

}  // namespace kin::host
