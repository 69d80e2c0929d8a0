// A scene built on the module's own header, for tests that call the writers.
//
// `FakeSkeleton` holds bones by index, lays out each children list over ring
// blocks of chosen sizes, poses bones with a deterministic function of (bone,
// frame) and logs every call the module makes, stamped with the shared test
// clock. `FakeAnimation` holds an `AnimInfo` with watched events; events the
// module did not release are released when it goes away.
#ifndef KIN_TESTS_SUPPORT_FAKE_SCENE_H_
#define KIN_TESTS_SUPPORT_FAKE_SCENE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scene/scene.h"
#include "tests/support/kin_bytes.h"

namespace fake {

// Storage for one ring of pointer blocks.
template <typename T>
class Ring {
 public:
  // Puts `items` into consecutive blocks of `blockSizes` items each; items
  // left over go into one more block. No items gives an empty list.
  void Assign(const std::vector<T*>& items, std::vector<int> blockSizes = {});
  PtrBlockList<T> list() const { return {head_}; }

 private:
  std::vector<std::unique_ptr<char[]>> storage_;
  PtrBlock<T>* head_ = nullptr;
};

struct Call {
  enum Kind { kSetFrame, kGetName, kGetPosition, kGetRotation } kind;
  int subject;  // the frame for kSetFrame, else the bone index
  uint64_t tick;
  bool operator==(const Call& o) const {
    return kind == o.kind && subject == o.subject;
  }
};

class FakeSkeleton;

class FakeBone : public Bone {
 public:
  FakeBone(FakeSkeleton* owner, int index, std::string name, bool nullName)
      : owner_(owner),
        index_(index),
        name_(std::move(name)),
        nullName_(nullName) {}
  ~FakeBone() = default;
  const char* GetName() override;
  void GetPosition(float out[3]) override;
  void GetRotation(float out[4]) override;

 private:
  friend class FakeSkeleton;
  FakeSkeleton* owner_;
  int index_;
  std::string name_;
  bool nullName_;
  Ring<Bone> ring_;
  std::vector<int> children_;
  std::vector<int> blockSizes_;
};

class FakeSkeleton : public Skeleton {
 public:
  using PoseFunction = std::function<void(int bone, int frame, float out[7])>;

  FakeSkeleton() = default;
  // Bones point back at their skeleton: it stays where it was made.
  FakeSkeleton(const FakeSkeleton&) = delete;
  FakeSkeleton& operator=(const FakeSkeleton&) = delete;
  ~FakeSkeleton() = default;

  // Adds a bone under `parent` (-1 for the root, which must come first) and
  // returns its index. `nullName` makes `GetName` return null.
  int AddBone(const std::string& name, int parent = -1, bool nullName = false);
  // Splits `bone`'s children list into blocks of these sizes.
  void SetBlockSizes(int bone, std::vector<int> sizes);
  // Lays out every children list and sets `root`. Call after the last change.
  void Build();

  void Destroy() override {}
  void SetFrame(int frame) override;

  // The default pose: position (bone, frame, 0.5), rotation
  // (0.25 * bone, -0.5, frame / 8, 1), every value exact in binary.
  static void DefaultPose(int bone, int frame, float out[7]);
  // The record `pose` gives `bone` at `frame`, as the file must hold it.
  kin_bytes::Record RecordAt(int bone, int frame) const;

  // The frames `SetFrame` was called with, in order.
  std::vector<int> PosedFrames() const;

  PoseFunction pose = DefaultPose;
  std::vector<Call> calls;
  int size() const { return static_cast<int>(bones_.size()); }

 private:
  friend class FakeBone;
  std::vector<std::unique_ptr<FakeBone>> bones_;
  int currentFrame_ = 0;
  bool posed_ = false;
};

// Builds R(A(C), B) in an empty skeleton, with R's children in two blocks of
// one: bones 0 = R, 1 = A, 2 = B, 3 = C, so pre-order is 0, 1, 3, 2.
void BuildTreeRACB(FakeSkeleton& skeleton);

// An animation record whose events are watched by the allocation tracker.
class FakeAnimation {
 public:
  FakeAnimation(const std::string& name, int32_t start, int32_t end);
  ~FakeAnimation();
  FakeAnimation(const FakeAnimation&) = delete;
  FakeAnimation& operator=(const FakeAnimation&) = delete;

  // Allocates an event as a host must (`new`, `new char[]`).
  AnimEvent* AddEvent(int32_t frame, uint32_t value, const char* name);
  // Lays out the events list over blocks of these sizes; call after the last
  // `AddEvent`.
  void BuildEvents(std::vector<int> blockSizes = {});
  // True when every event's name and record were released exactly once.
  bool AllReleasedOnce() const;
  // True when no event's name or record was released.
  bool NoneReleased() const;
  // The latest release stamp of any event part, 0 if none.
  uint64_t LastReleaseTick() const;

  AnimInfo info{};

 private:
  std::string name_;
  std::vector<AnimEvent*> events_;
  std::vector<char*> names_;
  Ring<AnimEvent> ring_;
};

}  // namespace fake

#endif  // KIN_TESTS_SUPPORT_FAKE_SCENE_H_
