// The imported animation scene as plain data, independent of any importer.
//
// An `Importer` turns a file into a `SourceScene`: the full node hierarchy
// with rest transforms, the nodes a skin binds (if any), and every
// animation's keyed channels with times in seconds. Everything the host does
// afterwards (choosing the bones, sampling poses, building the module's scene
// objects) works on this data alone, so tests can describe a scene by hand.
#ifndef KIN_HOST_SOURCE_SCENE_H_
#define KIN_HOST_SOURCE_SCENE_H_

#include <optional>
#include <string>
#include <vector>

#include "host/transform_math.h"

namespace kin::host {

struct VectorKey {
  double time;  // seconds
  Vec3 value;
};

struct RotationKey {
  double time;  // seconds
  Quat value;
};

// One node of the file's hierarchy. Nodes are stored parents first: a node's
// `parent` index is smaller than its own, and -1 only for the root (index 0).
struct SourceNode {
  std::string name;
  int parent = -1;
  // The rest transform, relative to the parent node.
  Vec3 position;
  Quat rotation;
  Vec3 scale{1, 1, 1};
  // True when the file gave the node no name of its own and the importer
  // made one up (kept in `name`).
  bool generatedName = false;
};

// The keys that drive one node. An empty key list leaves that part of the
// node at its rest value.
struct SourceChannel {
  int node = -1;  // index into `SourceScene::nodes`
  std::vector<VectorKey> positions;
  std::vector<RotationKey> rotations;
  std::vector<VectorKey> scales;
};

struct SourceAnimation {
  std::string name;
  double durationSeconds = 0;
  double ticksPerSecond = 0;  // as the file states it, for `--list`
  std::vector<SourceChannel> channels;
};

struct SourceScene {
  std::vector<SourceNode> nodes;
  // Nodes a skin binds to the mesh, in the file's order; empty when the file
  // has no skin (the animated nodes are then the skeleton).
  std::vector<int> skinJoints;
  std::vector<SourceAnimation> animations;
  // Frames per second where the format keys by frame (BVH frame time, FBX
  // time mode); unset where it keys by time.
  std::optional<double> frameRate;
  // Things the importer noticed and worked around, one sentence each.
  std::vector<std::string> warnings;
};

}  // namespace kin::host

#endif  // KIN_HOST_SOURCE_SCENE_H_
