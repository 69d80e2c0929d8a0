// The host's scene objects: the `Skeleton`, `Bone` and `AnimInfo` that the
// export module reads, built from a skeleton layout and a pose sampler.
//
// `HostSkeleton::SetFrame(frame)` poses every bone at `frame / fps` seconds.
// `HostAnimInfo` allocates the events as the module expects (`new AnimEvent`,
// names with `new char[]`) and frees whatever the module did not take.
#ifndef KIN_HOST_HOST_SCENE_H_
#define KIN_HOST_HOST_SCENE_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/block_ring.h"
#include "host/pose_sampler.h"
#include "host/skeleton_layout.h"
#include "scene/scene.h"

namespace kin::host {

// Children lists are cut into blocks of this many items.
constexpr int kDefaultBlockSize = 8;

class HostBone final : public Bone {
 public:
  explicit HostBone(std::string name) : name_(std::move(name)) {}
  const char* GetName() override { return name_.c_str(); }
  void GetPosition(float out[3]) override;
  void GetRotation(float out[4]) override;

  void SetPose(const BonePose& pose) { pose_ = pose; }
  void SetChildren(const std::vector<Bone*>& children, int blockSize);

 private:
  std::string name_;
  BonePose pose_{{0, 0, 0}, {0, 0, 0, 1}};
  BlockRing<Bone> childBlocks_;
};

class HostSkeleton final : public Skeleton {
 public:
  // Builds one bone per entry of `layout` (whose names it copies), posed by
  // `sampler` at `frame / fps` seconds (`fps` > 0). Each `SetFrame` adds 1
  // to `framesPosed` when it is given. Throws `std::bad_alloc` when out of
  // memory.
  HostSkeleton(const SkeletonLayout& layout, PoseSampler sampler, double fps,
               std::atomic<int64_t>* framesPosed = nullptr,
               int blockSize = kDefaultBlockSize);
  HostSkeleton(const HostSkeleton&) = delete;
  HostSkeleton& operator=(const HostSkeleton&) = delete;
  ~HostSkeleton() = default;

  // The skeleton's lifetime belongs to its owner; nothing to do here.
  void Destroy() override {}
  void SetFrame(int frame) override;

  int SetFrameCalls() const { return setFrameCalls_; }

 private:
  void PoseAt(int frame);

  PoseSampler sampler_;
  double fps_;
  std::atomic<int64_t>* framesPosed_;
  std::vector<std::unique_ptr<HostBone>> bones_;
  std::vector<BonePose> poses_;
  int setFrameCalls_ = 0;
};

struct EventSpec {
  int32_t frame = 0;  // absolute frame
  uint32_t value = 0;
  std::string name;
};

class HostAnimInfo {
 public:
  // Builds the record; `events` are allocated here and owned until
  // `EventsTaken` is called. Throws `std::bad_alloc` when out of memory.
  HostAnimInfo(const std::string& name, int32_t startFrame, int32_t endFrame,
               uint32_t valueA, uint32_t valueB,
               const std::vector<EventSpec>& events,
               int blockSize = kDefaultBlockSize);
  HostAnimInfo(const HostAnimInfo&) = delete;
  HostAnimInfo& operator=(const HostAnimInfo&) = delete;
  // Releases the events unless the module took them.
  ~HostAnimInfo();

  AnimInfo* Get() { return &info_; }
  // Records that the module has released the events: they are not freed
  // again.
  void EventsTaken() { owned_.clear(); }

 private:
  std::string name_;
  std::vector<AnimEvent*> owned_;
  BlockRing<AnimEvent> eventBlocks_;
  AnimInfo info_;
};

}  // namespace kin::host

#endif  // KIN_HOST_HOST_SCENE_H_
