#include "tools/export_command.h"

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "host/assimp_importer.h"
#include "host/exit_codes.h"
#include "host/export_options.h"
#include "host/export_runner.h"

namespace kin {
namespace {

// Larger events files are refused rather than read.
constexpr uintmax_t kMaxEventsFileBytes = 16 << 20;

// The raw text of every option, checked when the subcommand runs so that
// each malformed value gets a message naming it.
struct ExportArguments {
  host::ExportOptions options;
  std::string fps;
  std::string range;
  std::string name;
  bool nameGiven = false;
  std::vector<std::string> events;
  std::string eventsFile;
  std::string valueA = "0";
  std::string valueB = "0";
  std::string space = "parent";
  unsigned jobs = 0;
};

// The directory of the running executable, where the plug-in sits.
std::string ExecutableDirectory() {
  std::vector<char> buffer(4096);
  const ssize_t length =
      readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return ".";
  const std::string path(buffer.data(), static_cast<size_t>(length));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool Usage(const std::string& message, int* exitCode) {
  std::cerr << "kin export: " << message << '\n';
  *exitCode = kExitUsage;
  return false;
}

// Turns the option texts into `options`. Returns false after reporting the
// first bad one and setting `*exitCode`.
bool Finish(ExportArguments& args, int* exitCode) {
  host::ExportOptions& options = args.options;
  std::string error;
  if (!args.fps.empty()) {
    char* end = nullptr;
    const double fps = std::strtod(args.fps.c_str(), &end);
    if (end == args.fps.c_str() || *end != '\0' || !std::isfinite(fps) ||
        fps <= 0 || fps > 1e6) {
      return Usage("--fps '" + args.fps +
                       "': expected a frame rate above 0, such as 30 or "
                       "29.97",
                   exitCode);
    }
    options.fps = fps;
  }
  if (!args.range.empty()) {
    host::FrameRange range;
    if (!host::ParseRange(args.range, &range, &error)) {
      return Usage("--range: " + error, exitCode);
    }
    options.range = range;
  }
  if (args.nameGiven) options.name = args.name;
  for (const std::string& text : args.events) {
    host::EventSpec event;
    if (!host::ParseEvent(text, &event, &error)) {
      return Usage("--event: " + error, exitCode);
    }
    options.events.push_back(std::move(event));
  }
  if (!args.eventsFile.empty()) {
    std::error_code status;
    const bool regular =
        std::filesystem::is_regular_file(args.eventsFile, status);
    const uintmax_t size =
        regular ? std::filesystem::file_size(args.eventsFile, status) : 0;
    if (status || !regular) {
      std::cerr << "kin export: --events: cannot read '" << args.eventsFile
                << "': " << (status ? status.message() : "not a regular file")
                << '\n';
      *exitCode = kExitIo;
      return false;
    }
    if (size > kMaxEventsFileBytes) {
      std::cerr << "kin export: --events: '" << args.eventsFile
                << "' is larger than " << kMaxEventsFileBytes
                << " bytes; an events file is a short list\n";
      *exitCode = kExitInvalidInput;
      return false;
    }
    std::ifstream file(args.eventsFile, std::ios::binary);
    std::ostringstream text;
    if (!file || !(text << file.rdbuf())) {
      std::cerr << "kin export: --events: cannot read '" << args.eventsFile
                << "'\n";
      *exitCode = kExitIo;
      return false;
    }
    if (!host::ParseEventsJson(text.str(), args.eventsFile, &options.events,
                               &error)) {
      std::cerr << "kin export: --events: " << error << '\n';
      *exitCode = kExitInvalidInput;
      return false;
    }
  }
  if (!host::ParseWord(args.valueA, &options.valueA, &error)) {
    return Usage("--value-a: " + error, exitCode);
  }
  if (!host::ParseWord(args.valueB, &options.valueB, &error)) {
    return Usage("--value-b: " + error, exitCode);
  }
  options.space =
      args.space == "model" ? host::Space::kModel : host::Space::kParent;
  options.jobs = args.jobs;
  if (options.pluginPath.empty()) {
    options.pluginPath = ExecutableDirectory() + "/kinexport.so";
  }
  return true;
}

}  // namespace

void AddExportCommand(CLI::App& app, int* exitCode) {
  auto args = std::make_shared<ExportArguments>();
  CLI::App* command = app.add_subcommand(
      "export",
      "Convert animation files (BVH, glTF, FBX, Collada, ...) to "
      "KIN files through the export plug-in");
  command->footer(
      "\nExamples:\n"
      "  kin export walk.bvh                 (writes walk.kin here)\n"
      "  kin export --list hero.fbx\n"
      "  kin export hero.fbx --animation run --fps 60 -o run.kin\n"
      "  kin export clips/*.bvh -o out/ -j 4 --event 12:footstep:1\n"
      "Exit codes: 0 all exported, 1 usage, 2 a file could not be read or\n"
      "written, 3 invalid input, 4 the export plug-in failed.\n");
  command->add_option("inputs", args->options.inputs, "Animation files")
      ->required();
  command->add_option("-o,--output", args->options.output,
                      "Output file (one input) or directory; default: the "
                      "current directory, named INPUT-STEM.kin");
  command->add_flag("--list", args->options.list,
                    "List each file's animations (duration, rate, channels) "
                    "and export nothing");
  command->add_option("--animation", args->options.animation,
                      "The animation to export, by name or index (default: "
                      "the first)");
  command->add_option("--fps", args->fps,
                      "Frames per second (default: the file's own rate, "
                      "else 30)");
  command->add_option("--range", args->range,
                      "Frames FIRST:LAST, both included (default: the whole "
                      "animation)");
  command
      ->add_option("--name", args->name,
                   "Animation name in the file (default: the "
                   "animation's, else the file's stem)")
      ->each([args](const std::string&) { args->nameGiven = true; });
  command->add_option("--event", args->events,
                      "An event FRAME:NAME[:VALUE] (repeatable)");
  command->add_option("--events", args->eventsFile,
                      "Events from a JSON file: [{\"frame\": 10, \"name\": "
                      "\"step\", \"value\": 1}, ...]");
  command->add_option("--value-a", args->valueA,
                      "First opaque word, decimal or 0x hex (default 0)");
  command->add_option("--value-b", args->valueB,
                      "Second opaque word, decimal or 0x hex (default 0)");
  command
      ->add_option("--space", args->space,
                   "Bone transforms relative to the parent bone or to "
                   "the model (default: parent)")
      ->check(CLI::IsMember({"parent", "model"}));
  command
      ->add_option("-j,--jobs", args->jobs,
                   "Exports at once (default: the number of cores)")
      ->check(CLI::Range(1u, 1024u));
  command->add_flag("-q,--quiet", args->options.quiet,
                    "No progress, warnings, results or summary; errors "
                    "only");
  command->add_option("--plugin", args->options.pluginPath,
                      "The export plug-in to load (default: kinexport beside "
                      "the kin executable)");

  command->callback([args, exitCode] {
    if (!Finish(*args, exitCode)) return;
    host::AssimpImporter importer;
    host::RunnerSettings settings;
    settings.progress = isatty(STDERR_FILENO) == 1;
    *exitCode = host::RunExports(args->options, importer, std::cout, std::cerr,
                                 settings);
  });
}

}  // namespace kin
