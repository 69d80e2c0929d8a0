// Writers of the SKEL, BONE and FRAM chunks: members the module adds to the
// host's `Skeleton` and `Bone`.
//
// Both walks of the bone tree are iterative, with one level per depth on a
// stack of their own (the frame walk keeps its first levels inline and the
// rest on the heap), so a deep chain of bones cannot exhaust the host
// thread's stack. They visit the same children lists in the same order, which
// is what ties the k-th record of every FRAM chunk to the k-th BONE chunk.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#include "animfile/frame_offset.h"
#include "animfile/frame_range.h"
#include "chunkfile/chunk.h"
#include "chunkfile/format.h"
#include "scene/scene.h"

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "Bone records are written as raw little-endian reals"
#endif

using kin::ChunkStream;

namespace {

// Writes `bone`'s chunk with its descendants nested inside it.
void WriteBoneTree(ChunkStream& out, Bone& root) {
  struct Level {
    PtrBlockCursor<Bone> children;
    int32_t chunk;
  };
  std::vector<Level> open;
  const auto open_bone = [&](Bone& bone) {
    const int32_t chunk = out.OpenChunk(kin::kBoneTag);
    out.WritePaddedString(bone.GetName());
    out.WriteInt32(CountItems(bone.children));
    open.push_back({PtrBlockCursor<Bone>(bone.children), chunk});
  };

  open_bone(root);
  while (!open.empty()) {
    if (Bone* child = open.back().children.Next()) {
      open_bone(*child);
    } else {
      out.EndChunk(open.back().chunk);
      open.pop_back();
    }
  }
}

void WriteBoneRecords(ChunkStream& out, Bone& root);

// Poses the skeleton at `frame` and writes its FRAM chunk.
void WriteFrameChunk(ChunkStream& out, Skeleton& skeleton, int32_t frame,
                     int32_t firstFrame) {
  skeleton.SetFrame(frame);
  const int32_t chunk = out.OpenChunk(kin::kFrameTag);
  out.WriteUint32(kin::FrameOffset(frame, firstFrame));
  if (skeleton.root != nullptr) WriteBoneRecords(out, *skeleton.root);
  out.EndChunk(chunk);
}

}  // namespace

void Skeleton::WriteSkeleton(std::ostream& stream) {
  ChunkStream out(stream);
  const int32_t chunk = out.OpenChunk(kin::kSkeletonTag);
  if (root != nullptr) WriteBoneTree(out, *root);
  out.EndChunk(chunk);
}

void Bone::WriteBone(std::ostream& stream) {
  ChunkStream out(stream);
  WriteBoneTree(out, *this);
}

void Skeleton::WriteFrame(std::ostream& stream, int frame, int firstFrame) {
  ChunkStream out(stream);
  WriteFrameChunk(out, *this, frame, firstFrame);
}

void kin::WriteFrameRange(Skeleton& skeleton, std::ostream& stream,
                          int32_t first, int32_t last) {
  if (last < first) return;
  ChunkStream out(stream);
  // Counted so that the loop also ends for a range ending at INT32_MAX. The
  // stream's state is current while `out` is in use: every failure sets it.
  for (int32_t frame = first; stream.good(); ++frame) {
    WriteFrameChunk(out, skeleton, frame, first);
    if (frame == last) break;
  }
}

void Bone::WriteBoneFrame(std::ostream& stream) {
  ChunkStream out(stream);
  WriteBoneRecords(out, *this);
}

namespace {

// Writes one bone's record. The host fills the reals in place and they are
// written from that memory, never loaded as floats, so every bit pattern
// (signalling NaNs included) reaches the file unchanged. Whatever the host
// leaves unfilled is written as zero.
void WriteBoneRecord(ChunkStream& out, Bone& bone) {
  constexpr std::streamsize kSize = sizeof(float) * kin::kRealsPerBoneRecord;
  // In the window itself when it has room for the record where a float can
  // be stored: nothing to copy afterwards.
  char* const room = out.Claim(kSize);
  if (room != nullptr &&
      reinterpret_cast<std::uintptr_t>(room) % alignof(float) == 0) {
    std::memset(room, 0, kSize);
    float* const record = reinterpret_cast<float*>(room);
    bone.GetPosition(record);
    bone.GetRotation(record + 3);
    out.Advance(kSize);
    return;
  }
  float record[kin::kRealsPerBoneRecord] = {};
  bone.GetPosition(record);
  bone.GetRotation(record + 3);
  out.WriteBytes(reinterpret_cast<const char*>(record), sizeof record);
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

// Writes the records of `root` and all its descendants in pre-order.
void WriteBoneRecords(ChunkStream& out, Bone& root) {
  WriteBoneRecord(out, root);
  if (root.children.head == nullptr) return;  // a lone bone: no walk to set up
  CursorStack pending;
  pending.Push(root.children);
  while (!pending.Empty()) {
    if (Bone* child = pending.Top().Next()) {
      WriteBoneRecord(out, *child);
      pending.Push(child->children);
    } else {
      pending.Pop();
    }
  }
}

}  // namespace
