// A synthetic exporter host scene for the benchmarks.
//
// `SyntheticScene` builds a skeleton of a given number of bones and an
// animation record over a given number of frames, the way a host would hand
// them to `ExportAnim`. Bone i (i > 0) is a child of bone (i - 1) / 4, so the
// tree is four-wide and shallow; names are "bone<i>". Poses are computed
// from the frame and the bone's index with a few multiplications, so the
// host's own work stays small next to the export's. The record has no
// events: nothing has to be rebuilt between exports.
#ifndef KIN_BENCH_SYNTHETIC_SCENE_H_
#define KIN_BENCH_SYNTHETIC_SCENE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/scene.h"

namespace kin_bench {

class SyntheticScene {
 public:
  // A skeleton of `bones` bones (at least 1) and frames 0 to `frames` - 1.
  // Throws std::bad_alloc when memory runs out; nothing else fails.
  SyntheticScene(int32_t bones, int32_t frames);
  ~SyntheticScene();
  SyntheticScene(const SyntheticScene&) = delete;
  SyntheticScene& operator=(const SyntheticScene&) = delete;

  Skeleton* skeleton();
  AnimInfo* info() { return &info_; }

 private:
  class HostBone;
  class HostSkeleton;

  std::unique_ptr<HostSkeleton> skeleton_;
  std::vector<std::unique_ptr<HostBone>> bones_;
  std::vector<void*> blocks_;  // the children lists' blocks, to release
  AnimInfo info_{};
};

}  // namespace kin_bench

#endif  // KIN_BENCH_SYNTHETIC_SCENE_H_
