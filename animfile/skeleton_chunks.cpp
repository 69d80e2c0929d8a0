// Writers of the SKEL, BONE and FRAM chunks: members the module adds to the
// host's `Skeleton` and `Bone`.
//
// Both walks of the bone tree are iterative, with one level per depth on a
// stack of their own (the frame walk keeps its first levels inline and the
// rest on the heap), so a deep chain of bones cannot exhaust the host
// thread's stack. They visit the same children lists in the same order, which
// is what ties the k-th record of every FRAM chunk to the k-th BONE chunk.
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#include "animfile/frame_offset.h"
#include "chunkfile/chunk.h"
#include "chunkfile/format.h"
#include "scene/scene.h"

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "Bone records are written as raw little-endian reals"
#endif

using kin::OpenChunk;

void Skeleton::WriteSkeleton(std::ostream& stream) {
  const int32_t chunk = OpenChunk(stream, kin::kSkeletonTag);
  if (root != nullptr) root->WriteBone(stream);
  kin::EndChunk(stream, chunk);
}

void Bone::WriteBone(std::ostream& stream) {
  struct Level {
    PtrBlockCursor<Bone> children;
    int32_t chunk;
  };
  std::vector<Level> open;
  const auto open_bone = [&](Bone& bone) {
    const int32_t chunk = OpenChunk(stream, kin::kBoneTag);
    kin::WritePaddedString(stream, bone.GetName());
    kin::WriteInt32(stream, CountItems(bone.children));
    open.push_back({PtrBlockCursor<Bone>(bone.children), chunk});
  };

  open_bone(*this);
  while (!open.empty()) {
    if (Bone* child = open.back().children.Next()) {
      open_bone(*child);
    } else {
      kin::EndChunk(stream, open.back().chunk);
      open.pop_back();
    }
  }
}

void Skeleton::WriteFrame(std::ostream& stream, int frame, int firstFrame) {
  SetFrame(frame);
  const int32_t chunk = OpenChunk(stream, kin::kFrameTag);
  kin::WriteUint32(stream, kin::FrameOffset(frame, firstFrame));
  if (root != nullptr) root->WriteBoneFrame(stream);
  kin::EndChunk(stream, chunk);
}

namespace {

// Writes one bone's record. The host fills the reals in place and they are
// written from that memory, never loaded as floats, so every bit pattern
// (signalling NaNs included) reaches the file unchanged.
void WriteBoneRecord(std::ostream& stream, Bone& bone) {
  float record[kin::kRealsPerBoneRecord] = {};
  bone.GetPosition(record);
  bone.GetRotation(record + 3);
  kin::WriteBytes(stream, reinterpret_cast<const char*>(record), sizeof record);
}

// The open levels of a pre-order walk. The first `kInline` levels live in
// the object itself, so that the walk of a shallow tree, which runs once per
// frame, allocates nothing; deeper levels go on the heap.
class CursorStack {
 public:
  using Cursor = PtrBlockCursor<Bone>;

  void Push(const PtrBlockList<Bone>& list) {
    if (size_ < kInline) {
      new (&inline_[size_]) Cursor(list);
    } else {
      deeper_.emplace_back(list);
    }
    ++size_;
  }
  Cursor& Top() {
    return size_ <= kInline
               ? *std::launder(reinterpret_cast<Cursor*>(&inline_[size_ - 1]))
               : deeper_.back();
  }
  void Pop() {
    if (size_ > kInline) deeper_.pop_back();
    --size_;
  }
  bool Empty() const { return size_ == 0; }

 private:
  static constexpr size_t kInline = 32;
  static_assert(std::is_trivially_destructible_v<Cursor>);
  alignas(Cursor) unsigned char inline_[kInline][sizeof(Cursor)];
  std::vector<Cursor> deeper_;
  size_t size_ = 0;
};

}  // namespace

void Bone::WriteBoneFrame(std::ostream& stream) {
  WriteBoneRecord(stream, *this);
  CursorStack pending;
  pending.Push(children);
  while (!pending.Empty()) {
    if (Bone* child = pending.Top().Next()) {
      WriteBoneRecord(stream, *child);
      pending.Push(child->children);
    } else {
      pending.Pop();
    }
  }
}
