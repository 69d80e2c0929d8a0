// Poses a skeleton layout at a time: each bone's position and rotation in
// parent space (relative to the bone above) or model space (relative to the
// scene root).
#ifndef KIN_HOST_POSE_SAMPLER_H_
#define KIN_HOST_POSE_SAMPLER_H_

#include <vector>

#include "host/skeleton_layout.h"
#include "host/source_scene.h"

namespace kin::host {

enum class Space { kParent, kModel };

// One bone's pose as the module takes it: position x, y, z and the rotation
// quaternion x, y, z, w.
struct BonePose {
  float position[3];
  float rotation[4];
};

class PoseSampler {
 public:
  // Copies the channels of `animation` that drive nodes of `layout` (a
  // layout built from `scene`), with their keys cleaned by `PrepareKeys`.
  // The first channel for a node wins. A bone without a channel keeps its
  // rest transform.
  PoseSampler(const SourceScene& scene, const SourceAnimation& animation,
              const SkeletonLayout& layout, Space space);

  // Fills `poses` (resized to one per bone, in layout order) at `seconds`.
  void Pose(double seconds, std::vector<BonePose>* poses) const;

  // Whether any transform that goes into the poses has a scale other than 1,
  // at rest or in a key. The format has no scale, so such scale is lost.
  bool HasScale() const { return hasScale_; }
  // Keys dropped because their time or value was not a finite number.
  int DroppedKeys() const { return droppedKeys_; }
  // Channels ignored because an earlier one drove the same node.
  int DuplicateChannels() const { return duplicateChannels_; }

 private:
  struct Track {
    Vec3 restPosition;
    Quat restRotation;
    Vec3 restScale;
    std::vector<VectorKey> positions;
    std::vector<RotationKey> rotations;
    std::vector<VectorKey> scales;
  };
  struct BoneTracks {
    int parent;
    std::vector<int> chain;  // indices into tracks_
  };

  int AddTrack(const SourceScene& scene, int node,
               const std::vector<const SourceChannel*>& channelOfNode);
  Affine LocalAffine(const Track& track, double seconds) const;

  Space space_;
  std::vector<Track> tracks_;
  std::vector<BoneTracks> bones_;
  std::vector<int> above_;  // tracks of the nodes above the root
  bool hasScale_ = false;
  int droppedKeys_ = 0;
  int duplicateChannels_ = 0;
};

}  // namespace kin::host

#endif  // KIN_HOST_POSE_SAMPLER_H_
