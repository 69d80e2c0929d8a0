// Chooses which nodes of an imported scene are the bones of the skeleton.
//
// The skeleton is the part of the node tree that the animation drives:
//   - with a skin, the skin's joints;
//   - without one (BVH), the nodes the animation has channels for;
// plus every ancestor of those up to their lowest common ancestor, which
// becomes the root bone. Helper nodes that importers invent (names holding
// "$AssimpFbx$") are never bones: each is folded into the bone below it, whose
// local transform is then the product of the helpers' and its own. BVH end
// sites ("EndSite_" leaves) are never chosen, as nothing keys them.
#ifndef KIN_HOST_SKELETON_LAYOUT_H_
#define KIN_HOST_SKELETON_LAYOUT_H_

#include <string>
#include <vector>

#include "host/source_scene.h"

namespace kin::host {

struct BoneSpec {
  std::string name;  // as exported; never empty
  int parent = -1;   // index into `SkeletonLayout::bones`; -1 for the root
  // The nodes whose local transforms make up this bone's, outermost first:
  // any folded helper nodes, then the bone's own node last.
  std::vector<int> chain;
};

struct SkeletonLayout {
  // In pre-order (a bone before its children, children in file order), the
  // order the module writes them in. bones[0] is the root.
  std::vector<BoneSpec> bones;
  // The nodes above the root's chain, from the scene root down: model space
  // is relative to the scene root, so these are composed into the root.
  std::vector<int> above;
};

// The deepest bone tree accepted, in levels below the root and the root
// itself. Real skeletons stay far below it.
constexpr int kMaxBoneDepth = 1024;

// True for node names that an importer made up for its own bookkeeping.
bool IsHelperNodeName(const std::string& name);

// Builds the layout of `scene` for `animation`. Adds a warning to `warnings`
// for every bone with a made-up or empty name and for every name used twice.
// Returns an empty string on success, else why there is no skeleton (nothing
// to drive, no single root, or a tree deeper than `kMaxBoneDepth`). Safe on any
// scene whose nodes satisfy the parents-first order of `SourceNode` (checked; a
// violation is an error).
std::string BuildSkeletonLayout(const SourceScene& scene,
                                const SourceAnimation& animation,
                                SkeletonLayout* layout,
                                std::vector<std::string>* warnings);

}  // namespace kin::host

#endif  // KIN_HOST_SKELETON_LAYOUT_H_
