// The host's scene objects as the module sees them: block rings, children
// lists, SetFrame timing, event allocation.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "host/host_scene.h"
#include "test_support.h"

namespace kin::host {
namespace {

TEST(BlockRing, CutsItemsIntoARingOfBlocks) {
  int values[5] = {0, 1, 2, 3, 4};
  std::vector<int*> items;
  for (int& v : values) items.push_back(&v);
  BlockRing<int> ring;
  ring.Assign(items, 2);
  const PtrBlockList<int> list = ring.List();
  ASSERT_NE(nullptr, list.head);
  EXPECT_EQ(2, list.head->count);
  EXPECT_EQ(2, list.head->next->count);
  EXPECT_EQ(1, list.head->next->next->count);
  EXPECT_EQ(list.head, list.head->next->next->next);  // back to the head
  EXPECT_EQ(5, CountItems(list));
  std::vector<int> seen;
  ForEachItem(list, [&](int* item) { seen.push_back(*item); });
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), seen);

  ring.Assign({}, 2);
  EXPECT_EQ(nullptr, ring.List().head);
  ring.Assign({&values[3]}, 0);  // block size clamps to 1
  EXPECT_EQ(1, CountItems(ring.List()));
  EXPECT_EQ(ring.List().head, ring.List().head->next);
}

SkeletonLayout ThreeChildren() {
  SkeletonLayout layout;
  layout.bones = {{"R", -1, {0}}, {"A", 0, {1}}, {"B", 0, {2}}, {"C", 0, {3}}};
  return layout;
}

SourceScene ThreeChildrenScene() {
  SourceScene scene;
  testing::AddNode(&scene, "R", -1);
  for (const char* name : {"A", "B", "C"}) testing::AddNode(&scene, name, 0);
  SourceAnimation animation;
  animation.channels.push_back(
      testing::MovingChannel(0, {0, 0, 0}, {10, 0, 0}, 1));
  scene.animations.push_back(animation);
  return scene;
}

TEST(HostSkeleton, ChildrenListsFollowTheLayoutAcrossBlocks) {
  const SourceScene scene = ThreeChildrenScene();
  const SkeletonLayout layout = ThreeChildren();
  HostSkeleton skeleton(
      layout, PoseSampler(scene, scene.animations[0], layout, Space::kParent),
      10, nullptr, /*blockSize=*/2);
  ASSERT_NE(nullptr, skeleton.root);
  EXPECT_STREQ("R", skeleton.root->GetName());
  std::vector<std::string> names;
  ForEachItem(skeleton.root->children,
              [&](Bone* bone) { names.push_back(bone->GetName()); });
  EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), names);
  EXPECT_NE(skeleton.root->children.head, skeleton.root->children.head->next);
}

TEST(HostSkeleton, SetFramePosesAtFrameOverFpsAndCounts) {
  const SourceScene scene = ThreeChildrenScene();
  const SkeletonLayout layout = ThreeChildren();
  std::atomic<int64_t> posed{0};
  HostSkeleton skeleton(
      layout, PoseSampler(scene, scene.animations[0], layout, Space::kParent),
      10, &posed);
  float position[3];
  skeleton.root->GetPosition(position);
  EXPECT_FLOAT_EQ(0, position[0]);  // frame 0 before any SetFrame
  EXPECT_EQ(0, posed.load());
  struct Case {
    int frame;
    float x;
  } cases[] = {{5, 5}, {2, 2}, {10, 10}, {40, 10}, {-3, 0}};
  for (const Case& c : cases) {
    skeleton.SetFrame(c.frame);
    skeleton.root->GetPosition(position);
    EXPECT_FLOAT_EQ(c.x, position[0]) << "frame " << c.frame;
  }
  float rotation[4];
  skeleton.root->GetRotation(rotation);
  EXPECT_FLOAT_EQ(1, rotation[3]);  // identity, w last
  EXPECT_EQ(5, posed.load());
  EXPECT_EQ(5, skeleton.SetFrameCalls());
}

TEST(HostAnimInfo, HoldsTheRecordAndHeapEvents) {
  const std::vector<EventSpec> events = {{3, 7, "step"}, {9, 0, ""}};
  HostAnimInfo info("walk", 2, 40, 0xCAFEF00D, 5, events, 1);
  AnimInfo* record = info.Get();
  EXPECT_EQ(2, record->startFrame);
  EXPECT_EQ(40, record->endFrame);
  EXPECT_EQ(0xCAFEF00Du, record->infoValueA);
  EXPECT_EQ(5u, record->infoValueB);
  EXPECT_STREQ("walk", record->name);
  std::vector<AnimEvent*> seen;
  ForEachItem(record->events, [&](AnimEvent* e) { seen.push_back(e); });
  ASSERT_EQ(2u, seen.size());
  EXPECT_EQ(3, seen[0]->frame);
  EXPECT_EQ(7u, seen[0]->value);
  EXPECT_STREQ("step", seen[0]->name);
  EXPECT_STREQ("", seen[1]->name);
  // Released as the module does; the destructor must not free them again
  // (AddressSanitizer would report a double free).
  for (AnimEvent* e : seen) {
    delete[] e->name;
    delete e;
  }
  info.EventsTaken();
}

TEST(HostAnimInfo, FreesEventsTheModuleNeverTook) {
  // Leak-checked under AddressSanitizer: the destructor owns the events.
  HostAnimInfo info("x", 0, 1, 0, 0, {{0, 0, "a"}, {1, 2, "b"}});
  EXPECT_EQ(2, CountItems(info.Get()->events));
  HostAnimInfo empty("x", 0, 1, 0, 0, {});
  EXPECT_EQ(nullptr, empty.Get()->events.head);
}

}  // namespace
}  // namespace kin::host
