// A host built without the module's headers: its scene objects are its own
// structs with its own tables of function pointers in slot order, and it
// reaches the module only through `dlopen`/`dlsym` of the built plug-in.
// What passes here is the binary contract a separately compiled host sees.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/alloc_tracker.h"
#include "tests/support/kin_bytes.h"
#include "tests/support/temp_dir.h"

namespace {

namespace kb = kin_bytes;

// ---- The host's own view of the layout -------------------------------------

using Slot = void (*)();

struct HostBlock {
  HostBlock* next;
  uint32_t hostData;
  int32_t count;
  void* items[1];
};

struct HostList {
  HostBlock* head;
};

struct HostSkeleton;

struct HostBone {
  const Slot* vtable;  // GetName, GetPosition, GetRotation
  HostList children;
  // The host's own fields, unseen by the module.
  HostSkeleton* owner;
  int index;
  std::string name;
};

struct HostSkeleton {
  const Slot* vtable;  // Destroy, SetFrame
  HostBone* root;
  // The host's own fields, unseen by the module.
  int frame;
  std::vector<std::string> calls;
  uint32_t bits[7];  // when set, every bone reports these raw reals
  bool rawBits;
};

struct HostEvent {
  int32_t frame;
  uint32_t value;
  char* name;
};

struct HostInfo {
  int32_t startFrame;
  int32_t endFrame;
  uint32_t infoValueA;
  const char* name;
  uint32_t infoValueB;
  HostList events;
};

static_assert(offsetof(HostBlock, items) == 2 * sizeof(void*) ||
                  offsetof(HostBlock, items) == sizeof(void*) + 8,
              "items follow next, hostData and count");

// The pose of bone b at frame f, as raw reals.
void PoseBits(const HostSkeleton& s, int bone, uint32_t out[7]) {
  if (s.rawBits) {
    std::memcpy(out, s.bits, sizeof s.bits);
    return;
  }
  const float values[7] = {static_cast<float>(bone),
                           static_cast<float>(s.frame % 4096),
                           -1.5f,
                           0.0f,
                           0.0f,
                           0.5f * static_cast<float>(bone),
                           1.0f};
  std::memcpy(out, values, sizeof values);
}

void SkeletonDestroy(HostSkeleton* s) { s->calls.push_back("Destroy"); }
void SkeletonSetFrame(HostSkeleton* s, int frame) {
  s->calls.push_back("SetFrame " + std::to_string(frame));
  s->frame = frame;
}
const char* BoneGetName(HostBone* b) {
  b->owner->calls.push_back("GetName " + b->name);
  return b->name.c_str();
}
void BoneGetPosition(HostBone* b, float* out) {
  b->owner->calls.push_back("GetPosition " + b->name);
  uint32_t bits[7];
  PoseBits(*b->owner, b->index, bits);
  std::memcpy(out, bits, 3 * 4);
}
void BoneGetRotation(HostBone* b, float* out) {
  b->owner->calls.push_back("GetRotation " + b->name);
  uint32_t bits[7];
  PoseBits(*b->owner, b->index, bits);
  std::memcpy(out, bits + 3, 4 * 4);
}

const Slot kSkeletonSlots[] = {reinterpret_cast<Slot>(&SkeletonDestroy),
                               reinterpret_cast<Slot>(&SkeletonSetFrame)};
const Slot kBoneSlots[] = {reinterpret_cast<Slot>(&BoneGetName),
                           reinterpret_cast<Slot>(&BoneGetPosition),
                           reinterpret_cast<Slot>(&BoneGetRotation)};

// Owns the memory of a hand-built scene.
class HostScene {
 public:
  HostScene() {
    skeleton.vtable = kSkeletonSlots;
    skeleton.root = nullptr;
    skeleton.frame = -1;
    skeleton.rawBits = false;
  }
  ~HostScene() {
    for (size_t i = 0; i < events_.size(); ++i) {
      const bool eventTaken = alloc_tracker::Releases(events_[i]) > 0;
      const bool nameTaken = alloc_tracker::Releases(names_[i]) > 0;
      alloc_tracker::Forget(events_[i]);
      alloc_tracker::Forget(names_[i]);
      if (!nameTaken) delete[] names_[i];
      if (!eventTaken) delete events_[i];
    }
  }

