// Event records allocated the way the module expects: each record and its
// name in a block of its own from msvcrt.dll's `malloc`, the heap whose
// `free` the module calls when it releases them.
#ifndef KIN_TESTS_WIN32_EVENT_LIST_H_
#define KIN_TESTS_WIN32_EVENT_LIST_H_

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "tests/win32/host_scene.h"

namespace win32_host {

class EventList {
 public:
  EventList() = default;
  // Releases the records that are still the host's.
  ~EventList();
  EventList(const EventList&) = delete;
  EventList& operator=(const EventList&) = delete;

  // Allocates one event.
  void Add(int32_t frame, uint32_t value, const std::string& name);
  // The events as a ring of blocks of `blockSizes` items; null when empty.
  Block* Ring(const std::vector<int>& blockSizes);
  // The events as a ring of one block.
  Block* Ring();

  // The addresses of every name and record, in list order: name, record.
  const std::vector<const void*>& blocks() const { return blocks_; }

  // Tells the list that the module took the events over and released them.
  void GiveUp() { owned_ = false; }

 private:
  std::vector<Event*> events_;
  std::vector<const void*> blocks_;
  std::deque<Block> ring_;
  bool owned_ = true;
};

}  // namespace win32_host

#endif  // KIN_TESTS_WIN32_EVENT_LIST_H_
