// Key sampling and transform math: interpolation, holding outside the keyed
// span, zero-length segments, shortest-path slerp, composition.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "host/key_sampling.h"
#include "host/ticks.h"
#include "host/transform_math.h"
#include "test_support.h"

namespace kin::host {
namespace {

using testing::AxisAngle;

void ExpectQuatNear(const Quat& expected, const Quat& actual, double tol) {
  EXPECT_NEAR(expected.w, actual.w, tol);
  EXPECT_NEAR(expected.x, actual.x, tol);
  EXPECT_NEAR(expected.y, actual.y, tol);
  EXPECT_NEAR(expected.z, actual.z, tol);
}

TEST(VectorSampling, InterpolatesAndHoldsTheEndKeys) {
  const std::vector<VectorKey> keys = {{1, {0, 0, 0}}, {3, {4, -2, 8}}};
  struct Case {
    double time;
    double x;
  } cases[] = {{-5, 0}, {0, 0}, {1, 0}, {1.5, 1}, {2, 2}, {3, 4}, {99, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time);
    const Vec3 v = SampleVector(keys, c.time, {7, 7, 7});
    EXPECT_DOUBLE_EQ(c.x, v.x);
    EXPECT_DOUBLE_EQ(-c.x / 2, v.y);
    EXPECT_DOUBLE_EQ(c.x * 2, v.z);
  }
}

TEST(VectorSampling, NoKeysGiveTheRestValue) {
  const Vec3 v = SampleVector({}, 1.0, {1, 2, 3});
  EXPECT_EQ(1, v.x);
  EXPECT_EQ(2, v.y);
  EXPECT_EQ(3, v.z);
}

TEST(VectorSampling, ZeroLengthSegmentIsAStepToTheLaterKey) {
  // Two keys at t = 1: a jump from 10 to 20, then on to 30 at t = 2.
  const std::vector<VectorKey> keys = {
      {0, {0, 0, 0}}, {1, {10, 0, 0}}, {1, {20, 0, 0}}, {2, {30, 0, 0}}};
  EXPECT_DOUBLE_EQ(5, SampleVector(keys, 0.5, {}).x);
  EXPECT_DOUBLE_EQ(20, SampleVector(keys, 1.0, {}).x);
  EXPECT_DOUBLE_EQ(25, SampleVector(keys, 1.5, {}).x);
  for (double t : {0.999999, 1.0, 1.000001}) {
    EXPECT_TRUE(std::isfinite(SampleVector(keys, t, {}).x)) << t;
  }
}

TEST(VectorSampling, SingleKeyHoldsEverywhere) {
  const std::vector<VectorKey> keys = {{2, {3, 0, 0}}};
  for (double t : {-1.0, 2.0, 5.0}) {
    EXPECT_DOUBLE_EQ(3, SampleVector(keys, t, {}).x) << t;
  }
}

TEST(PrepareKeys, SortsByTimeKeepingTiesAndDropsNonFiniteKeys) {
  const double nan = std::nan("");
  std::vector<VectorKey> keys = {{2, {2, 0, 0}},   {nan, {9, 0, 0}},
                                 {1, {1, 0, 0}},   {2, {3, 0, 0}},
                                 {0, {nan, 0, 0}}, {INFINITY, {0, 0, 0}}};
  EXPECT_EQ(3, PrepareKeys(&keys));
  ASSERT_EQ(3u, keys.size());
  EXPECT_EQ(1, keys[0].value.x);
  EXPECT_EQ(2, keys[1].value.x);  // the tie keeps file order
  EXPECT_EQ(3, keys[2].value.x);
}

TEST(RotationSampling, SlerpTakesTheShortPathAcrossHemispheres) {
  // The same 90 degree turn about Z, stored with w < 0: halfway must be a
  // 45 degree turn, not a 135 degree one the long way round.
  const Quat turn = AxisAngle(0, 0, 1, 90);
  const Quat negated{-turn.w, -turn.x, -turn.y, -turn.z};
  const std::vector<RotationKey> keys = {{0, Quat{}}, {1, negated}};
  const Quat half = SampleRotation(keys, 0.5, {});
  ExpectQuatNear(AxisAngle(0, 0, 1, 45), half, 1e-9);
}

TEST(RotationSampling, SlerpKeepsConstantAngularSpeedAndUnitLength) {
  // Keys not normalised (scaled by 3): the result is unit length all along.
  const Quat end = AxisAngle(1, 0, 0, 160);
  const std::vector<RotationKey> keys = {
      {0, {3, 0, 0, 0}}, {4, {3 * end.w, 3 * end.x, 3 * end.y, 3 * end.z}}};
  for (double t : {0.0, 1.0, 2.0, 3.0, 4.0}) {
    SCOPED_TRACE(t);
    const Quat q = SampleRotation(keys, t, {});
    EXPECT_NEAR(1, q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z, 1e-12);
    ExpectQuatNear(AxisAngle(1, 0, 0, 40 * t), q, 1e-9);
  }
}

TEST(RotationSampling, HoldsTheEndKeysAndUsesRestWithoutKeys) {
  const Quat a = AxisAngle(0, 1, 0, 30);
  const Quat b = AxisAngle(0, 1, 0, 60);
  const std::vector<RotationKey> keys = {{1, a}, {2, b}};
  ExpectQuatNear(a, SampleRotation(keys, -3, {}), 1e-12);
  ExpectQuatNear(b, SampleRotation(keys, 10, {}), 1e-12);
  ExpectQuatNear(b, SampleRotation({}, 0, b), 1e-12);
}

TEST(TransformMath, DecomposeUndoesFromTrs) {
  const Vec3 position{1, -2, 3};
  const Quat rotation = AxisAngle(0.6, 0, 0.8, 123);
  const Vec3 scale{2, 0.5, 3};
  Vec3 p, s;
  Quat q;
  Decompose(FromTrs(position, rotation, scale), &p, &q, &s);
  EXPECT_NEAR(1, p.x, 1e-12);
  EXPECT_NEAR(-2, p.y, 1e-12);
  EXPECT_NEAR(3, p.z, 1e-12);
  EXPECT_NEAR(2, s.x, 1e-12);
  EXPECT_NEAR(0.5, s.y, 1e-12);
  EXPECT_NEAR(3, s.z, 1e-12);
  if (q.w * rotation.w < 0) q = {-q.w, -q.x, -q.y, -q.z};
  ExpectQuatNear(rotation, q, 1e-12);
}

TEST(TransformMath, ComposeAppliesTheRightOperandFirst) {
  // A parent turned 90 degrees about Z and moved by (1, 0, 0); a child one
  // unit along its parent's x axis ends up at (1, 1, 0).
  const Affine parent = FromTrs({1, 0, 0}, AxisAngle(0, 0, 1, 90), {1, 1, 1});
  const Affine child = FromTrs({1, 0, 0}, Quat{}, {1, 1, 1});
  Vec3 p, s;
  Quat q;
  Decompose(Compose(parent, child), &p, &q, &s);
  EXPECT_NEAR(1, p.x, 1e-12);
  EXPECT_NEAR(1, p.y, 1e-12);
  EXPECT_NEAR(0, p.z, 1e-12);
  ExpectQuatNear(AxisAngle(0, 0, 1, 90), q, 1e-12);
  const Vec3 r = Rotate(AxisAngle(0, 0, 1, 90), {1, 0, 0});
  EXPECT_NEAR(0, r.x, 1e-12);
  EXPECT_NEAR(1, r.y, 1e-12);
}

TEST(TransformMath, DegenerateInputGivesIdentityNotNan) {
  const Quat zero = Normalized({0, 0, 0, 0});
  EXPECT_EQ(1, zero.w);
  const Quat nan = Normalized({std::nan(""), 0, 0, 0});
  EXPECT_EQ(1, nan.w);
  Vec3 p, s;
  Quat q;
  Decompose(FromTrs({}, Quat{}, {0, 0, 0}), &p, &q, &s);
  EXPECT_EQ(1, q.w);
}

TEST(TickRate, ZeroOrBrokenRatesMeanTwentyFiveWithAWarning) {
  std::vector<std::string> warnings;
  EXPECT_EQ(1000, EffectiveTickRate(1000, "a", &warnings));
  EXPECT_TRUE(warnings.empty());
  for (double rate : {0.0, -5.0, std::nan(""), double{INFINITY}}) {
    EXPECT_EQ(25, EffectiveTickRate(rate, "walk", &warnings)) << rate;
  }
  ASSERT_EQ(4u, warnings.size());
  EXPECT_NE(std::string::npos, warnings[0].find("'walk'"));
  EXPECT_NE(std::string::npos, warnings[0].find("25"));
}

}  // namespace
}  // namespace kin::host
