// Writers of the INFO and EVNT chunks, from the host's `AnimInfo`.
//
// INFO carries the animation's name, its frame count (last - first + 1, as a
// 32-bit two's-complement value, zero or negative for an empty range) and the
// two opaque words. EVNT carries the events whose frame lies in the range,
// in list order, at offsets from the first frame.
#ifndef KIN_ANIMFILE_INFO_CHUNKS_H_
#define KIN_ANIMFILE_INFO_CHUNKS_H_

#include <ostream>

#include "scene/scene.h"

namespace kin {

// Writes one INFO chunk. Failures show as the stream's failed state.
void WriteInfoChunk(std::ostream& stream, const AnimInfo& info);

// Writes one EVNT chunk and, before closing it, releases every event of
// `info.events` (in range or not): its name with `delete[]`, then the record
// with `delete`. The list's blocks are left to the host and then point to
// released records. Failures show as the stream's failed state.
void WriteEventChunk(std::ostream& stream, const AnimInfo& info);

}  // namespace kin

#endif  // KIN_ANIMFILE_INFO_CHUNKS_H_
