// Owns the `PtrBlock` rings that the module's lists are made of.
//
// A `PtrBlock` keeps its items inline, so a block of N items is one heap
// allocation sized for N pointers. `BlockRing<T>` cuts a list of pointers
// into blocks of at most `blockSize` items, links them into a ring (the last
// block points back to the head) and frees the blocks when destroyed. It
// never owns the items.
#ifndef KIN_HOST_BLOCK_RING_H_
#define KIN_HOST_BLOCK_RING_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "scene/scene.h"

namespace kin::host {

template <typename T>
class BlockRing {
 public:
  BlockRing() = default;
  BlockRing(const BlockRing&) = delete;
  BlockRing& operator=(const BlockRing&) = delete;
  BlockRing(BlockRing&& other) noexcept : blocks_(std::move(other.blocks_)) {
    other.blocks_.clear();
  }
  ~BlockRing() { Clear(); }

  // Replaces the ring with `items` cut into blocks of at most `blockSize`
  // (at least 1). An empty `items` gives an empty list. Throws
  // `std::bad_alloc` when out of memory, leaving the ring empty.
  void Assign(const std::vector<T*>& items, int blockSize) {
    Clear();
    if (blockSize < 1) blockSize = 1;
    for (size_t first = 0; first < items.size(); first += blockSize) {
      const size_t count =
          std::min(items.size() - first, static_cast<size_t>(blockSize));
      const size_t bytes = offsetof(PtrBlock<T>, items) + count * sizeof(T*);
      void* memory = ::operator new(std::max(bytes, sizeof(PtrBlock<T>)));
      auto* block = static_cast<PtrBlock<T>*>(memory);
      block->next = nullptr;
      block->hostData = static_cast<uint32_t>(blocks_.size());
      block->count = static_cast<int32_t>(count);
      // Through a plain pointer: the block holds more than its declared one.
      T** slots = block->items;
      for (size_t i = 0; i < count; ++i) slots[i] = items[first + i];
      blocks_.push_back(block);
    }
    for (size_t i = 0; i < blocks_.size(); ++i) {
      blocks_[i]->next = blocks_[(i + 1) % blocks_.size()];
    }
  }

  // The list the module walks; its head is null when the ring is empty.
  PtrBlockList<T> List() const {
    return {blocks_.empty() ? nullptr : blocks_.front()};
  }

 private:
  void Clear() {
    for (PtrBlock<T>* block : blocks_) ::operator delete(block);
    blocks_.clear();
  }

  std::vector<PtrBlock<T>*> blocks_;
};

}  // namespace kin::host

#endif  // KIN_HOST_BLOCK_RING_H_
