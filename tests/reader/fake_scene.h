// A small in-memory scene for driving the real export module in tests.
//
// `FakeBone` and `FakeSkeleton` implement the host's virtual operations from
// plain data: each bone's pose at a frame comes from a function of the
// frame and the bone, so a test knows every value the file must hold.
// `FakeScene` owns the bones, the pointer blocks (allocated with room for
// their items, linked into rings as a host does) and builds the `AnimInfo`
// with its events allocated as the module expects (`new`, `new char[]`).
#ifndef KIN_TESTS_READER_FAKE_SCENE_H_
#define KIN_TESTS_READER_FAKE_SCENE_H_

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "reader/model.h"
#include "scene/scene.h"

namespace kin_test {

// The pose of bone `bone` (its pre-order index) at absolute frame `frame`.
using PoseFn = std::function<kin::reader::Record(int frame, int bone)>;

// A default pose whose every value is distinct and exact in a float.
inline kin::reader::Record DistinctPose(int frame, int bone) {
  kin::reader::Record record;
  for (int i = 0; i < 7; ++i) {
    const int64_t base = (static_cast<int64_t>(frame) % 1000) * 100 + bone * 10;
    record[i] = static_cast<float>(base + i) + 0.25f;
  }
  return record;
}

class FakeBone final : public Bone {
 public:
  FakeBone(std::string name, int index, const int* frame, const PoseFn* pose)
      : name_(std::move(name)), index_(index), frame_(frame), pose_(pose) {}
  const char* GetName() override { return name_.c_str(); }
  void GetPosition(float out[3]) override {
    const kin::reader::Record r = (*pose_)(*frame_, index_);
    std::memcpy(out, r.data(), 3 * sizeof(float));
  }
  void GetRotation(float out[4]) override {
    const kin::reader::Record r = (*pose_)(*frame_, index_);
    std::memcpy(out, r.data() + 3, 4 * sizeof(float));
  }

 private:
  std::string name_;
  int index_;
  const int* frame_;
  const PoseFn* pose_;
};

class FakeSkeleton final : public Skeleton {
 public:
  void Destroy() override {}
  void SetFrame(int frame) override { frame_ = frame; }
  const int* frame() const { return &frame_; }

 private:
  int frame_ = 0;
};

// A bone tree description: `blocks` splits the children into pointer blocks
// of the given sizes (all in one block when empty).
struct TreeShape {
  std::string name;
  std::vector<TreeShape> children;
  std::vector<int> blocks;
};

struct EventInput {
  int32_t frame;
  uint32_t value;
  std::string name;
};

class FakeScene {
 public:
  FakeScene(const TreeShape& root, PoseFn pose = DistinctPose)
      : pose_(std::move(pose)) {
    skeleton_.root = Build(root);
  }
  ~FakeScene() {
    for (void* block : blocks_) ::operator delete(block);
  }
  FakeScene(const FakeScene&) = delete;
  FakeScene& operator=(const FakeScene&) = delete;

  Skeleton* skeleton() { return &skeleton_; }

  // An `AnimInfo` whose events are fresh heap records; the export releases
  // them.
  AnimInfo* Info(const std::string& name, int32_t start, int32_t end,
                 uint32_t valueA, uint32_t valueB,
                 const std::vector<EventInput>& events) {
    name_ = name;
    info_ = AnimInfo{start, end, valueA, name_.c_str(), valueB, {nullptr}};
    std::vector<AnimEvent*> items;
    for (const EventInput& input : events) {
      AnimEvent* event = new AnimEvent{input.frame, input.value, nullptr};
      event->name = new char[input.name.size() + 1];
      std::memcpy(event->name, input.name.c_str(), input.name.size() + 1);
      items.push_back(event);
    }
    info_.events = Ring<AnimEvent>(items, {});
    return &info_;
  }

  // The bones' names and parents in pre-order, as the file must list them.
  const std::vector<kin::reader::Bone>& bones() const { return bones_; }
  const PoseFn& pose() const { return pose_; }

 private:
  Bone* Build(const TreeShape& shape) {
    const int index = static_cast<int>(bones_.size());
    bones_.push_back(
        kin::reader::Bone{shape.name, parents_.empty() ? -1 : parents_.back()});
    owned_.push_back(std::make_unique<FakeBone>(shape.name, index,
                                                skeleton_.frame(), &pose_));
    FakeBone* bone = owned_.back().get();
    parents_.push_back(index);
    std::vector<Bone*> children;
    for (const TreeShape& child : shape.children)
      children.push_back(Build(child));
    parents_.pop_back();
    bone->children = Ring<Bone>(children, shape.blocks);
    return bone;
  }

  // Links `items` into a ring of blocks of the sizes `split` gives.
  template <typename T>
  PtrBlockList<T> Ring(const std::vector<T*>& items, std::vector<int> split) {
    if (items.empty()) return PtrBlockList<T>{nullptr};
    if (split.empty()) split = {static_cast<int>(items.size())};
    PtrBlock<T>* head = nullptr;
    PtrBlock<T>* last = nullptr;
    size_t at = 0;
    for (int count : split) {
      const size_t bytes =
          sizeof(PtrBlock<T>) + sizeof(T*) * (count > 1 ? count - 1 : 0);
      auto* block = static_cast<PtrBlock<T>*>(::operator new(bytes));
      blocks_.push_back(block);
      block->next = nullptr;
      block->hostData = 0xDEADBEEF;
      block->count = count;
      T** slots = block->items;
      for (int i = 0; i < count; ++i) slots[i] = items.at(at++);
      if (head == nullptr) head = block;
      if (last != nullptr) last->next = block;
      last = block;
    }
    last->next = head;
    return PtrBlockList<T>{head};
  }

  PoseFn pose_;
  FakeSkeleton skeleton_;
  std::vector<std::unique_ptr<FakeBone>> owned_;
  std::vector<kin::reader::Bone> bones_;
  std::vector<int> parents_;
  std::vector<void*> blocks_;
  std::string name_;
  AnimInfo info_{};
};

}  // namespace kin_test

#endif  // KIN_TESTS_READER_FAKE_SCENE_H_
