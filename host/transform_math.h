// Small double-precision vector, quaternion and affine-transform routines for
// sampling and composing bone transforms.
//
// Quaternions here keep w first, as most importers do; the module's scene
// objects report x, y, z, w, and the conversion happens only where a bone
// fills its output. All functions are total: degenerate input (a zero
// quaternion, a singular matrix) gives the identity rather than NaN.
#ifndef KIN_HOST_TRANSFORM_MATH_H_
#define KIN_HOST_TRANSFORM_MATH_H_

namespace kin::host {

struct Vec3 {
  double x = 0, y = 0, z = 0;
};

struct Quat {
  double w = 1, x = 0, y = 0, z = 0;
};

Vec3 Lerp(const Vec3& a, const Vec3& b, double t);

// `q` scaled to unit length; the identity when `q` is zero or not finite.
Quat Normalized(const Quat& q);

// Spherical interpolation from `a` to `b` along the shorter arc (b is negated
// when the two lie in opposite hemispheres), renormalised. Falls back to a
// normalised linear blend when the two are nearly equal.
Quat Slerp(const Quat& a, const Quat& b, double t);

// The product `a * b`: the rotation `b` applied first, then `a`.
Quat Multiply(const Quat& a, const Quat& b);

// `v` rotated by the unit quaternion `q`.
Vec3 Rotate(const Quat& q, const Vec3& v);

// An affine transform: a 3x3 linear part (row-major) and a translation.
struct Affine {
  double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  Vec3 t;
};

// The transform that scales, then rotates, then translates.
Affine FromTrs(const Vec3& position, const Quat& rotation, const Vec3& scale);

// `a * b`: applies `b` first, then `a`.
Affine Compose(const Affine& a, const Affine& b);

// Splits `a` into translation, rotation and positive per-axis scale. A
// reflection is folded into a negative x scale; a singular linear part gives
// the identity rotation.
void Decompose(const Affine& a, Vec3* position, Quat* rotation, Vec3* scale);

// True when every component of `s` is within `tolerance` of 1.
bool IsUnitScale(const Vec3& s, double tolerance = 1e-4);

}  // namespace kin::host

#endif  // KIN_HOST_TRANSFORM_MATH_H_
