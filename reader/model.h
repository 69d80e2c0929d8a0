// The plain model of one KIN animation, as `ReadFile` returns it.
//
// Every value is what the file holds, with no conversion: offsets are frame
// offsets from the first exported frame, the opaque words are raw 32-bit
// patterns, reals are the file's IEEE single-precision values bit for bit
// (NaN payloads and signed zeros included), names are the bytes up to the
// first zero of each padded string, in no particular character set.
#ifndef KIN_READER_MODEL_H_
#define KIN_READER_MODEL_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kin::reader {

// One entry of the EVNT chunk.
struct Event {
  int32_t offset = 0;  // the event's frame minus the first frame
  uint32_t value = 0;  // opaque, raw
  std::string name;
};

// One BONE chunk. Bones are kept in file order, which is depth-first
// pre-order: a bone's parent always comes before it.
struct Bone {
  std::string name;
  int32_t parent = -1;  // index of the parent bone; -1 for the root
};

// One bone record of a FRAM chunk: position x, y, z, then the rotation
// quaternion x, y, z, w.
using Record = std::array<float, 7>;

// One FRAM chunk: `records[k]` belongs to `bones[k]` of the animation.
struct Frame {
  int32_t offset = 0;  // 0 for the first FRAM, 1 for the next, ...
  std::vector<Record> records;
};

struct Animation {
  std::string name;
  // INFO's frame count: last frame - first frame + 1. Zero or negative for
  // an empty range, in which case `frames` is empty.
  int32_t frameCount = 0;
  uint32_t valueA = 0;  // the first opaque word, raw
  uint32_t valueB = 0;  // the second opaque word, raw
  std::vector<Event> events;
  std::vector<Bone> bones;  // never empty in a valid file; bones[0] is root
  std::vector<Frame> frames;
};

}  // namespace kin::reader

#endif  // KIN_READER_MODEL_H_