  // Adds a bone under `parent` (-1: the root, first); returns its index.
  int AddBone(const std::string& name, int parent = -1) {
    auto bone = std::make_unique<HostBone>();
    bone->vtable = kBoneSlots;
    bone->children.head = nullptr;
    bone->owner = &skeleton;
    bone->index = static_cast<int>(bones_.size());
    bone->name = name;
    if (parent >= 0) children_[parent].push_back(bone.get());
    bones_.push_back(std::move(bone));
    children_.emplace_back();
    blockSizes_.emplace_back();
    return static_cast<int>(bones_.size()) - 1;
  }
  void SetBlockSizes(int bone, std::vector<int> sizes) {
    blockSizes_[bone] = sizes;
  }

  void AddEvent(int32_t frame, uint32_t value, const std::string& name) {
    auto* event = new HostEvent{frame, value, new char[name.size() + 1]};
    std::memcpy(event->name, name.c_str(), name.size() + 1);
    alloc_tracker::Watch(event);
    alloc_tracker::Watch(event->name);
    events_.push_back(event);
    names_.push_back(event->name);
  }

  void Build(const std::string& name, int32_t first, int32_t last,
             std::vector<int> eventBlocks = {}) {
    for (size_t b = 0; b < bones_.size(); ++b) {
      bones_[b]->children.head = Ring(children_[b], blockSizes_[b]);
    }
    skeleton.root = bones_.empty() ? nullptr : bones_[0].get();
    name_ = name;
    info = {first,
            last,
            0xCAFEF00D,
            name_.c_str(),
            0x00C0FFEE,
            {Ring(std::vector<void*>(events_.begin(), events_.end()),
                  eventBlocks)}};
  }

  bool EventsReleasedOnce() const {
    for (size_t i = 0; i < events_.size(); ++i) {
      if (alloc_tracker::Releases(events_[i]) != 1 ||
          alloc_tracker::Releases(names_[i]) != 1) {
        return false;
      }
    }
    return true;
  }
  bool EventsUntouched() const {
    for (size_t i = 0; i < events_.size(); ++i) {
      if (alloc_tracker::Releases(events_[i]) != 0 ||
          alloc_tracker::Releases(names_[i]) != 0) {
        return false;
      }
    }
    return true;
  }
  uint64_t LastEventRelease() const {
    uint64_t last = 0;
    for (auto* e : events_)
      last = std::max(last, alloc_tracker::LastReleaseTick(e));
    return last;
  }

  kb::Record RecordOf(int bone) const {
    kb::Record r;
    PoseBits(skeleton, bone, r.bits);
    return r;
  }

  HostSkeleton skeleton;
  HostInfo info{};

 private:
  template <typename T>
  HostBlock* Ring(const std::vector<T*>& items, std::vector<int> sizes) {
    size_t placed = 0;
    for (int s : sizes) placed += static_cast<size_t>(s);
    if (placed < items.size())
      sizes.push_back(static_cast<int>(items.size() - placed));
    HostBlock* head = nullptr;
    HostBlock* previous = nullptr;
    size_t next = 0;
    for (int size : sizes) {
      storage_.emplace_back(
          new char[offsetof(HostBlock, items) + sizeof(void*) * size]);
      auto* block = reinterpret_cast<HostBlock*>(storage_.back().get());
      block->hostData = 0xFFFFFFFF;
      block->count = size;
      void** slots = block->items;
      for (int i = 0; i < size; ++i) slots[i] = items[next++];
      (previous != nullptr ? previous->next : head) = block;
      previous = block;
    }
    if (previous != nullptr) previous->next = head;
    return head;
  }

