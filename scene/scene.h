// Scene objects that an exporter host hands to the kin export module.
//
// This is the one header a host compiles against. The module reads these
// objects by layout, so field order, field widths and the order of virtual
// operations are part of the binary contract and never change:
//   - `Skeleton`: virtual slot 0 is `Destroy` (never called by the module),
//     slot 1 is `SetFrame`; then the `root` pointer.
//   - `Bone`: virtual slots 0-2 are `GetName`, `GetPosition`, `GetRotation`;
//     then the `children` list.
//   - `AnimInfo`, `AnimEvent`, `PtrBlock`: plain records, fields as declared.
// Neither polymorphic class has a virtual destructor: on the Itanium ABI one
// would take two slots and move `SetFrame`. Their destructors are protected
// so that nobody deletes a host object through the base class.
//
// Ownership: the host owns the skeleton, the bones, the `AnimInfo` and every
// `PtrBlock`. It gives up each `AnimEvent` and its name: once the output file
// is open the module releases the name with `delete[]` and the record with
// `delete`, so the host allocates them with `new char[length + 1]` and
// `new AnimEvent` from the same C++ runtime as the module.
#ifndef KIN_SCENE_SCENE_H_
#define KIN_SCENE_SCENE_H_

#include <cstdint>
#include <iosfwd>

// One block of a ring of pointer blocks. `items` holds `count` pointers
// inline: the host allocates each block with room for all of them.
template <typename T>
struct PtrBlock {
  PtrBlock* next;     // the next block; the last block points back to the head
  uint32_t hostData;  // the host's own; the module never reads it
  int32_t count;      // number of items in this block, at least 1
  T* items[1];        // `count` pointers, stored inline
};

// A list of pointers kept as a ring of blocks; `head` is null when empty.
template <typename T>
struct PtrBlockList {
  PtrBlock<T>* head;
};

// Walks the items of a `PtrBlockList` in traversal order: the head block's
// items from first to last, then those of `next`, until `next` leads back to
// the head. A block whose count is zero or negative holds no items, and null
// items are skipped, so every walk of a list sees the same items.
template <typename T>
class PtrBlockCursor {
 public:
  explicit PtrBlockCursor(const PtrBlockList<T>& list)
      : head_(list.head), block_(list.head) {}

  // Returns the next item, or null once the lap is over.
  T* Next() {
    while (block_ != nullptr) {
      if (index_ < block_->count) {
        // Index through a plain pointer: a block holds more items than its
        // declared one-element array.
        T* const* items = block_->items;
        T* item = items[index_++];
        if (item != nullptr) return item;
        continue;
      }
      block_ = block_->next;
      index_ = 0;
      if (block_ == head_) block_ = nullptr;
    }
    return nullptr;
  }

 private:
  const PtrBlock<T>* head_;
  const PtrBlock<T>* block_;
  int32_t index_ = 0;
};

// Calls `visit(item)` for every item of `list`, in traversal order.
template <typename T, typename Visit>
void ForEachItem(const PtrBlockList<T>& list, Visit&& visit) {
  PtrBlockCursor<T> cursor(list);
  while (T* item = cursor.Next()) visit(item);
}

// The number of items over one lap of the ring.
template <typename T>
int32_t CountItems(const PtrBlockList<T>& list) {
  int32_t count = 0;
  ForEachItem(list, [&count](T*) { ++count; });
  return count;
}

// A timed event of the animation. Allocated by the host with `new`, its name
// with `new char[]`; the module releases both during the export.
struct AnimEvent {
  int32_t frame;   // absolute frame number
  uint32_t value;  // opaque, copied raw
  char* name;      // zero-terminated text in its own heap block
};

// The animation to export. Unchanged by the export.
struct AnimInfo {
  int32_t startFrame;   // first frame
  int32_t endFrame;     // last frame, inclusive
  uint32_t infoValueA;  // opaque, copied raw
  const char* name;     // zero-terminated text
  uint32_t infoValueB;  // opaque, copied raw
  PtrBlockList<AnimEvent> events;
};

// One bone of the host's skeleton. The host implements the three reads.
class Bone {
 public:
  // The bone's zero-terminated name, owned by the bone.
  virtual const char* GetName() = 0;
  // Fills x, y, z of the bone's position in the current pose.
  virtual void GetPosition(float out[3]) = 0;
  // Fills the bone's rotation quaternion as x, y, z, w (w last).
  virtual void GetRotation(float out[4]) = 0;

  PtrBlockList<Bone> children;

  // Added by the module: writes this bone's chunk with its descendants
  // nested inside it. Calls only `GetName`.
  void WriteBone(std::ostream& stream);
  // Added by the module: writes the pose records of this bone and all its
  // descendants in pre-order, one `GetPosition` then one `GetRotation` each.
  void WriteBoneFrame(std::ostream& stream);

 protected:
  Bone() : children{nullptr} {}
  Bone(const Bone&) = default;
  Bone& operator=(const Bone&) = default;
  ~Bone() = default;
};

// The host's skeleton, which can be posed at any frame.
class Skeleton {
 public:
  // The host's own disposal of the skeleton. The module never calls it.
  virtual void Destroy() = 0;
  // Poses every bone at the absolute frame `frame`. Changes nothing else:
  // the bones, their names and every children list stay as they are.
  virtual void SetFrame(int frame) = 0;

  Bone* root;

  // Added by the module: writes the bone tree chunk. Calls no `SetFrame`.
  void WriteSkeleton(std::ostream& stream);
  // Added by the module: poses the skeleton at `frame` and writes one frame
  // chunk whose offset is `frame - firstFrame`.
  void WriteFrame(std::ostream& stream, int frame, int firstFrame);

 protected:
  Skeleton() : root(nullptr) {}
  Skeleton(const Skeleton&) = default;
  Skeleton& operator=(const Skeleton&) = default;
  ~Skeleton() = default;
};

#endif  // KIN_SCENE_SCENE_H_
