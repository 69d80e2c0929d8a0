#include "host/export_job.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <new>
#include <set>
#include <sstream>

#include "host/exit_codes.h"
#include "host/host_scene.h"
#include "host/pose_sampler.h"
#include "host/skeleton_layout.h"

namespace kin::host {
namespace {

namespace fs = std::filesystem;

// Frames per second where neither the option nor the file gives a rate.
constexpr double kDefaultFps = 30;

std::string ErrnoText(int error) {
  char buffer[256];
  // The GNU strerror_r, which is thread-safe and may return a static text.
  return strerror_r(error, buffer, sizeof buffer);
}

JobResult Fail(JobResult result, int code, const std::string& error) {
  result.exitCode = code;
  result.error = error;
  return result;
}

// Bytes of a padded string holding `text`.
int64_t PaddedBytes(const std::string& text) {
  return 4 + (static_cast<int64_t>(text.size()) + 3) / 4 * 4;
}

// The size of the file the module will write, to refuse exports past the
// 2 GiB that its 32-bit sizes can describe before any work is done.
int64_t OutputBytes(const SkeletonLayout& layout, const std::string& name,
                    const std::vector<EventSpec>& events, int64_t frames) {
  int64_t bytes = 12 + 12 + PaddedBytes(name) + 12;  // header, INFO
  bytes += 16;                                       // EVNT
  for (const EventSpec& event : events) bytes += 8 + PaddedBytes(event.name);
  bytes += 12;  // SKEL
  for (const BoneSpec& bone : layout.bones)
    bytes += 16 + PaddedBytes(bone.name);
  bytes += frames * (16 + 28 * static_cast<int64_t>(layout.bones.size()));
  return bytes;
}

// Checks that `input` is a readable regular file (never waiting on a pipe
// or reading a device). Returns an empty string or why not.
std::string CheckReadable(const std::string& input) {
  const int fd = open(input.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return "cannot open: " + ErrnoText(errno);
  struct stat info;
  const bool statted = fstat(fd, &info) == 0;
  close(fd);
  if (statted && S_ISDIR(info.st_mode)) {
    return "cannot open: it is a directory";
  }
  if (!statted || !S_ISREG(info.st_mode)) {
    return "cannot open: not a regular file";
  }
  return "";
}

// Creates an empty temporary file beside `output`, with the permissions a
// new file gets. Returns its path, or an empty path and `*error`.
std::string CreateTemporary(const std::string& output, std::string* error) {
  static std::atomic<unsigned> counter{0};
  const fs::path target(output);
  const fs::path directory =
      target.has_parent_path() ? target.parent_path() : fs::path(".");
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        directory /
        ("." + target.filename().string() + "." + std::to_string(getpid()) +
         "-" + std::to_string(counter.fetch_add(1)) + ".tmp");
    const int fd =
        open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      close(fd);
      return candidate.string();
    }
    if (errno != EEXIST) {
      *error = "cannot write '" + output + "': " + ErrnoText(errno);
      return {};
    }
  }
  *error = "cannot write '" + output + "': no free temporary name beside it";
  return {};
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::symlink_status(path, error).type() != fs::file_type::not_found &&
         !error;
}

// The last time any channel keys, or the stated duration if later.
double AnimationSeconds(const SourceAnimation& animation) {
  double end =
      std::isfinite(animation.durationSeconds) && animation.durationSeconds > 0
          ? animation.durationSeconds
          : 0;
  auto later = [&end](double time) {
    if (std::isfinite(time) && time > end) end = time;
  };
  for (const SourceChannel& channel : animation.channels) {
    for (const VectorKey& key : channel.positions) later(key.time);
    for (const RotationKey& key : channel.rotations) later(key.time);
    for (const VectorKey& key : channel.scales) later(key.time);
  }
  return end;
}

// True, with `*error` set, when an output names the same file as an input.
bool WouldOverwriteAnInput(const ExportOptions& options,
                           const std::vector<std::string>& outputs,
                           std::string* error) {
  for (const std::string& output : outputs) {
    for (const std::string& input : options.inputs) {
      std::error_code status;
      if (fs::equivalent(input, output, status)) {
        *error =
            "the output '" + output + "' is the input '" + input + "' itself";
        return true;
      }
    }
  }
  return false;
}

JobResult Export(const ExportOptions& options, const std::string& input,
                 const std::string& output, const JobContext& context) {
  JobResult result;
  result.input = input;
  result.output = output;

  if (std::string why = CheckReadable(input); !why.empty()) {
    return Fail(result, kExitIo, why);
  }
  ImportResult imported = context.importer->Import(input);
  if (!imported.ok) {
    return Fail(result, kExitInvalidInput, "cannot import: " + imported.error);
  }
  const SourceScene& scene = imported.scene;
  result.warnings = scene.warnings;

  std::string error;
  const int index = SelectAnimation(scene, options.animation, &error);
  if (index < 0) return Fail(result, kExitInvalidInput, error);
  const SourceAnimation& animation = scene.animations[index];
  result.animation = animation.name;

  SkeletonLayout layout;
  error = BuildSkeletonLayout(scene, animation, &layout, &result.warnings);
  if (!error.empty()) return Fail(result, kExitInvalidInput, error);
  result.bones = static_cast<int>(layout.bones.size());

  const double fps =
      options.fps ? *options.fps : scene.frameRate.value_or(kDefaultFps);
  FrameRange range;
  if (options.range) {
    range = *options.range;
  } else {
    const double last = std::ceil(AnimationSeconds(animation) * fps - 1e-6);
    if (!(last < std::numeric_limits<int32_t>::max())) {
      return Fail(result, kExitInvalidInput,
                  "animation '" + animation.name + "' is too long to export");
    }
    range = {0, static_cast<int32_t>(std::max(0.0, last))};
  }
  result.frames = static_cast<int64_t>(range.last) - range.first + 1;

  const std::string name =
      options.name
          ? *options.name
          : (!animation.name.empty() ? animation.name
                                     : fs::path(input).stem().string());
  if (OutputBytes(layout, name, options.events, result.frames) >
      std::numeric_limits<int32_t>::max()) {
    return Fail(result, options.range ? kExitUsage : kExitInvalidInput,
                std::to_string(result.frames) + " frames of " +
                    std::to_string(result.bones) +
                    " bones would pass the 2 GiB a KIN file can hold");
  }

  PoseSampler sampler(scene, animation, layout, options.space);
  if (sampler.HasScale()) {
    result.warnings.push_back(
        "the skeleton is scaled (scale other than 1); KIN files hold no "
        "scale, so it is dropped");
  }
  if (sampler.DroppedKeys() > 0) {
    result.warnings.push_back(std::to_string(sampler.DroppedKeys()) +
                              " keys with a time or value that is not a "
                              "number were ignored");
  }
  if (sampler.DuplicateChannels() > 0) {
    result.warnings.push_back(std::to_string(sampler.DuplicateChannels()) +
                              " channels for an already animated node were "
                              "ignored");
  }
  HostSkeleton skeleton(layout, std::move(sampler), fps, context.framesPosed);
  HostAnimInfo info(name, range.first, range.last, options.valueA,
                    options.valueB, options.events);

  const std::string temporary = CreateTemporary(output, &error);
  if (temporary.empty()) return Fail(result, kExitIo, error);
  if (context.framesTotal != nullptr) {
    context.framesTotal->fetch_add(result.frames);
  }
  const int code =
      context.plugin->ExportAnim(&skeleton, info.Get(), temporary.c_str());
  if (code != kExportSucceeded) {
    // The module removes what it wrote when a write fails, having released
    // the events; a file still there was never opened, and the events are
    // still ours to free.
    if (Exists(temporary)) {
      std::remove(temporary.c_str());
    } else {
      info.EventsTaken();
    }
    return Fail(result, kExitPlugin,
                "the export plug-in failed to write '" + output +
                    "' (ExportAnim returned " + std::to_string(code) + ")");
  }
  info.EventsTaken();
  if (std::rename(temporary.c_str(), output.c_str()) != 0) {
    const int saved = errno;
    std::remove(temporary.c_str());
    return Fail(result, kExitIo,
                "cannot write '" + output + "': " + ErrnoText(saved));
  }
  return result;
}

}  // namespace

