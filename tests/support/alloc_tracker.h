// Watches chosen heap blocks and counts their releases.
//
// Linking `alloc_tracker.cpp` replaces the global allocation functions of the
// test executable with ones over `malloc`/`free` that also count how often a
// watched pointer is released, and stamp each release with the shared test
// clock. An executable that loads the module with `dlopen` exports them, so
// the module's `delete` lands here too.
#ifndef KIN_TESTS_SUPPORT_ALLOC_TRACKER_H_
#define KIN_TESTS_SUPPORT_ALLOC_TRACKER_H_

#include <cstdint>

namespace alloc_tracker {

// A monotonically increasing stamp shared by every recorded happening, so
// tests can tell the order of releases and scene calls.
uint64_t Tick();

// Starts counting the releases of `pointer`; up to 4096 pointers at a time.
void Watch(const void* pointer);
// Stops watching `pointer`. If it was released, frees it now: a watched
// block is kept until then, so that no allocation reuses its address while a
// test still counts its releases.
void Forget(const void* pointer);
// How often `pointer` was released since it was watched.
int Releases(const void* pointer);
// The stamp of the last release of `pointer`, 0 if none.
uint64_t LastReleaseTick(const void* pointer);

}  // namespace alloc_tracker

#endif  // KIN_TESTS_SUPPORT_ALLOC_TRACKER_H_
