// The INFO, EVNT, SKEL and FRAM writers, on an in-memory stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "animfile/frame_range.h"
#include "animfile/info_chunks.h"
#include "tests/support/fake_scene.h"
#include "tests/support/kin_bytes.h"

namespace {

namespace kb = kin_bytes;
using fake::Call;

TEST(InfoChunk, HoldsNameFrameCountAndRawWords) {
  fake::FakeAnimation animation("walk", 10, 19);
  std::ostringstream out(std::ios::binary);
  kin::WriteInfoChunk(out, animation.info);
  EXPECT_EQ(out.str(), kb::Info("walk", 10, 0x11223344, 0xA5A5F00D));
}

TEST(InfoChunk, EmptyOrNullNameGivesSizeTwenty) {
  for (const char* name : {"", static_cast<const char*>(nullptr)}) {
    fake::FakeAnimation animation("", 0, 0);
    animation.info.name = name;
    std::ostringstream out(std::ios::binary);
    kin::WriteInfoChunk(out, animation.info);
    EXPECT_EQ(out.str(), kb::Info("", 1, 0x11223344, 0xA5A5F00D));
    EXPECT_EQ(out.str().substr(4, 4), kb::U32(20));
  }
}

TEST(InfoChunk, ReversedRangeKeepsItsNegativeCount) {
  fake::FakeAnimation animation("x", 5, 2);
  std::ostringstream out(std::ios::binary);
  kin::WriteInfoChunk(out, animation.info);
  EXPECT_EQ(out.str(), kb::Info("x", -2, 0x11223344, 0xA5A5F00D));
}

TEST(EventChunk, EmptyListGivesSizeEight) {
  fake::FakeAnimation animation("a", 0, 10);
  std::ostringstream out(std::ios::binary);
  kin::WriteEventChunk(out, animation.info);
  EXPECT_EQ(out.str(), kb::Events({}));
  EXPECT_EQ(out.str().substr(4, 4), kb::U32(8));
}

TEST(EventChunk, WritesInRangeEventsInListOrderAndReleasesAll) {
  fake::FakeAnimation animation("a", -10, -5);
  animation.AddEvent(-11, 1, "before");     // out, just before the range
  animation.AddEvent(-10, 2, "first");      // offset 0
  animation.AddEvent(-7, 3, "step");        // offset 3
  animation.AddEvent(-7, 4, "step");        // the same again: kept
  animation.AddEvent(-5, 5, "last");        // offset 5
  animation.AddEvent(-4, 6, "after");       // out, just after the range
  animation.AddEvent(INT32_MIN, 7, "min");  // out
  animation.AddEvent(-8, 0xFFFFFFFF, "");   // empty name, raw value
  animation.AddEvent(-6, 9, nullptr);       // null name is the empty text
  animation.BuildEvents({2, 3, 1});         // spread over four blocks
  std::ostringstream out(std::ios::binary);
  kin::WriteEventChunk(out, animation.info);
  EXPECT_EQ(out.str(), kb::Events({{0, 2, "first"},
                                   {3, 3, "step"},
                                   {3, 4, "step"},
                                   {5, 5, "last"},
                                   {2, 0xFFFFFFFF, ""},
                                   {4, 9, ""}}));
  EXPECT_TRUE(animation.AllReleasedOnce());
}

TEST(EventChunk, ReversedRangeHoldsNoEventButReleasesThem) {
  fake::FakeAnimation animation("a", 5, 2);
  animation.AddEvent(2, 1, "x");
  animation.AddEvent(5, 1, "y");
  animation.AddEvent(3, 1, "z");
  animation.BuildEvents();
  std::ostringstream out(std::ios::binary);
  kin::WriteEventChunk(out, animation.info);
  EXPECT_EQ(out.str(), kb::Events({}));
  EXPECT_TRUE(animation.AllReleasedOnce());
}

TEST(EventChunk, RangeEndingAtTheLimitsOfInt32) {
  fake::FakeAnimation animation("a", INT32_MIN, INT32_MAX);
  animation.AddEvent(INT32_MAX, 1, "end");
  animation.AddEvent(INT32_MIN, 2, "start");
  animation.BuildEvents();
  std::ostringstream out(std::ios::binary);
  kin::WriteEventChunk(out, animation.info);
  EXPECT_EQ(out.str(), kb::Events({{-1, 1, "end"}, {0, 2, "start"}}));
}

TEST(SkeletonChunk, NestsBonesWithNamesAndChildCounts) {
  fake::FakeSkeleton skeleton;
  fake::BuildTreeRACB(skeleton);
  std::ostringstream out(std::ios::binary);
  skeleton.WriteSkeleton(out);
  EXPECT_EQ(out.str(), kb::Skeleton({"R", {{"A", {{"C", {}}}}, {"B", {}}}}));
  // Only names are read, in pre-order; no pose is asked for.
  EXPECT_EQ(skeleton.calls, (std::vector<Call>{{Call::kGetName, 0, 0},
                                               {Call::kGetName, 1, 0},
                                               {Call::kGetName, 3, 0},
                                               {Call::kGetName, 2, 0}}));
}

TEST(SkeletonChunk, ChildlessBoneSizeIsTwelvePlusPaddedName) {
  for (const std::string& name :
       {std::string(""), std::string("abcd"), std::string("abcde")}) {
    fake::FakeSkeleton skeleton;
    skeleton.AddBone(name);
    skeleton.Build();
    std::ostringstream out(std::ios::binary);
    skeleton.WriteSkeleton(out);
    const uint32_t padded = static_cast<uint32_t>((name.size() + 3) / 4 * 4);
    EXPECT_EQ(out.str().substr(16, 4), kb::U32(12 + padded)) << name;
    EXPECT_EQ(out.str(), kb::Skeleton({name, {}}));
  }
}

TEST(SkeletonChunk, ChildrenSpreadOverBlocksComeInBlockOrder) {
  fake::FakeSkeleton skeleton;
  skeleton.AddBone("root");
  for (const char* name : {"c0", "c1", "c2", "c3", "c4", "c5"})
    skeleton.AddBone(name, 0);
  skeleton.SetBlockSizes(0, {2, 1, 3});
  skeleton.Build();
  std::ostringstream out(std::ios::binary);
  skeleton.WriteSkeleton(out);
  EXPECT_EQ(out.str(), kb::Skeleton({"root",
                                     {{"c0", {}},
                                      {"c1", {}},
                                      {"c2", {}},
                                      {"c3", {}},
                                      {"c4", {}},
                                      {"c5", {}}}}));
}

TEST(SkeletonChunk, NullBoneNameIsTheEmptyText) {
  fake::FakeSkeleton skeleton;
  skeleton.AddBone("ignored", -1, /*nullName=*/true);
  skeleton.Build();
  std::ostringstream out(std::ios::binary);
  skeleton.WriteSkeleton(out);
  EXPECT_EQ(out.str(), kb::Skeleton({"", {}}));
}

TEST(FrameChunk, PosesFirstThenWritesRecordsInPreOrder) {
  fake::FakeSkeleton skeleton;
  fake::BuildTreeRACB(skeleton);
  std::ostringstream out(std::ios::binary);
  skeleton.WriteFrame(out, 42, 40);
  const int order[] = {0, 1, 3, 2};  // R, A, C, B
  std::vector<kb::Record> records;
  for (int bone : order) records.push_back(skeleton.RecordAt(bone, 42));
  EXPECT_EQ(out.str(), kb::Frame(2, records));
  EXPECT_EQ(out.str().substr(4, 4), kb::U32(8 + 28 * 4));

  std::vector<Call> expected = {{Call::kSetFrame, 42, 0}};
  for (int bone : order) {
    expected.push_back({Call::kGetPosition, bone, 0});
    expected.push_back({Call::kGetRotation, bone, 0});
  }
  EXPECT_EQ(skeleton.calls, expected);
}

TEST(FrameChunk, CopiesEveryBitPatternUnchanged) {
  // Signalling and quiet NaNs with payloads, infinities, negative zero and a
  // subnormal must reach the file bit for bit.
  static const uint32_t kBits[7] = {0x7F800001, 0xFFC00123, 0x7F800000,
                                    0xFF800000, 0x80000000, 0x00000001,
                                    0x7FBFFFFF};
  fake::FakeSkeleton skeleton;
  skeleton.AddBone("raw");
  skeleton.Build();
  skeleton.pose = [](int, int, float out[7]) {
    std::memcpy(out, kBits, sizeof kBits);
  };
  std::ostringstream out(std::ios::binary);
  skeleton.WriteFrame(out, 0, 0);
  kb::Record record;
  std::memcpy(record.bits, kBits, sizeof kBits);
  EXPECT_EQ(out.str(), kb::Frame(0, {record}));
}

// A seekable buffer that holds at most `capacity` bytes and refuses the
// rest, as a full disk would.
class BoundedBuffer : public std::streambuf {
 public:
  explicit BoundedBuffer(size_t capacity) : bytes_(capacity) {
    setp(bytes_.data(), bytes_.data() + bytes_.size());
  }
  std::string written() const { return std::string(bytes_.data(), furthest()); }

 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  pos_type seekoff(off_type offset, std::ios::seekdir direction,
                   std::ios::openmode) override {
    const off_type base = direction == std::ios::beg   ? 0
                          : direction == std::ios::cur ? pptr() - pbase()
                                                       : off_type(furthest());
    return seekpos(pos_type(base + offset), std::ios::out);
  }
  pos_type seekpos(pos_type position, std::ios::openmode) override {
    const off_type at = off_type(position);
    if (at < 0 || at > off_type(furthest())) return pos_type(off_type(-1));
    furthest_ = furthest();
    setp(bytes_.data(), bytes_.data() + bytes_.size());
    pbump(static_cast<int>(at));
    return position;
  }

