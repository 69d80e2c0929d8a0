#include "bench/peak_rss.h"

#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>

#include "bench/bench_files.h"
#include "bench/synthetic_scene.h"
#include "plugin/kinexport.h"

namespace kin_bench {
namespace {

// Runs in the child: builds the scene and, if `path` is given, exports it.
// Returns the child's exit status.
int Child(int32_t bones, int32_t frames, const char* path) {
  try {
    SyntheticScene scene(bones, frames);
    if (path == nullptr) return 0;
    return ExportAnim(scene.skeleton(), scene.info(), path) == kExportSucceeded
               ? 0
               : 2;
  } catch (const std::exception&) {
    return 3;
  }
}

// The peak resident set in KiB of a child running `Child`, or -1.
long MeasureKiB(int32_t bones, int32_t frames, const char* path) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) _exit(Child(bones, frames, path));
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return -1;
  }
  return usage.ru_maxrss;  // KiB on Linux
}

}  // namespace

int RunPeakRss() {
  struct Shape {
    int32_t bones;
    int32_t frames;
  };
  // 1,000 bones stop at 20,000 frames: 200,000 would pass the 2 GiB a KIN
  // file can describe.
  static constexpr Shape kShapes[] = {{1, 2000},    {1, 200000},
                                      {64, 2000},   {64, 200000},
                                      {1000, 2000}, {1000, 20000}};
  TempDir dir;
  const std::string path = dir.File("rss.kin");
  std::printf("%6s %8s %12s %13s %12s %11s\n", "bones", "frames", "file_bytes",
              "scene_KiB", "export_KiB", "added_KiB");
  for (const Shape& shape : kShapes) {
    const long scene = MeasureKiB(shape.bones, shape.frames, nullptr);
    const long exported = MeasureKiB(shape.bones, shape.frames, path.c_str());
    const int64_t bytes = FileSize(path);
    RemoveFile(path);
    if (scene < 0 || exported < 0) {
      std::printf("%6d %8d: the child failed\n", shape.bones, shape.frames);
      return 1;
    }
    std::printf("%6d %8d %12lld %13ld %12ld %11ld\n", shape.bones, shape.frames,
                static_cast<long long>(bytes), scene, exported,
                exported - scene);
  }
  return 0;
}

}  // namespace kin_bench
