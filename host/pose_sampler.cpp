#include "host/pose_sampler.h"

#include "host/key_sampling.h"

namespace kin::host {
namespace {

void Fill(const Vec3& position, const Quat& rotation, BonePose* pose) {
  pose->position[0] = static_cast<float>(position.x);
  pose->position[1] = static_cast<float>(position.y);
  pose->position[2] = static_cast<float>(position.z);
  // The module takes x, y, z, w: w goes last.
  pose->rotation[0] = static_cast<float>(rotation.x);
  pose->rotation[1] = static_cast<float>(rotation.y);
  pose->rotation[2] = static_cast<float>(rotation.z);
  pose->rotation[3] = static_cast<float>(rotation.w);
}

}  // namespace

PoseSampler::PoseSampler(const SourceScene& scene,
                         const SourceAnimation& animation,
                         const SkeletonLayout& layout, Space space)
    : space_(space) {
  std::vector<const SourceChannel*> channelOfNode(scene.nodes.size(), nullptr);
  for (const SourceChannel& channel : animation.channels) {
    if (channel.node < 0 ||
        channel.node >= static_cast<int>(scene.nodes.size())) {
      continue;
    }
    if (channelOfNode[channel.node] != nullptr) {
      ++duplicateChannels_;
      continue;
    }
    channelOfNode[channel.node] = &channel;
  }
  for (const BoneSpec& bone : layout.bones) {
    BoneTracks tracks{bone.parent, {}};
    for (int node : bone.chain) {
      tracks.chain.push_back(AddTrack(scene, node, channelOfNode));
    }
    bones_.push_back(std::move(tracks));
  }
  if (space_ == Space::kModel) {
    for (int node : layout.above) {
      above_.push_back(AddTrack(scene, node, channelOfNode));
    }
  }
}

int PoseSampler::AddTrack(
    const SourceScene& scene, int node,
    const std::vector<const SourceChannel*>& channelOfNode) {
  const SourceNode& source = scene.nodes[node];
  Track track{source.position, source.rotation, source.scale, {}, {}, {}};
  if (const SourceChannel* channel = channelOfNode[node]) {
    track.positions = channel->positions;
    track.rotations = channel->rotations;
    track.scales = channel->scales;
    droppedKeys_ += PrepareKeys(&track.positions);
    droppedKeys_ += PrepareKeys(&track.rotations);
    droppedKeys_ += PrepareKeys(&track.scales);
  }
  if (track.scales.empty()) {
    hasScale_ = hasScale_ || !IsUnitScale(track.restScale);
  }
  for (const VectorKey& key : track.scales) {
    hasScale_ = hasScale_ || !IsUnitScale(key.value);
  }
  tracks_.push_back(std::move(track));
  return static_cast<int>(tracks_.size()) - 1;
}

Affine PoseSampler::LocalAffine(const Track& track, double seconds) const {
  return FromTrs(SampleVector(track.positions, seconds, track.restPosition),
                 SampleRotation(track.rotations, seconds, track.restRotation),
                 SampleVector(track.scales, seconds, track.restScale));
}

void PoseSampler::Pose(double seconds, std::vector<BonePose>* poses) const {
  poses->resize(bones_.size());
  std::vector<Affine> model(space_ == Space::kModel ? bones_.size() : 0);
  Affine aboveRoot;
  for (int track : above_) {
    aboveRoot = Compose(aboveRoot, LocalAffine(tracks_[track], seconds));
  }
  for (size_t i = 0; i < bones_.size(); ++i) {
    const BoneTracks& bone = bones_[i];
    if (space_ == Space::kParent && bone.chain.size() == 1) {
      // The common case: the node's own keys, with no round trip through a
      // matrix.
      const Track& track = tracks_[bone.chain[0]];
      Fill(SampleVector(track.positions, seconds, track.restPosition),
           SampleRotation(track.rotations, seconds, track.restRotation),
           &(*poses)[i]);
      continue;
    }
    Affine local;
    for (int track : bone.chain) {
      local = Compose(local, LocalAffine(tracks_[track], seconds));
    }
    if (space_ == Space::kModel) {
      const Affine& parent = bone.parent >= 0 ? model[bone.parent] : aboveRoot;
      model[i] = Compose(parent, local);
      local = model[i];
    }
    Vec3 position, scale;
    Quat rotation;
    Decompose(local, &position, &rotation, &scale);
    Fill(position, rotation, &(*poses)[i]);
  }
}

}  // namespace kin::host