  std::vector<std::unique_ptr<HostBone>> bones_;
  std::vector<std::vector<HostBone*>> children_;
  std::vector<std::vector<int>> blockSizes_;
  std::vector<HostEvent*> events_;
  std::vector<char*> names_;
  std::vector<std::unique_ptr<char[]>> storage_;
  std::string name_;
};

// ---- The plug-in, loaded as a host loads it ---------------------------------

using ExporterTypeFn = int (*)();
using ExtensionFn = const char* (*)();
using ExportAnimFn = int (*)(void* skeleton, void* info, const char* fileName);

class HandBuiltHost : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    handle_ = dlopen(KINEXPORT_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    exporterType_ =
        reinterpret_cast<ExporterTypeFn>(dlsym(handle_, "ExporterType"));
    extension_ = reinterpret_cast<ExtensionFn>(dlsym(handle_, "Extension"));
    exportAnim_ = reinterpret_cast<ExportAnimFn>(dlsym(handle_, "ExportAnim"));
  }
  static void TearDownTestSuite() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  void SetUp() override {
    ASSERT_NE(exporterType_, nullptr);
    ASSERT_NE(extension_, nullptr);
    ASSERT_NE(exportAnim_, nullptr);
  }

  int Export(HostScene& scene, const std::string& path) {
    return exportAnim_(&scene.skeleton, &scene.info, path.c_str());
  }

  static void* handle_;
  static ExporterTypeFn exporterType_;
  static ExtensionFn extension_;
  static ExportAnimFn exportAnim_;
  test_files::TempDir dir_;
};

void* HandBuiltHost::handle_ = nullptr;
ExporterTypeFn HandBuiltHost::exporterType_ = nullptr;
ExtensionFn HandBuiltHost::extension_ = nullptr;
ExportAnimFn HandBuiltHost::exportAnim_ = nullptr;

TEST_F(HandBuiltHost, DescribesTheExporter) {
  EXPECT_EQ(exporterType_(), 1);
  const char* extension = extension_();
  EXPECT_STREQ(extension, "KIN");
  EXPECT_EQ(extension_(), extension);
}

TEST_F(HandBuiltHost, WritesTheWorkedExample) {
  HostScene scene;
  scene.AddBone("hips");
  scene.Build("walk", 0, 1);
  const std::string path = dir_.File("walk.kin");
  ASSERT_EQ(Export(scene, path), 0);
  std::vector<std::string> chunks = {
      kb::Info("walk", 2, 0xCAFEF00D, 0x00C0FFEE), kb::Events({}),
      kb::Skeleton({"hips", {}})};
  for (int frame = 0; frame <= 1; ++frame) {
    scene.skeleton.frame = frame;
    chunks.push_back(kb::Frame(frame, {scene.RecordOf(0)}));
  }
  const std::string bytes = test_files::ReadAll(path);
  EXPECT_EQ(bytes.size(), 184u);
  EXPECT_EQ(bytes, kb::File(chunks));
  EXPECT_EQ(scene.skeleton.frame, 1)
      << "the skeleton stays posed at the last frame";
}

TEST_F(HandBuiltHost, FollowsTheCallContractOverRingsAndEvents) {
  // R(A(C, D, E), B): R's children in blocks of 1 and 1, A's in 2 and 1.
  HostScene scene;
  scene.AddBone("R");
  const int a = scene.AddBone("A", 0);
  scene.AddBone("B", 0);
  for (const char* name : {"C", "D", "E"}) scene.AddBone(name, a);
  scene.SetBlockSizes(0, {1, 1});
  scene.SetBlockSizes(a, {2, 1});
  scene.AddEvent(4, 10, "before");
  scene.AddEvent(5, 11, "first");
  scene.AddEvent(6, 12, "mid");
  scene.AddEvent(6, 13, "mid");
  scene.AddEvent(7, 14, "last");
  scene.AddEvent(8, 15, "after");
  scene.AddEvent(-5, 16, "negative");
  scene.Build("contract", 5, 7, {2, 2});
  const uint64_t before = alloc_tracker::Tick();
  const std::string path = dir_.File("contract.kin");
  ASSERT_EQ(Export(scene, path), 0);

  const std::vector<std::string> preorder = {"R", "A", "C", "D", "E", "B"};
  const std::vector<int> indices = {0, 1, 3, 4, 5, 2};
  std::vector<std::string> expected;
  for (const auto& name : preorder) expected.push_back("GetName " + name);
  std::vector<std::string> chunks = {
      kb::Info("contract", 3, 0xCAFEF00D, 0x00C0FFEE),
      kb::Events(
          {{0, 11, "first"}, {1, 12, "mid"}, {1, 13, "mid"}, {2, 14, "last"}}),
      kb::Skeleton(
          {"R", {{"A", {{"C", {}}, {"D", {}}, {"E", {}}}}, {"B", {}}}})};
  for (int frame = 5; frame <= 7; ++frame) {
    expected.push_back("SetFrame " + std::to_string(frame));
    std::vector<kb::Record> records;
    scene.skeleton.frame = frame;
    for (size_t i = 0; i < preorder.size(); ++i) {
      expected.push_back("GetPosition " + preorder[i]);
      expected.push_back("GetRotation " + preorder[i]);
      records.push_back(scene.RecordOf(indices[i]));
    }
    chunks.push_back(kb::Frame(frame - 5, records));
  }
  EXPECT_EQ(scene.skeleton.calls, expected);
  EXPECT_EQ(test_files::ReadAll(path), kb::File(chunks));
  EXPECT_TRUE(scene.EventsReleasedOnce());
  EXPECT_GT(scene.LastEventRelease(), before);
}