JobResult RunExportJob(const ExportOptions& options, const std::string& input,
                       const std::string& output, const JobContext& context) {
  try {
    return Export(options, input, output, context);
  } catch (const std::bad_alloc&) {
    JobResult result;
    result.input = input;
    result.output = output;
    return Fail(result, kExitInvalidInput, "out of memory");
  } catch (const std::exception& e) {
    JobResult result;
    result.input = input;
    result.output = output;
    return Fail(result, kExitInvalidInput, e.what());
  }
}

int SelectAnimation(const SourceScene& scene, const std::string& selector,
                    std::string* error) {
  const int count = static_cast<int>(scene.animations.size());
  if (count == 0) {
    *error = "the file has no animation";
    return -1;
  }
  if (selector.empty()) return 0;
  for (int i = 0; i < count; ++i) {
    if (scene.animations[i].name == selector) return i;
  }
  if (selector.size() <= 9 &&
      selector.find_first_not_of("0123456789") == std::string::npos) {
    const int index = std::stoi(selector);
    if (index < count) return index;
  }
  std::string known;
  for (int i = 0; i < count && i < 10; ++i) {
    known += (i > 0 ? ", " : "") + std::to_string(i) + " '" +
             scene.animations[i].name + "'";
  }
  if (count > 10) known += ", ...";
  *error = "no animation '" + selector + "' (the file has " + known + ")";
  return -1;
}

