// Sampling of keyed values at an arbitrary time.
//
// Positions and scales interpolate linearly, rotations by shortest-path
// slerp, renormalised. Before the first key the first key holds, after the
// last the last one does (the file's pose at its ends, never the rest pose).
// Two keys at the same time are a step: the later key wins from that time on.
#ifndef KIN_HOST_KEY_SAMPLING_H_
#define KIN_HOST_KEY_SAMPLING_H_

#include <vector>

#include "host/source_scene.h"

namespace kin::host {

// Drops keys whose time or value is not finite and sorts the rest by time,
// keeping the file's order among equal times. Returns how many were dropped.
int PrepareKeys(std::vector<VectorKey>* keys);
int PrepareKeys(std::vector<RotationKey>* keys);

// The value of sorted `keys` at `time` (seconds); `rest` when there are none.
Vec3 SampleVector(const std::vector<VectorKey>& keys, double time,
                  const Vec3& rest);
Quat SampleRotation(const std::vector<RotationKey>& keys, double time,
                    const Quat& rest);

}  // namespace kin::host

#endif  // KIN_HOST_KEY_SAMPLING_H_
