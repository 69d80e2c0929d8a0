// Export speed against the disk: for each shape of animation, one run
// exports the synthetic scene through `ExportAnim` and, in the same
// iteration, writes the same number of bytes sequentially from memory in
// 1 MiB blocks. The benchmark's time is the export's; the counters give
// both, their ratio and both rates:
//   export_ms, write_ms   mean wall time of one export / one plain write
//   host_ms               mean time of the host calls an export makes, made
//                         alone: the part of export_ms that is the host's
//   ratio                 export time / write time (the goal is <= 1.5)
//   ratio_less_host       (export time - host time) / write time: what the
//                         module's own work and its writes cost
//   export_B/s, write_B/s bytes per second of each
//   bytes                 size of the file
// Both files are removed before each timed step, so neither pays for
// truncating the previous one, and both include the open and the close.
//
// Each shape runs twice. With to_disk:0 both sides end when their file is
// closed, so the bytes may still be only in the page cache: a write there is
// a copy in memory, and the comparison shows the module's own cost against
// the cheapest possible write. With to_disk:1 both sides also wait, inside
// their timed step, until the file's data is on the disk (fdatasync): the
// comparison with the speed of the disk itself.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "bench/bench_files.h"
#include "bench/peak_rss.h"
#include "bench/synthetic_scene.h"
#include "plugin/kinexport.h"

namespace kin_bench {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

// Makes the host calls of one export, and only those: `SetFrame` per frame,
// then `GetPosition` and `GetRotation` per bone in pre-order. Their time is
// the host's share of the export, which no stream can save.
void PoseBones(Bone& bone) {
  float record[7];
  bone.GetPosition(record);
  bone.GetRotation(record + 3);
  benchmark::DoNotOptimize(record);
  ForEachItem(bone.children, [](Bone* child) { PoseBones(*child); });
}

double HostSeconds(SyntheticScene& scene) {
  const Clock::time_point start = Clock::now();
  Skeleton& skeleton = *scene.skeleton();
  for (int32_t frame = scene.info()->startFrame;
       frame <= scene.info()->endFrame; ++frame) {
    skeleton.SetFrame(frame);
    PoseBones(*skeleton.root);
  }
  return Seconds(Clock::now() - start);
}

void BM_ExportVersusWrite(benchmark::State& state) {
  const auto bones = static_cast<int32_t>(state.range(0));
  const auto frames = static_cast<int32_t>(state.range(1));
  const bool toDisk = state.range(2) != 0;
  SyntheticScene scene(bones, frames);
  TempDir dir;
  const std::string exported = dir.File("export.kin");
  const std::string written = dir.File("write.bin");

  // One untimed round first: it learns the file's size and warms the
  // allocator, the page cache and the write buffer for both sides.
  if (ExportAnim(scene.skeleton(), scene.info(), exported.c_str()) !=
      kExportSucceeded) {
    state.SkipWithError("ExportAnim failed");
    return;
  }
  const int64_t bytes = FileSize(exported);
  if (bytes <= 0 || !WriteSequentially(written, bytes)) {
    state.SkipWithError("the sequential write failed");
    return;
  }

  double exportSeconds = 0;
  double writeSeconds = 0;
  double hostSeconds = 0;
  for (auto _ : state) {
    RemoveFile(exported);
    const Clock::time_point start = Clock::now();
    const int result =
        ExportAnim(scene.skeleton(), scene.info(), exported.c_str());
    const bool exportSynced = !toDisk || SyncToDisk(exported);
    const Clock::time_point exportEnd = Clock::now();
    if (result != kExportSucceeded || !exportSynced) {
      state.SkipWithError("ExportAnim failed");
      break;
    }

    RemoveFile(written);
    const Clock::time_point writeStart = Clock::now();
    if (!WriteSequentially(written, bytes) ||
        (toDisk && !SyncToDisk(written))) {
      state.SkipWithError("the sequential write failed");
      break;
    }
    const Clock::time_point writeEnd = Clock::now();

    const double exportTime = Seconds(exportEnd - start);
    exportSeconds += exportTime;
    writeSeconds += Seconds(writeEnd - writeStart);
    state.SetIterationTime(exportTime);
    hostSeconds += HostSeconds(scene);
  }
  if (exportSeconds <= 0 || writeSeconds <= 0) return;

  const double runs = static_cast<double>(state.iterations());
  const double total = static_cast<double>(bytes) * runs;
  state.SetBytesProcessed(bytes * state.iterations());
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["export_ms"] = 1e3 * exportSeconds / runs;
  state.counters["write_ms"] = 1e3 * writeSeconds / runs;
  state.counters["host_ms"] = 1e3 * hostSeconds / runs;
  state.counters["ratio"] = exportSeconds / writeSeconds;
  state.counters["ratio_less_host"] =
      (exportSeconds - hostSeconds) / writeSeconds;
  state.counters["export_B/s"] = total / exportSeconds;
  state.counters["write_B/s"] = total / writeSeconds;
}

// bones, frames, to_disk
BENCHMARK(BM_ExportVersusWrite)
    ->ArgNames({"bones", "frames", "to_disk"})
    ->Args({1, 200000, 0})
    ->Args({64, 20000, 0})
    ->Args({1000, 2000, 0})
    ->Args({1, 200000, 1})
    ->Args({64, 20000, 1})
    ->Args({1000, 2000, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kin_bench

int main(int argc, char** argv) {
  // `kin-bench --peak-rss` measures peak resident memory instead.
  if (argc > 1 && std::string(argv[1]) == "--peak-rss") {
    return kin_bench::RunPeakRss();
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
