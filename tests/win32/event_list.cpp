#include "tests/win32/event_list.h"

#include <cstring>
#include <new>

#include "tests/win32/module.h"

namespace win32_host {

EventList::~EventList() {
  if (!owned_) return;
  for (Event* event : events_) {
    CrtFree(event->name);
    CrtFree(event);
  }
}

void EventList::Add(int32_t frame, uint32_t value, const std::string& name) {
  auto* text = static_cast<char*>(CrtMalloc(name.size() + 1));
  auto* event = static_cast<Event*>(CrtMalloc(sizeof(Event)));
  if (text == nullptr || event == nullptr) throw std::bad_alloc();
  std::memcpy(text, name.c_str(), name.size() + 1);
  event->frame = frame;
  event->value = value;
  event->name = text;
  events_.push_back(event);
  blocks_.push_back(text);
  blocks_.push_back(event);
}

Block* EventList::Ring(const std::vector<int>& blockSizes) {
  return BuildRing(ring_, std::vector<void*>(events_.begin(), events_.end()),
                   blockSizes);
}

Block* EventList::Ring() {
  return Ring(std::vector<int>{static_cast<int>(events_.size())});
}

}  // namespace win32_host
