#include "bench/synthetic_scene.h"

#include <algorithm>
#include <cstddef>
#include <new>

namespace kin_bench {

class SyntheticScene::HostSkeleton final : public Skeleton {
 public:
  void Destroy() override {}
  void SetFrame(int frame) override { frame_ = frame; }
  int frame() const { return frame_; }

 private:
  int frame_ = 0;
};

class SyntheticScene::HostBone final : public Bone {
 public:
  HostBone(const HostSkeleton& skeleton, int32_t index)
      : skeleton_(skeleton),
        index_(static_cast<float>(index)),
        name_("bone" + std::to_string(index)) {}

  const char* GetName() override { return name_.c_str(); }
  void GetPosition(float out[3]) override {
    const float t = static_cast<float>(skeleton_.frame()) * 0.01f;
    out[0] = index_;
    out[1] = t;
    out[2] = t * index_;
  }
  void GetRotation(float out[4]) override {
    const float t = static_cast<float>(skeleton_.frame()) * 0.001f;
    out[0] = t;
    out[1] = 0.5f * t;
    out[2] = index_ * 0.25f;
    out[3] = 1.0f - t;
  }

 private:
  const HostSkeleton& skeleton_;
  float index_;
  std::string name_;
};

SyntheticScene::SyntheticScene(int32_t bones, int32_t frames)
    : skeleton_(new HostSkeleton) {
  bones = std::max<int32_t>(bones, 1);
  bones_.reserve(static_cast<size_t>(bones));
  for (int32_t i = 0; i < bones; ++i) {
    bones_.emplace_back(new HostBone(*skeleton_, i));
  }
  skeleton_->root = bones_[0].get();

  // One block per children list, holding all of a bone's children.
  constexpr int32_t kWidth = 4;
  for (int32_t parent = 0; parent < bones; ++parent) {
    const int64_t first = int64_t{parent} * kWidth + 1;
    if (first >= bones) break;
    const int32_t count =
        static_cast<int32_t>(std::min<int64_t>(kWidth, int64_t{bones} - first));
    const size_t size =
        offsetof(PtrBlock<Bone>, items) + sizeof(Bone*) * size_t(count);
    void* memory = ::operator new(size);
    blocks_.push_back(memory);
    auto* block = new (memory) PtrBlock<Bone>;
    block->next = block;
    block->hostData = 0;
    block->count = count;
    Bone** items = block->items;
    for (int32_t k = 0; k < count; ++k) items[k] = bones_[first + k].get();
    bones_[parent]->children.head = block;
  }

  info_.startFrame = 0;
  info_.endFrame = frames - 1;
  info_.infoValueA = 0x11223344u;
  info_.name = "synthetic";
  info_.infoValueB = 0x55667788u;
  info_.events.head = nullptr;
}

SyntheticScene::~SyntheticScene() {
  for (void* block : blocks_) ::operator delete(block);
}

Skeleton* SyntheticScene::skeleton() { return skeleton_.get(); }

}  // namespace kin_bench
