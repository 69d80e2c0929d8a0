#include "tests/support/fake_scene.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <stdexcept>

#include "tests/support/alloc_tracker.h"

namespace fake {

template <typename T>
void Ring<T>::Assign(const std::vector<T*>& items,
                     std::vector<int> blockSizes) {
  storage_.clear();
  head_ = nullptr;
  size_t used = 0;
  for (int size : blockSizes) used += static_cast<size_t>(size);
  if (used < items.size())
    blockSizes.push_back(static_cast<int>(items.size() - used));
  PtrBlock<T>* previous = nullptr;
  size_t next = 0;
  for (int size : blockSizes) {
    if (size <= 0 || next >= items.size()) continue;
    const size_t bytes = offsetof(PtrBlock<T>, items) + sizeof(T*) * size;
    storage_.emplace_back(new char[bytes]);
    auto* block = reinterpret_cast<PtrBlock<T>*>(storage_.back().get());
    block->hostData = 0xDEADBEEF;
    block->count = size;
    T** slots = block->items;
    for (int i = 0; i < size; ++i) slots[i] = items.at(next++);
    if (previous != nullptr) previous->next = block;
    if (head_ == nullptr) head_ = block;
    previous = block;
  }
  if (previous != nullptr) previous->next = head_;
}

template class Ring<Bone>;
template class Ring<AnimEvent>;

const char* FakeBone::GetName() {
  owner_->calls.push_back({Call::kGetName, index_, alloc_tracker::Tick()});
  return nullName_ ? nullptr : name_.c_str();
}

void FakeBone::GetPosition(float out[3]) {
  owner_->calls.push_back({Call::kGetPosition, index_, alloc_tracker::Tick()});
  float record[7];
  owner_->pose(index_, owner_->currentFrame_, record);
  std::memcpy(out, record, 3 * sizeof(float));
}

void FakeBone::GetRotation(float out[4]) {
  owner_->calls.push_back({Call::kGetRotation, index_, alloc_tracker::Tick()});
  float record[7];
  owner_->pose(index_, owner_->currentFrame_, record);
  std::memcpy(out, record + 3, 4 * sizeof(float));
}

int FakeSkeleton::AddBone(const std::string& name, int parent, bool nullName) {
  const int index = size();
  if ((parent < 0) != (index == 0) || parent >= index) {
    throw std::invalid_argument(
        "the root comes first, parents before children");
  }
  bones_.push_back(std::make_unique<FakeBone>(this, index, name, nullName));
  if (parent >= 0) bones_[parent]->children_.push_back(index);
  return index;
}

void FakeSkeleton::SetBlockSizes(int bone, std::vector<int> sizes) {
  bones_.at(bone)->blockSizes_ = std::move(sizes);
}

void FakeSkeleton::Build() {
  for (auto& bone : bones_) {
    std::vector<Bone*> children;
    for (int child : bone->children_) children.push_back(bones_[child].get());
    bone->ring_.Assign(children, bone->blockSizes_);
    bone->children = bone->ring_.list();
  }
  root = bones_.empty() ? nullptr : bones_[0].get();
}

void FakeSkeleton::SetFrame(int frame) {
  calls.push_back({Call::kSetFrame, frame, alloc_tracker::Tick()});
  currentFrame_ = frame;
  posed_ = true;
}

void FakeSkeleton::DefaultPose(int bone, int frame, float out[7]) {
  out[0] = static_cast<float>(bone);
  out[1] = static_cast<float>(frame % 100000);
  out[2] = 0.5f;
  out[3] = 0.25f * static_cast<float>(bone);
  out[4] = -0.5f;
  out[5] = static_cast<float>(frame % 100000) / 8.0f;
  out[6] = 1.0f;
}

std::vector<int> FakeSkeleton::PosedFrames() const {
  std::vector<int> frames;
  for (const Call& call : calls) {
    if (call.kind == Call::kSetFrame) frames.push_back(call.subject);
  }
  return frames;
}

kin_bytes::Record FakeSkeleton::RecordAt(int bone, int frame) const {
  float values[7];
  pose(bone, frame, values);
  kin_bytes::Record record;
  std::memcpy(record.bits, values, sizeof values);
  return record;
}

void BuildTreeRACB(FakeSkeleton& skeleton) {
  skeleton.AddBone("R");
  const int a = skeleton.AddBone("A", 0);
  skeleton.AddBone("B", 0);
  skeleton.AddBone("C", a);
  skeleton.SetBlockSizes(0, {1, 1});
  skeleton.Build();
}

FakeAnimation::FakeAnimation(const std::string& name, int32_t start,
                             int32_t end)
    : name_(name) {
  info.startFrame = start;
  info.endFrame = end;
  info.infoValueA = 0x11223344;
  info.name = name_.c_str();
  info.infoValueB = 0xA5A5F00D;
  info.events = {nullptr};
}

FakeAnimation::~FakeAnimation() {
  // Events the module never took (a test that failed early, or an export
  // that could not open its file) are still the host's to release.
  for (size_t i = 0; i < events_.size(); ++i) {
    const bool nameTaken = alloc_tracker::Releases(names_[i]) > 0;
    const bool eventTaken = alloc_tracker::Releases(events_[i]) > 0;
    alloc_tracker::Forget(names_[i]);
    alloc_tracker::Forget(events_[i]);
    if (!nameTaken) delete[] names_[i];
    if (!eventTaken) delete events_[i];
  }
}

AnimEvent* FakeAnimation::AddEvent(int32_t frame, uint32_t value,
                                   const char* name) {
  auto* event = new AnimEvent;
  event->frame = frame;
  event->value = value;
  const size_t length = name != nullptr ? std::strlen(name) : 0;
  event->name = new char[length + 1];
  if (length > 0) std::memcpy(event->name, name, length);
  event->name[length] = '\0';
  alloc_tracker::Watch(event);
  alloc_tracker::Watch(event->name);
  events_.push_back(event);
  names_.push_back(event->name);
  return event;
}

void FakeAnimation::BuildEvents(std::vector<int> blockSizes) {
  ring_.Assign(events_, std::move(blockSizes));
  info.events = ring_.list();
}

bool FakeAnimation::AllReleasedOnce() const {
  for (size_t i = 0; i < events_.size(); ++i) {
    if (alloc_tracker::Releases(events_[i]) != 1 ||
        alloc_tracker::Releases(names_[i]) != 1) {
      return false;
    }
  }
  return true;
}

bool FakeAnimation::NoneReleased() const {
  for (size_t i = 0; i < events_.size(); ++i) {
    if (alloc_tracker::Releases(events_[i]) != 0 ||
        alloc_tracker::Releases(names_[i]) != 0) {
      return false;
    }
  }
  return true;
}

uint64_t FakeAnimation::LastReleaseTick() const {
  uint64_t last = 0;
  for (size_t i = 0; i < events_.size(); ++i) {
    last = std::max({last, alloc_tracker::LastReleaseTick(events_[i]),
                     alloc_tracker::LastReleaseTick(names_[i])});
  }
  return last;
}

}  // namespace fake
