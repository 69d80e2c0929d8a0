// Scene objects laid out by hand, the way a host built with the platform's
// own compiler hands them to the module.
//
// Nothing here comes from the module's headers. Each object starts with its
// virtual-table pointer, which points at slot 0 of a table of
// `__attribute__((thiscall))` function pointers: `this` in ECX, the callee
// removes the other arguments. As with that compiler, the word in front of
// slot 0 belongs to the compiler (run-time type information), and the module
// must neither read nor call it; it holds, like the word after the last slot,
// a function that records a stray call. The data fields follow the table
// pointer in the order the module reads them; the host keeps its own fields
// after them.
//
// Every call the module makes is recorded in the scene's call log, with the
// bone (or skeleton) that ECX named. A call whose `this` is not an object of
// the scene is recorded as `kBadThis` and answered with zeros, never
// dereferenced. Reals are handed over as bit patterns copied into the
// module's buffer, never loaded into floating-point registers.
#ifndef KIN_TESTS_WIN32_HOST_SCENE_H_
#define KIN_TESTS_WIN32_HOST_SCENE_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "tests/support/kin_bytes.h"

static_assert(sizeof(void*) == 4, "the Windows host is a 32-bit program");

namespace win32_host {

// One virtual-table slot; every slot is called with the thiscall convention.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"  // thiscall on plain functions
using Slot = void(__attribute__((thiscall)) *)();
#pragma GCC diagnostic pop

// The most items a hand-built block holds.
constexpr int kBlockCapacity = 8;

// One block of a pointer ring: the next block (the last points back to the
// head), a word of the host's own, the item count, the items inline.
struct Block {
  Block* next;
  uint32_t hostData;
  int32_t count;
  void* items[kBlockCapacity];
};
static_assert(offsetof(Block, next) == 0 && offsetof(Block, hostData) == 4 &&
                  offsetof(Block, count) == 8 && offsetof(Block, items) == 12,
              "block layout");

// A timed event; the module releases `name` and then the record itself.
struct Event {
  int32_t frame;
  uint32_t value;
  char* name;
};
static_assert(sizeof(Event) == 12 && offsetof(Event, name) == 8,
              "event layout");

// The animation record.
struct Info {
  int32_t startFrame;
  int32_t endFrame;
  uint32_t infoValueA;
  const char* name;
  uint32_t infoValueB;
  Block* events;  // the list: its head block, null when empty
};
static_assert(offsetof(Info, endFrame) == 4 &&
                  offsetof(Info, infoValueA) == 8 &&
                  offsetof(Info, name) == 12 &&
                  offsetof(Info, infoValueB) == 16 &&
                  offsetof(Info, events) == 20 && sizeof(Info) == 24,
              "animation record layout");

class Scene;

struct Bone {
  const Slot* vtable;  // slots: GetName, GetPosition, GetRotation
  Block* children;
  // The host's own.
  Scene* scene;
  int id;
  std::string name;
  std::vector<int> childIds;
};
static_assert(offsetof(Bone, children) == 4, "bone layout");

struct Skeleton {
  const Slot* vtable;  // slots: Destroy, SetFrame
  Bone* root;
  // The host's own.
  Scene* scene;
  int32_t frame;
};
static_assert(offsetof(Skeleton, root) == 4, "skeleton layout");

enum class Call {
  kDestroy,
  kSetFrame,
  kGetName,
  kGetPosition,
  kGetRotation,
  kStraySlot,
  kBadThis,
};

// One call the module made. `bone` is the bone's id (-1 for the skeleton);
// `frame` is the argument of `SetFrame`, else the pose it answered for.
struct CallRecord {
  Call call;
  int bone;
  int32_t frame;
  bool operator==(const CallRecord& other) const {
    return call == other.call && bone == other.bone && frame == other.frame;
  }
};

// The text of a call record, for messages.
std::string Describe(const CallRecord& record);

// The bit pattern of real `component` (0-2 position, 3-6 rotation) of bone
// `bone` posed at `frame`.
using Pose = uint32_t (*)(int bone, int32_t frame, int component);

// A skeleton and its bones, with the call log. Objects keep their addresses
// for the scene's life. Only one scene may exist at a time.
class Scene {
 public:
  explicit Scene(Pose pose);
  ~Scene();
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  // Adds a bone; returns its id, counted from 0 in order of creation.
  int AddBone(const std::string& name);
  // Gives `parent` these children, stored in ring blocks of `blockSizes`
  // items (which must add up to the number of children).
  void SetChildren(int parent, const std::vector<int>& children,
                   const std::vector<int>& blockSizes);
  void SetRoot(int id);

  Skeleton* skeleton() { return &skeleton_; }
  const std::vector<CallRecord>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }

  // The bone tree as the host built it, for the expected bytes.
  kin_bytes::BoneNode Tree() const;
  // The bone records of one frame in the order the file stores them: the
  // bone tree in pre-order.
  std::vector<kin_bytes::Record> Records(int32_t frame) const;
  // The bone ids in pre-order.
  std::vector<int> PreOrder() const;

  // Entry points for the slot functions.
  void Log(Call call, int bone, int32_t frame);
  Bone* FindBone(const void* self);
  bool IsSkeleton(const void* self) const { return self == &skeleton_; }
  Pose pose() const { return pose_; }

 private:
  kin_bytes::BoneNode Node(int id) const;
  void AppendPreOrder(int id, std::vector<int>& out) const;

  Pose pose_;
  std::deque<Bone> bones_;
  std::deque<Block> blocks_;
  Skeleton skeleton_;
  std::vector<CallRecord> calls_;
};

// Links `items` into a ring of blocks holding `blockSizes` items each, taken
// from `store`; returns the head, or null when `items` is empty. The host
// word of every block holds a marker the module must not care about.
Block* BuildRing(std::deque<Block>& store, const std::vector<void*>& items,
                 const std::vector<int>& blockSizes);

}  // namespace win32_host

#endif  // KIN_TESTS_WIN32_HOST_SCENE_H_
