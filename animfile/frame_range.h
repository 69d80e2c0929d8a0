// The frame loop of an export: one FRAM chunk per frame of a range.
#ifndef KIN_ANIMFILE_FRAME_RANGE_H_
#define KIN_ANIMFILE_FRAME_RANGE_H_

#include <cstdint>
#include <ostream>

#include "scene/scene.h"

namespace kin {

// Writes the frames from `first` to `last` in turn, each as
// `skeleton.WriteFrame(stream, frame, first)` would: `SetFrame`, then the
// FRAM chunk with every bone's record. The stream sees the same bytes and
// the host the same calls; the difference is that the stream's window is
// looked up once for the whole range instead of once per frame.
//
// Writes nothing when `last < first`; ends after `last`, even when it is
// the largest int32 value. Stops after the first frame that leaves the
// stream failed: nothing written after it could reach the file, and the
// host is not posed again for nothing. Failures show only as the stream's
// failed state.
void WriteFrameRange(Skeleton& skeleton, std::ostream& stream, int32_t first,
                     int32_t last);

}  // namespace kin

#endif  // KIN_ANIMFILE_FRAME_RANGE_H_
