// Constants of the KIN animation file format.
//
// A KIN file is one container chunk tagged "VOXR" whose body starts with the
// form tag "ANIM" and holds, in order, one INFO, one EVNT and one SKEL chunk
// and then one FRAM chunk per frame. Every chunk is a four-letter tag, an
// int32 size counting the bytes after the size field, and a body; every body
// except the container's opens with the version word `ChunkVersion`. All
// scalars are 32-bit little-endian; reals are IEEE single precision.
#ifndef KIN_CHUNKFILE_FORMAT_H_
#define KIN_CHUNKFILE_FORMAT_H_

#include <cstdint>

namespace kin {

inline constexpr char kContainerTag[] = "VOXR";
inline constexpr char kFormTag[] = "ANIM";
inline constexpr char kInfoTag[] = "INFO";
inline constexpr char kEventTag[] = "EVNT";
inline constexpr char kSkeletonTag[] = "SKEL";
inline constexpr char kBoneTag[] = "BONE";
inline constexpr char kFrameTag[] = "FRAM";

// Opens every chunk body except the container's.
inline constexpr int32_t ChunkVersion = 100;

// Reals in one bone record of a FRAM chunk: position x, y, z, then the
// rotation quaternion x, y, z, w.
inline constexpr int kRealsPerBoneRecord = 7;

// Bytes of a FRAM chunk body before its bone records: version and offset.
inline constexpr int kFrameBodyHeaderSize = 8;

// The largest put position the format can describe: positions and sizes are
// signed 32-bit values.
inline constexpr int64_t kMaxFilePosition = INT32_MAX;

}  // namespace kin

#endif  // KIN_CHUNKFILE_FORMAT_H_
