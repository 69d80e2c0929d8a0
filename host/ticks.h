// Conversion of importer tick times to seconds.
#ifndef KIN_HOST_TICKS_H_
#define KIN_HOST_TICKS_H_

#include <string>
#include <vector>

namespace kin::host {

// The tick rate to use for an animation that states `ticksPerSecond`: the
// rate itself when it is positive and finite, else 25, with a warning added
// to `warnings` that names `animationName`.
double EffectiveTickRate(double ticksPerSecond,
                         const std::string& animationName,
                         std::vector<std::string>* warnings);

}  // namespace kin::host

#endif  // KIN_HOST_TICKS_H_
