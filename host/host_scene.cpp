#include "host/host_scene.h"

#include <cstring>

namespace kin::host {

void HostBone::GetPosition(float out[3]) {
  std::memcpy(out, pose_.position, sizeof pose_.position);
}

void HostBone::GetRotation(float out[4]) {
  std::memcpy(out, pose_.rotation, sizeof pose_.rotation);
}

void HostBone::SetChildren(const std::vector<Bone*>& children, int blockSize) {
  childBlocks_.Assign(children, blockSize);
  this->children = childBlocks_.List();
}

HostSkeleton::HostSkeleton(const SkeletonLayout& layout, PoseSampler sampler,
                           double fps, std::atomic<int64_t>* framesPosed,
                           int blockSize)
    : sampler_(std::move(sampler)), fps_(fps), framesPosed_(framesPosed) {
  std::vector<std::vector<Bone*>> children(layout.bones.size());
  for (const BoneSpec& bone : layout.bones) {
    bones_.push_back(std::make_unique<HostBone>(bone.name));
    if (bone.parent >= 0) children[bone.parent].push_back(bones_.back().get());
  }
  for (size_t i = 0; i < bones_.size(); ++i) {
    bones_[i]->SetChildren(children[i], blockSize);
  }
  root = bones_.empty() ? nullptr : bones_.front().get();
  // Until the first `SetFrame`, the bones hold the pose of frame 0.
  PoseAt(0);
}

void HostSkeleton::PoseAt(int frame) {
  sampler_.Pose(static_cast<double>(frame) / fps_, &poses_);
  for (size_t i = 0; i < bones_.size() && i < poses_.size(); ++i) {
    bones_[i]->SetPose(poses_[i]);
  }
}

void HostSkeleton::SetFrame(int frame) {
  PoseAt(frame);
  ++setFrameCalls_;
  if (framesPosed_ != nullptr) framesPosed_->fetch_add(1);
}

HostAnimInfo::HostAnimInfo(const std::string& name, int32_t startFrame,
                           int32_t endFrame, uint32_t valueA, uint32_t valueB,
                           const std::vector<EventSpec>& events, int blockSize)
    : name_(name) {
  try {
    for (const EventSpec& wanted : events) {
      auto* event = new AnimEvent{wanted.frame, wanted.value, nullptr};
      owned_.push_back(event);
      event->name = new char[wanted.name.size() + 1];
      std::memcpy(event->name, wanted.name.c_str(), wanted.name.size() + 1);
    }
    eventBlocks_.Assign(owned_, blockSize);
  } catch (...) {
    for (AnimEvent* event : owned_) {
      delete[] event->name;
      delete event;
    }
    throw;
  }
  info_.startFrame = startFrame;
  info_.endFrame = endFrame;
  info_.infoValueA = valueA;
  info_.name = name_.c_str();
  info_.infoValueB = valueB;
  info_.events = eventBlocks_.List();
}

HostAnimInfo::~HostAnimInfo() {
  for (AnimEvent* event : owned_) {
    delete[] event->name;
    delete event;
  }
}

}  // namespace kin::host
