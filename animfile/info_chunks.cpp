#include "animfile/info_chunks.h"

#include "animfile/frame_offset.h"
#include "chunkfile/chunk.h"
#include "chunkfile/format.h"

namespace kin {
namespace {

bool InRange(const AnimEvent& event, const AnimInfo& info) {
  return info.startFrame <= event.frame && event.frame <= info.endFrame;
}

}  // namespace

void WriteInfoChunk(std::ostream& stream, const AnimInfo& info) {
  const int32_t chunk = OpenChunk(stream, kInfoTag);
  WritePaddedString(stream, info.name);
  WriteUint32(stream, FrameCount(info.startFrame, info.endFrame));
  WriteUint32(stream, info.infoValueA);
  WriteUint32(stream, info.infoValueB);
  EndChunk(stream, chunk);
}

void WriteEventChunk(std::ostream& stream, const AnimInfo& info) {
  const int32_t chunk = OpenChunk(stream, kEventTag);

  uint32_t count = 0;
  ForEachItem(info.events, [&](AnimEvent* event) {
    if (InRange(*event, info)) ++count;
  });
  WriteUint32(stream, count);

  ForEachItem(info.events, [&](AnimEvent* event) {
    if (!InRange(*event, info)) return;
    WriteUint32(stream, FrameOffset(event->frame, info.startFrame));
    WriteUint32(stream, event->value);
    WritePaddedString(stream, event->name);
  });

  // The module owns the events from here on; the blocks stay the host's.
  ForEachItem(info.events, [](AnimEvent* event) {
    delete[] event->name;
    delete event;
  });

  EndChunk(stream, chunk);
}

}  // namespace kin
