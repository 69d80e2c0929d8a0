#include "host/skeleton_layout.h"

#include <algorithm>
#include <map>

namespace kin::host {
namespace {

bool IsEndSite(const std::string& name) {
  return name.rfind("EndSite_", 0) == 0;
}

// The nodes the skeleton is grown from: the skin's joints if there is a
// skin, else the nodes the animation keys.
std::vector<int> DrivenNodes(const SourceScene& scene,
                             const SourceAnimation& animation) {
  std::vector<int> starts;
  const int count = static_cast<int>(scene.nodes.size());
  auto add = [&](int node) {
    if (node < 0 || node >= count) return;
    const std::string& name = scene.nodes[node].name;
    if (IsHelperNodeName(name) || IsEndSite(name)) return;
    starts.push_back(node);
  };
  if (!scene.skinJoints.empty()) {
    for (int node : scene.skinJoints) add(node);
  } else {
    for (const SourceChannel& channel : animation.channels) {
      if (!channel.positions.empty() || !channel.rotations.empty() ||
          !channel.scales.empty()) {
        add(channel.node);
      }
    }
  }
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  return starts;
}

// The lowest common ancestor of `starts`: the deepest node whose subtree
// holds all of them. Linear in the number of nodes, whatever the depth.
int CommonAncestor(const std::vector<SourceNode>& nodes,
                   const std::vector<int>& starts) {
  const int count = static_cast<int>(nodes.size());
  std::vector<int> below(count, 0);
  for (int start : starts) ++below[start];
  for (int i = count - 1; i > 0; --i) below[nodes[i].parent] += below[i];
  std::vector<int> depth(count, 0);
  int best = 0;
  for (int i = 1; i < count; ++i) {
    depth[i] = depth[nodes[i].parent] + 1;
    if (below[i] == static_cast<int>(starts.size()) && depth[i] > depth[best]) {
      best = i;
    }
  }
  return best;
}

// Reorders `bones` (parents before children) into pre-order, keeping
// siblings in their given order, and renumbers the parent links.
void PutInPreOrder(std::vector<BoneSpec>* bones) {
  const int count = static_cast<int>(bones->size());
  std::vector<std::vector<int>> children(count);
  for (int i = 1; i < count; ++i) children[(*bones)[i].parent].push_back(i);
  std::vector<int> order;
  std::vector<int> stack{0};
  while (!stack.empty()) {
    const int bone = stack.back();
    stack.pop_back();
    order.push_back(bone);
    for (auto it = children[bone].rbegin(); it != children[bone].rend(); ++it) {
      stack.push_back(*it);
    }
  }
  std::vector<int> newIndex(count);
  for (int i = 0; i < count; ++i) newIndex[order[i]] = i;
  std::vector<BoneSpec> sorted;
  sorted.reserve(count);
  for (int old : order) {
    BoneSpec bone = std::move((*bones)[old]);
    if (bone.parent >= 0) bone.parent = newIndex[bone.parent];
    sorted.push_back(std::move(bone));
  }
  *bones = std::move(sorted);
}

}  // namespace

bool IsHelperNodeName(const std::string& name) {
  return name.find("$AssimpFbx$") != std::string::npos;
}

std::string BuildSkeletonLayout(const SourceScene& scene,
                                const SourceAnimation& animation,
                                SkeletonLayout* layout,
                                std::vector<std::string>* warnings) {
  *layout = SkeletonLayout{};
  const std::vector<SourceNode>& nodes = scene.nodes;
  const int count = static_cast<int>(nodes.size());
  for (int i = 0; i < count; ++i) {
    const int parent = nodes[i].parent;
    if ((i == 0) != (parent < 0) || parent >= i) {
      return "node " + std::to_string(i) + " ('" + nodes[i].name +
             "') breaks the parents-first node order";
    }
  }

  const std::vector<int> starts = DrivenNodes(scene, animation);
  if (starts.empty()) {
    return scene.skinJoints.empty()
               ? "no skeleton: the file has no skin, and animation '" +
                     animation.name + "' keys no node"
               : "no skeleton: the skin binds no usable node";
  }

  int root = CommonAncestor(nodes, starts);
  // A helper cannot be the root bone: climb to the real node above it.
  while (root >= 0 && IsHelperNodeName(nodes[root].name)) {
    root = nodes[root].parent;
  }
  if (root < 0) return "no skeleton: the joints share no common parent node";

  // Mark the starts and every node between them and the root.
  std::vector<char> inSkeleton(count, 0);
  inSkeleton[root] = 1;
  for (int start : starts) {
    for (int at = start; at >= 0 && !inSkeleton[at]; at = nodes[at].parent) {
      inSkeleton[at] = 1;
    }
  }

  // Bones in node order (parents first); helpers fold into the bone below
  // them.
  std::vector<int> boneOfNode(count, -1);
  for (int node = root; node < count; ++node) {
    if (!inSkeleton[node] || IsHelperNodeName(nodes[node].name)) continue;
    BoneSpec bone;
    bone.name = nodes[node].name;
    int at = nodes[node].parent;
    while (at >= 0 && IsHelperNodeName(nodes[at].name)) {
      bone.chain.insert(bone.chain.begin(), at);
      at = nodes[at].parent;
    }
    bone.chain.push_back(node);
    if (node != root) {
      // The nearest bone above; it exists because every node on the path
      // up to the root is in the skeleton.
      bone.parent = at >= 0 ? boneOfNode[at] : -1;
      if (bone.parent < 0) continue;
    }
    boneOfNode[node] = static_cast<int>(layout->bones.size());
    layout->bones.push_back(std::move(bone));
  }
  PutInPreOrder(&layout->bones);
  for (int at = nodes[layout->bones[0].chain.front()].parent; at >= 0;
       at = nodes[at].parent) {
    layout->above.push_back(at);
  }
  std::reverse(layout->above.begin(), layout->above.end());

  // No real skeleton comes near this depth: a deeper tree is a malformed or
  // hostile file, refused here rather than handed to every program that
  // reads the output.
  std::vector<int> depth(layout->bones.size(), 0);
  for (size_t i = 1; i < layout->bones.size(); ++i) {
    depth[i] = depth[layout->bones[i].parent] + 1;
    if (depth[i] >= kMaxBoneDepth) {
      *layout = SkeletonLayout{};
      return "the bone tree is more than " + std::to_string(kMaxBoneDepth) +
             " levels deep";
    }
  }

  // Names: made-up and empty ones, then duplicates.
  std::map<std::string, int> uses;
  for (size_t i = 0; i < layout->bones.size(); ++i) {
    BoneSpec& bone = layout->bones[i];
    const SourceNode& node = nodes[bone.chain.back()];
    if (bone.name.empty()) {
      bone.name = "bone" + std::to_string(i);
      warnings->push_back("bone " + std::to_string(i) +
                          " has no name; exported as '" + bone.name + "'");
    } else if (node.generatedName) {
      warnings->push_back("bone " + std::to_string(i) +
                          " has no name in the file; exported as '" +
                          bone.name + "'");
    }
    ++uses[bone.name];
  }
  for (const auto& [name, times] : uses) {
    if (times > 1) {
      warnings->push_back("bone name '" + name + "' is used by " +
                          std::to_string(times) + " bones");
    }
  }
  return {};
}

}  // namespace kin::host