 private:
  size_t furthest() const {
    return std::max(furthest_, static_cast<size_t>(pptr() - pbase()));
  }
  std::vector<char> bytes_;
  size_t furthest_ = 0;
};

TEST(FrameRange, WritesWhatOneWriteFramePerFrameWrites) {
  const struct {
    int32_t first, last;
  } ranges[] = {{5, 5}, {-1, 2}, {4, 3}, {INT32_MAX - 1, INT32_MAX}};
  for (const auto& range : ranges) {
    fake::FakeSkeleton skeleton;
    fake::BuildTreeRACB(skeleton);
    std::ostringstream expected(std::ios::binary);
    std::vector<int> frames;
    for (int64_t frame = range.first; frame <= range.last; ++frame) {
      skeleton.WriteFrame(expected, static_cast<int>(frame), range.first);
      frames.push_back(static_cast<int>(frame));
    }
    const std::vector<Call> calls = skeleton.calls;
    skeleton.calls.clear();

    std::ostringstream out(std::ios::binary);
    kin::WriteFrameRange(skeleton, out, range.first, range.last);
    EXPECT_EQ(out.str(), expected.str()) << range.first << ".." << range.last;
    EXPECT_EQ(skeleton.calls, calls) << range.first << ".." << range.last;
    EXPECT_EQ(skeleton.PosedFrames(), frames);
  }
}

TEST(FrameRange, StopsAfterTheFrameWhoseWriteFailed) {
  // Two bones: 72 bytes a frame. Room for two and a half frames.
  fake::FakeSkeleton skeleton;
  skeleton.AddBone("root");
  skeleton.AddBone("arm", 0);
  skeleton.Build();
  BoundedBuffer buffer(180);
  std::ostream out(&buffer);
  kin::WriteFrameRange(skeleton, out, 0, 1000);
  EXPECT_TRUE(out.bad());
  EXPECT_EQ(skeleton.PosedFrames(), (std::vector<int>{0, 1, 2}));
  const std::string frame0 =
      kb::Frame(0, {skeleton.RecordAt(0, 0), skeleton.RecordAt(1, 0)});
  EXPECT_EQ(buffer.written().substr(0, frame0.size()), frame0);
}

TEST(FrameRange, WritesNothingToAFailedStream) {
  fake::FakeSkeleton skeleton;
  skeleton.AddBone("root");
  skeleton.Build();
  std::ostringstream out(std::ios::binary);
  out.setstate(std::ios::failbit);
  kin::WriteFrameRange(skeleton, out, 0, 10);
  EXPECT_TRUE(out.str().empty());
  EXPECT_TRUE(skeleton.calls.empty());
}

}  // namespace