bool ResolveOutputPaths(const ExportOptions& options,
                        const std::string& extension,
                        std::vector<std::string>* outputs, std::string* error) {
  outputs->clear();
  std::string lower = extension;
  for (char& c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::error_code status;
  const bool toDirectory = options.output.empty() ||
                           options.output.back() == '/' ||
                           fs::is_directory(options.output, status);
  if (!toDirectory) {
    if (options.inputs.size() != 1) {
      *error = "-o '" + options.output + "' names one file, but there are " +
               std::to_string(options.inputs.size()) +
               " inputs: give a directory";
      return false;
    }
    outputs->push_back(options.output);
    return !WouldOverwriteAnInput(options, *outputs, error);
  }
  const fs::path directory(options.output);
  std::map<std::string, std::string> claimed;
  for (const std::string& input : options.inputs) {
    const fs::path file =
        directory / (fs::path(input).stem().string() + "." + lower);
    const std::string path = file.lexically_normal().string();
    auto [at, added] = claimed.emplace(path, input);
    if (!added) {
      *error = "'" + at->second + "' and '" + input + "' would both write '" +
               path + "'";
      return false;
    }
    outputs->push_back(path);
  }
  return !WouldOverwriteAnInput(options, *outputs, error);
}

int ListAnimations(const Importer& importer, const std::string& input,
                   std::string* listing, std::string* error) {
  if (std::string why = CheckReadable(input); !why.empty()) {
    *error = why;
    return kExitIo;
  }
  try {
    const ImportResult imported = importer.Import(input);
    if (!imported.ok) {
      *error = "cannot import: " + imported.error;
      return kExitInvalidInput;
    }
    std::ostringstream out;
    const auto& animations = imported.scene.animations;
    out << input << ": " << animations.size()
        << (animations.size() == 1 ? " animation\n" : " animations\n");
    for (size_t i = 0; i < animations.size(); ++i) {
      const SourceAnimation& a = animations[i];
      out << "  " << i << "  "
          << (a.name.empty() ? std::string("(unnamed)") : "'" + a.name + "'")
          << "  " << AnimationSeconds(a) << " s, " << a.ticksPerSecond
          << " ticks/s, " << a.channels.size()
          << (a.channels.size() == 1 ? " channel\n" : " channels\n");
    }
    *listing = out.str();
    return kExitOk;
  } catch (const std::exception& e) {
    *error = e.what();
    return kExitInvalidInput;
  }
}

}  // namespace kin::host
