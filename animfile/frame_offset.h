// Frame arithmetic of the KIN format, free of signed overflow.
#ifndef KIN_ANIMFILE_FRAME_OFFSET_H_
#define KIN_ANIMFILE_FRAME_OFFSET_H_

#include <cstdint>

namespace kin {

// `frame - first` as the 32-bit two's-complement word the file stores.
inline uint32_t FrameOffset(int32_t frame, int32_t first) {
  return static_cast<uint32_t>(frame) - static_cast<uint32_t>(first);
}

// `last - first + 1` as the 32-bit two's-complement word the file stores:
// zero or negative (as a signed value) when `last < first`.
inline uint32_t FrameCount(int32_t first, int32_t last) {
  return FrameOffset(last, first) + 1u;
}

}  // namespace kin

#endif  // KIN_ANIMFILE_FRAME_OFFSET_H_
