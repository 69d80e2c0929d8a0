#include "host/key_sampling.h"

#include <algorithm>
#include <cmath>

namespace kin::host {
namespace {

bool Finite(const Vec3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
bool Finite(const Quat& q) {
  return std::isfinite(q.w) && std::isfinite(q.x) && std::isfinite(q.y) &&
         std::isfinite(q.z);
}

template <typename Key>
int Prepare(std::vector<Key>* keys) {
  const size_t before = keys->size();
  keys->erase(std::remove_if(keys->begin(), keys->end(),
                             [](const Key& key) {
                               return !std::isfinite(key.time) ||
                                      !Finite(key.value);
                             }),
              keys->end());
  std::stable_sort(keys->begin(), keys->end(),
                   [](const Key& a, const Key& b) { return a.time < b.time; });
  return static_cast<int>(before - keys->size());
}

// Finds the segment around `time`: sets `*from`, `*to` and the blend factor.
// Returns false when one key holds (before the first, after the last, or on
// a zero-length segment), with `*from` naming that key.
template <typename Key>
bool Segment(const std::vector<Key>& keys, double time, size_t* from,
             size_t* to, double* blend) {
  const auto after =
      std::upper_bound(keys.begin(), keys.end(), time,
                       [](double t, const Key& key) { return t < key.time; });
  if (after == keys.begin()) {
    *from = 0;
    return false;
  }
  if (after == keys.end()) {
    *from = keys.size() - 1;
    return false;
  }
  *to = static_cast<size_t>(after - keys.begin());
  *from = *to - 1;
  const double span = keys[*to].time - keys[*from].time;
  if (!(span > 0)) {
    *from = *to;
    return false;
  }
  *blend = std::clamp((time - keys[*from].time) / span, 0.0, 1.0);
  return true;
}

}  // namespace

int PrepareKeys(std::vector<VectorKey>* keys) { return Prepare(keys); }
int PrepareKeys(std::vector<RotationKey>* keys) { return Prepare(keys); }

Vec3 SampleVector(const std::vector<VectorKey>& keys, double time,
                  const Vec3& rest) {
  if (keys.empty()) return rest;
  size_t from = 0, to = 0;
  double blend = 0;
  if (!Segment(keys, time, &from, &to, &blend)) return keys[from].value;
  return Lerp(keys[from].value, keys[to].value, blend);
}

Quat SampleRotation(const std::vector<RotationKey>& keys, double time,
                    const Quat& rest) {
  if (keys.empty()) return Normalized(rest);
  size_t from = 0, to = 0;
  double blend = 0;
  if (!Segment(keys, time, &from, &to, &blend)) {
    return Normalized(keys[from].value);
  }
  return Slerp(keys[from].value, keys[to].value, blend);
}

}  // namespace kin::host
