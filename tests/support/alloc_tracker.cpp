#include "tests/support/alloc_tracker.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>

namespace alloc_tracker {
namespace {

struct Entry {
  const void* pointer;
  int releases;
  uint64_t lastTick;
};

constexpr int kCapacity = 4096;
std::atomic<uint64_t> g_clock{0};
std::mutex g_mutex;
Entry g_entries[kCapacity];
int g_used = 0;

Entry* Find(const void* pointer) {
  for (int i = 0; i < g_used; ++i) {
    if (g_entries[i].pointer == pointer) return &g_entries[i];
  }
  return nullptr;
}

// Records the release of `pointer` and frees it, except that a watched block
// is kept until `Forget`: its address must not be handed out again while a
// test still counts releases of it.
void Release(void* pointer) {
  if (pointer == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (Entry* entry = Find(pointer)) {
      ++entry->releases;
      entry->lastTick = Tick();
      return;
    }
  }
  std::free(pointer);
}

void* Allocate(std::size_t size) {
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

}  // namespace

uint64_t Tick() { return ++g_clock; }

void Watch(const void* pointer) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (Entry* entry = Find(pointer)) {
    *entry = {pointer, 0, 0};
    return;
  }
  if (g_used == kCapacity) std::abort();
  g_entries[g_used++] = {pointer, 0, 0};
}

void Forget(const void* pointer) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Entry* entry = Find(pointer);
  if (entry == nullptr) return;
  if (entry->releases > 0) std::free(const_cast<void*>(entry->pointer));
  *entry = g_entries[--g_used];
}

int Releases(const void* pointer) {
  std::lock_guard<std::mutex> lock(g_mutex);
  const Entry* entry = Find(pointer);
  return entry != nullptr ? entry->releases : 0;
}

uint64_t LastReleaseTick(const void* pointer) {
  std::lock_guard<std::mutex> lock(g_mutex);
  const Entry* entry = Find(pointer);
  return entry != nullptr ? entry->lastTick : 0;
}

}  // namespace alloc_tracker

void* operator new(std::size_t size) { return alloc_tracker::Allocate(size); }
void* operator new[](std::size_t size) { return alloc_tracker::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept { alloc_tracker::Release(p); }
void operator delete[](void* p) noexcept { alloc_tracker::Release(p); }
void operator delete(void* p, std::size_t) noexcept {
  alloc_tracker::Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  alloc_tracker::Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  alloc_tracker::Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  alloc_tracker::Release(p);
}