TEST_F(HandBuiltHost, CopiesRawBitPatterns) {
  HostScene scene;
  scene.AddBone("raw");
  const uint32_t bits[7] = {0x7F800001, 0x7FA00000, 0xFFC00001, 0x80000000,
                            0x00000001, 0xFF800000, 0x7F7FFFFF};
  std::memcpy(scene.skeleton.bits, bits, sizeof bits);
  scene.skeleton.rawBits = true;
  scene.Build("", 3, 3);
  const std::string path = dir_.File("raw.kin");
  ASSERT_EQ(Export(scene, path), 0);
  EXPECT_EQ(
      test_files::ReadAll(path),
      kb::File({kb::Info("", 1, 0xCAFEF00D, 0x00C0FFEE), kb::Events({}),
                kb::Skeleton({"raw", {}}), kb::Frame(0, {scene.RecordOf(0)})}));
}

TEST_F(HandBuiltHost, RangesEndingAtInt32MaxAndReversed) {
  struct Case {
    int32_t first, last;
    int frames;
  };
  for (const Case& c : {Case{INT32_MAX - 1, INT32_MAX, 2}, Case{9, 4, 0}}) {
    HostScene scene;
    scene.AddBone("root");
    scene.AddEvent(c.last, 1, "e");
    scene.Build("r", c.first, c.last);
    const std::string path = dir_.File("range.kin");
    ASSERT_EQ(Export(scene, path), 0);
    std::vector<std::string> chunks = {
        kb::Info("r", c.frames == 0 ? c.last - c.first + 1 : c.frames,
                 0xCAFEF00D, 0x00C0FFEE),
        kb::Events(c.frames == 0
                       ? std::vector<kb::Event>{}
                       : std::vector<kb::Event>{{c.frames - 1, 1, "e"}}),
        kb::Skeleton({"root", {}})};
    for (int n = 0; n < c.frames; ++n) {
      scene.skeleton.frame = c.first + n;
      chunks.push_back(kb::Frame(n, {scene.RecordOf(0)}));
    }
    EXPECT_EQ(test_files::ReadAll(path), kb::File(chunks))
        << c.first << ".." << c.last;
    EXPECT_TRUE(scene.EventsReleasedOnce());
  }
}

TEST_F(HandBuiltHost, FailuresReturn16AndTouchNothing) {
  HostScene scene;
  scene.AddBone("root");
  scene.AddEvent(0, 1, "kept");
  scene.Build("f", 0, 3);
  const std::string unopenable = dir_.File("missing/dir/out.kin");
  EXPECT_EQ(Export(scene, unopenable), 16);
  EXPECT_EQ(exportAnim_(nullptr, &scene.info, dir_.File("a.kin").c_str()), 16);
  EXPECT_EQ(exportAnim_(&scene.skeleton, nullptr, dir_.File("b.kin").c_str()),
            16);
  EXPECT_EQ(exportAnim_(&scene.skeleton, &scene.info, nullptr), 16);
  scene.skeleton.root = nullptr;
  EXPECT_EQ(Export(scene, dir_.File("c.kin")), 16);
  EXPECT_TRUE(scene.skeleton.calls.empty());
  EXPECT_TRUE(scene.EventsUntouched());
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

}  // namespace
