// Choosing the bones of a scene and posing them: BVH-like rigs, skinned
// rigs under an armature, helper-node folding, naming warnings, parent and
// model space.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/pose_sampler.h"
#include "host/skeleton_layout.h"
#include "test_support.h"

namespace kin::host {
namespace {

using testing::AddNode;
using testing::AxisAngle;

std::vector<std::string> Names(const SkeletonLayout& layout) {
  std::vector<std::string> names;
  for (const BoneSpec& bone : layout.bones) names.push_back(bone.name);
  return names;
}
std::vector<int> Parents(const SkeletonLayout& layout) {
  std::vector<int> parents;
  for (const BoneSpec& bone : layout.bones) parents.push_back(bone.parent);
  return parents;
}

SkeletonLayout Build(const SourceScene& scene,
                     std::vector<std::string>* warnings = nullptr) {
  std::vector<std::string> ignored;
  SkeletonLayout layout;
  const std::string error = BuildSkeletonLayout(
      scene, scene.animations.at(0), &layout, warnings ? warnings : &ignored);
  EXPECT_EQ("", error);
  return layout;
}

TEST(SkeletonLayout, AnimatedNodesInFileOrderWithoutEndSites) {
  const SkeletonLayout layout = Build(testing::WalkScene());
  EXPECT_EQ((std::vector<std::string>{"Hips", "Spine", "Head", "Leg"}),
            Names(layout));
  EXPECT_EQ((std::vector<int>{-1, 0, 1, 0}), Parents(layout));
  EXPECT_TRUE(layout.above.empty());
}

// Scene > Armature > {Root > {A, B}, Mesh}, skin on A and B, with the
// animation also keying Armature: the skin decides, and the joints' lowest
// common ancestor (Root, not a joint itself) becomes the root bone.
SourceScene SkinnedScene() {
  SourceScene scene;
  const int top = AddNode(&scene, "Scene", -1);
  const int armature = AddNode(&scene, "Armature", top, {5, 0, 0});
  const int root = AddNode(&scene, "Root", armature);
  const int a = AddNode(&scene, "A", root, {1, 0, 0});
  AddNode(&scene, "A_end", a);
  const int b = AddNode(&scene, "B", root, {-1, 0, 0});
  AddNode(&scene, "Mesh", armature);
  scene.skinJoints = {b, a};
  SourceAnimation animation;
  animation.name = "pose";
  SourceChannel channel;
  channel.node = armature;
  channel.positions = {{0, {5, 0, 0}}};
  animation.channels.push_back(channel);
  channel.node = a;
  animation.channels.push_back(channel);
  scene.animations.push_back(animation);
  return scene;
}

TEST(SkeletonLayout, SkinJointsUpToTheirLowestCommonAncestor) {
  const SkeletonLayout layout = Build(SkinnedScene());
  EXPECT_EQ((std::vector<std::string>{"Root", "A", "B"}), Names(layout));
  EXPECT_EQ((std::vector<int>{-1, 0, 0}), Parents(layout));
  EXPECT_EQ((std::vector<int>{0, 1}), layout.above);  // Scene, Armature
}

TEST(SkeletonLayout, JointsOnOneChainIncludeTheNodesBetween) {
  SourceScene scene;
  const int top = AddNode(&scene, "Top", -1);
  const int j1 = AddNode(&scene, "J1", top);
  const int mid = AddNode(&scene, "Mid", j1);
  const int j2 = AddNode(&scene, "J2", mid);
  scene.skinJoints = {j2, j1};
  scene.animations.push_back({});
  const SkeletonLayout layout = Build(scene);
  EXPECT_EQ((std::vector<std::string>{"J1", "Mid", "J2"}), Names(layout));
}

TEST(SkeletonLayout, HelperNodesFoldIntoTheBoneBelow) {
  SourceScene scene;
  const int top = AddNode(&scene, "RootNode", -1);
  const int helper =
      AddNode(&scene, "Hip_$AssimpFbx$_Translation", top, {0, 2, 0});
  const int hip = AddNode(&scene, "Hip", helper, {}, AxisAngle(0, 0, 1, 90));
  const int pivot = AddNode(&scene, "Knee_$AssimpFbx$_PreRotation", hip, {},
                            AxisAngle(1, 0, 0, 90));
  const int knee = AddNode(&scene, "Knee", pivot, {0, 1, 0});
  scene.skinJoints = {hip, knee, pivot};
  scene.animations.push_back({});
  const SkeletonLayout layout = Build(scene);
  ASSERT_EQ((std::vector<std::string>{"Hip", "Knee"}), Names(layout));
  EXPECT_EQ((std::vector<int>{helper, hip}), layout.bones[0].chain);
  EXPECT_EQ((std::vector<int>{pivot, knee}), layout.bones[1].chain);
  EXPECT_EQ((std::vector<int>{top}), layout.above);

  // The folded transform: Hip sits at the helper's (0, 2, 0) with its own
  // rotation; Knee takes the pivot's rotation and its own offset, which the
  // pivot turns from (0, 1, 0) into (0, 0, 1).
  PoseSampler sampler(scene, scene.animations[0], layout, Space::kParent);
  std::vector<BonePose> poses;
  sampler.Pose(0, &poses);
  EXPECT_NEAR(2, poses[0].position[1], 1e-6);
  EXPECT_NEAR(0.70710678, poses[0].rotation[2], 1e-6);
  EXPECT_NEAR(0.70710678, poses[0].rotation[3], 1e-6);
  EXPECT_NEAR(0, poses[1].position[1], 1e-6);
  EXPECT_NEAR(1, poses[1].position[2], 1e-6);
  EXPECT_NEAR(0.70710678, poses[1].rotation[0], 1e-6);
}

TEST(SkeletonLayout, PutsBonesInPreOrderWhateverTheNodeOrder) {
  // Parents first but breadth first: R, A, B, A1. Pre-order is R A A1 B.
  SourceScene scene;
  const int r = AddNode(&scene, "R", -1);
  const int a = AddNode(&scene, "A", r);
  AddNode(&scene, "B", r);
  AddNode(&scene, "A1", a);
  scene.skinJoints = {0, 1, 2, 3};
  scene.animations.push_back({});
  const SkeletonLayout layout = Build(scene);
  EXPECT_EQ((std::vector<std::string>{"R", "A", "A1", "B"}), Names(layout));
  EXPECT_EQ((std::vector<int>{-1, 0, 1, 0}), Parents(layout));
}

TEST(SkeletonLayout, WarnsAboutMissingAndDuplicateNames) {
  SourceScene scene;
  const int r = AddNode(&scene, "", -1);
  const int a = AddNode(&scene, "nodes[1]", r);
  scene.nodes[a].generatedName = true;
  const int b = AddNode(&scene, "Twin", r);
  const int c = AddNode(&scene, "Twin", b);
  scene.skinJoints = {r, a, b, c};
  scene.animations.push_back({});
  std::vector<std::string> warnings;
  const SkeletonLayout layout = Build(scene, &warnings);
  EXPECT_EQ("bone0", layout.bones[0].name);
  EXPECT_EQ("nodes[1]", layout.bones[1].name);
  ASSERT_EQ(3u, warnings.size());
  EXPECT_NE(std::string::npos, warnings[0].find("bone 0 has no name"));
  EXPECT_NE(std::string::npos, warnings[1].find("'nodes[1]'"));
  EXPECT_NE(std::string::npos, warnings[2].find("'Twin' is used by 2"));
}

TEST(SkeletonLayout, ReportsScenesWithoutASkeleton) {
  struct Case {
    const char* what;
    SourceScene scene;
    const char* error;
  };
  SourceScene unanimated;
  AddNode(&unanimated, "Mesh", -1);
  unanimated.animations.push_back({});
  SourceScene disordered;
  AddNode(&disordered, "R", -1);
  AddNode(&disordered, "Late", 2);
  AddNode(&disordered, "Early", 0);
  disordered.animations.push_back({});
  SourceScene onlyEndSites;
  AddNode(&onlyEndSites, "R", -1);
  AddNode(&onlyEndSites, "EndSite_R", 0);
  SourceAnimation keysEndSite;
  keysEndSite.channels.push_back(testing::MovingChannel(1, {}, {}, 1));
  onlyEndSites.animations.push_back(keysEndSite);
  const Case cases[] = {
      {"no skin, nothing keyed", unanimated, "no skeleton"},
      {"child before parent", disordered, "parents-first"},
      {"only an end site keyed", onlyEndSites, "no skeleton"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SkeletonLayout layout;
    std::vector<std::string> warnings;
    const std::string error =
        BuildSkeletonLayout(c.scene, c.scene.animations[0], &layout, &warnings);
    EXPECT_NE(std::string::npos, error.find(c.error)) << error;
  }
}

TEST(SkeletonLayout, TakesDeepChainsUpToTheLimit) {
  // A chain of animated nodes, as a hostile BVH might nest them: accepted
  // up to the limit, refused one level past it, in linear time either way.
  for (int levels : {kMaxBoneDepth, kMaxBoneDepth + 1}) {
    SourceScene scene;
    SourceAnimation animation;
    for (int i = 0; i < levels; ++i) {
      AddNode(&scene, "J" + std::to_string(i), i - 1);
      animation.channels.push_back(testing::MovingChannel(i, {}, {}, 1));
    }
    scene.animations.push_back(animation);
    SkeletonLayout layout;
    std::vector<std::string> warnings;
    const std::string error =
        BuildSkeletonLayout(scene, scene.animations[0], &layout, &warnings);
    if (levels == kMaxBoneDepth) {
      EXPECT_EQ("", error);
      EXPECT_EQ(static_cast<size_t>(levels), layout.bones.size());
      EXPECT_EQ(levels - 2, layout.bones.back().parent);
    } else {
      EXPECT_NE(std::string::npos, error.find("levels deep")) << error;
      EXPECT_TRUE(layout.bones.empty());
    }
  }
}

TEST(PoseSampler, ReportsParentSpaceWithWLast) {
  // Spine rests at (0, 1, 0); its key turns it 90 degrees about Z over one
  // second. Hips moves from 0 to (10, 0, 0).
  const SourceScene scene = testing::WalkScene();
  const SkeletonLayout layout = Build(scene);
  PoseSampler sampler(scene, scene.animations[0], layout, Space::kParent);
  std::vector<BonePose> poses;
  sampler.Pose(1, &poses);
  ASSERT_EQ(4u, poses.size());
  EXPECT_FLOAT_EQ(10, poses[0].position[0]);
  EXPECT_FLOAT_EQ(1, poses[1].position[1]);  // rest position, no key
  const float* q = poses[1].rotation;        // x, y, z, w
  EXPECT_NEAR(0, q[0], 1e-7);
  EXPECT_NEAR(0, q[1], 1e-7);
  EXPECT_NEAR(0.70710678, q[2], 1e-7);
  EXPECT_NEAR(0.70710678, q[3], 1e-7);
  sampler.Pose(0.5, &poses);
  EXPECT_FLOAT_EQ(5, poses[0].position[0]);
  EXPECT_NEAR(0.38268343, poses[1].rotation[2], 1e-7);
  EXPECT_NEAR(0.92387953, poses[1].rotation[3], 1e-7);
}

TEST(PoseSampler, ModelSpaceComposesTheChainFromTheSceneRoot) {
  // At t = 1: Hips at (10, 0, 0), Spine turned 90 degrees about Z at
  // (10, 1, 0); Head one unit up Spine's y axis, which now points along -x,
  // turned 180 degrees in all.
  const SourceScene scene = testing::WalkScene();
  const SkeletonLayout layout = Build(scene);
  PoseSampler sampler(scene, scene.animations[0], layout, Space::kModel);
  std::vector<BonePose> poses;
  sampler.Pose(1, &poses);
  EXPECT_NEAR(10, poses[1].position[0], 1e-6);
  EXPECT_NEAR(1, poses[1].position[1], 1e-6);
  EXPECT_NEAR(9, poses[2].position[0], 1e-6);
  EXPECT_NEAR(1, poses[2].position[1], 1e-6);
  EXPECT_NEAR(1, std::fabs(poses[2].rotation[2]), 1e-6);
  EXPECT_NEAR(0, poses[2].rotation[3], 1e-6);

  // Nodes above the root count in model space, not in parent space.
  const SourceScene skinned = SkinnedScene();
  const SkeletonLayout skinLayout = Build(skinned);
  PoseSampler model(skinned, skinned.animations[0], skinLayout, Space::kModel);
  PoseSampler parent(skinned, skinned.animations[0], skinLayout,
                     Space::kParent);
  model.Pose(0, &poses);
  EXPECT_NEAR(5, poses[0].position[0], 1e-6);   // Armature's offset
  EXPECT_NEAR(10, poses[1].position[0], 1e-6);  // A keyed at (5, 0, 0)
  parent.Pose(0, &poses);
  EXPECT_NEAR(0, poses[0].position[0], 1e-6);
  EXPECT_NEAR(5, poses[1].position[0], 1e-6);
}

TEST(PoseSampler, NoticesScaleOnBonesOnly) {
  SourceScene scene = SkinnedScene();
  {
    PoseSampler sampler(scene, scene.animations[0], Build(scene),
                        Space::kParent);
    EXPECT_FALSE(sampler.HasScale());
  }
  scene.nodes[1].scale = {100, 100, 100};  // Armature: above the root
  {
    PoseSampler parent(scene, scene.animations[0], Build(scene),
                       Space::kParent);
    EXPECT_FALSE(parent.HasScale());
    PoseSampler model(scene, scene.animations[0], Build(scene), Space::kModel);
    EXPECT_TRUE(model.HasScale());
  }
  scene.nodes[1].scale = {1, 1, 1};
  scene.animations[0].channels[1].scales = {{0, {1, 1, 1}}, {1, {1, 2, 1}}};
  PoseSampler keyed(scene, scene.animations[0], Build(scene), Space::kParent);
  EXPECT_TRUE(keyed.HasScale());
}

}  // namespace
}  // namespace kin::host
