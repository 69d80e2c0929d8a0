#include "host/transform_math.h"

#include <cmath>

namespace kin::host {

Vec3 Lerp(const Vec3& a, const Vec3& b, double t) {
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

Quat Normalized(const Quat& q) {
  const double length =
      std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
  if (!(length > 1e-12) || !std::isfinite(length)) return Quat{};
  return {q.w / length, q.x / length, q.y / length, q.z / length};
}

Quat Slerp(const Quat& from, const Quat& to, double t) {
  const Quat a = Normalized(from);
  Quat b = Normalized(to);
  double cosine = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
  if (cosine < 0) {
    cosine = -cosine;
    b = {-b.w, -b.x, -b.y, -b.z};
  }
  double wa = 1 - t;
  double wb = t;
  if (cosine < 0.9995) {
    const double angle = std::acos(cosine);
    const double sine = std::sin(angle);
    wa = std::sin((1 - t) * angle) / sine;
    wb = std::sin(t * angle) / sine;
  }
  return Normalized({wa * a.w + wb * b.w, wa * a.x + wb * b.x,
                     wa * a.y + wb * b.y, wa * a.z + wb * b.z});
}

Quat Multiply(const Quat& a, const Quat& b) {
  return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
          a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
          a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

Vec3 Rotate(const Quat& q, const Vec3& v) {
  const Quat p =
      Multiply(Multiply(q, {0, v.x, v.y, v.z}), {q.w, -q.x, -q.y, -q.z});
  return {p.x, p.y, p.z};
}

Affine FromTrs(const Vec3& position, const Quat& rotation, const Vec3& scale) {
  const Quat q = Normalized(rotation);
  const double xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
  const double xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
  const double wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
  const double r[3][3] = {{1 - 2 * (yy + zz), 2 * (xy - wz), 2 * (xz + wy)},
                          {2 * (xy + wz), 1 - 2 * (xx + zz), 2 * (yz - wx)},
                          {2 * (xz - wy), 2 * (yz + wx), 1 - 2 * (xx + yy)}};
  const double s[3] = {scale.x, scale.y, scale.z};
  Affine a;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) a.m[i][j] = r[i][j] * s[j];
  }
  a.t = position;
  return a;
}

Affine Compose(const Affine& a, const Affine& b) {
  Affine c;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      c.m[i][j] =
          a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
    }
  }
  const double bt[3] = {b.t.x, b.t.y, b.t.z};
  const double at[3] = {a.t.x, a.t.y, a.t.z};
  double t[3];
  for (int i = 0; i < 3; ++i) {
    t[i] = a.m[i][0] * bt[0] + a.m[i][1] * bt[1] + a.m[i][2] * bt[2] + at[i];
  }
  c.t = {t[0], t[1], t[2]};
  return c;
}

void Decompose(const Affine& a, Vec3* position, Quat* rotation, Vec3* scale) {
  *position = a.t;
  double s[3];
  double r[3][3];
  for (int j = 0; j < 3; ++j) {
    s[j] = std::sqrt(a.m[0][j] * a.m[0][j] + a.m[1][j] * a.m[1][j] +
                     a.m[2][j] * a.m[2][j]);
    for (int i = 0; i < 3; ++i) r[i][j] = s[j] > 1e-12 ? a.m[i][j] / s[j] : 0;
  }
  const double determinant = r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) -
                             r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
                             r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
  if (determinant < 0) {
    s[0] = -s[0];
    for (int i = 0; i < 3; ++i) r[i][0] = -r[i][0];
  }
  *scale = {s[0], s[1], s[2]};
  if (!(std::fabs(determinant) > 1e-9)) {
    *rotation = Quat{};
    return;
  }
  // Shepperd's method: pick the largest diagonal term for stability.
  const double trace = r[0][0] + r[1][1] + r[2][2];
  Quat q;
  if (trace > 0) {
    const double k = 2 * std::sqrt(trace + 1);
    q = {k / 4, (r[2][1] - r[1][2]) / k, (r[0][2] - r[2][0]) / k,
         (r[1][0] - r[0][1]) / k};
  } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
    const double k = 2 * std::sqrt(1 + r[0][0] - r[1][1] - r[2][2]);
    q = {(r[2][1] - r[1][2]) / k, k / 4, (r[0][1] + r[1][0]) / k,
         (r[0][2] + r[2][0]) / k};
  } else if (r[1][1] > r[2][2]) {
    const double k = 2 * std::sqrt(1 + r[1][1] - r[0][0] - r[2][2]);
    q = {(r[0][2] - r[2][0]) / k, (r[0][1] + r[1][0]) / k, k / 4,
         (r[1][2] + r[2][1]) / k};
  } else {
    const double k = 2 * std::sqrt(1 + r[2][2] - r[0][0] - r[1][1]);
    q = {(r[1][0] - r[0][1]) / k, (r[0][2] + r[2][0]) / k,
         (r[1][2] + r[2][1]) / k, k / 4};
  }
  *rotation = Normalized(q);
}

bool IsUnitScale(const Vec3& s, double tolerance) {
  return std::fabs(s.x - 1) <= tolerance && std::fabs(s.y - 1) <= tolerance &&
         std::fabs(s.z - 1) <= tolerance;
}

}  // namespace kin::host
