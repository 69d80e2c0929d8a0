#include "host/ticks.h"

#include <cmath>

namespace kin::host {

double EffectiveTickRate(double ticksPerSecond,
                         const std::string& animationName,
                         std::vector<std::string>* warnings) {
  if (ticksPerSecond > 0 && std::isfinite(ticksPerSecond)) {
    return ticksPerSecond;
  }
  warnings->push_back("animation '" + animationName +
                      "' states no tick rate; assuming 25 ticks per second");
  return 25;
}

}  // namespace kin::host
