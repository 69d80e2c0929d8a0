// Whole exports through `ExportAnim`, compared with independently built bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "plugin/kinexport.h"
#include "reader/reader.h"
#include "tests/support/fake_scene.h"
#include "tests/support/kin_bytes.h"
#include "tests/support/temp_dir.h"

namespace {

namespace kb = kin_bytes;
using fake::Call;

// The expected file for a skeleton whose bones are all children of the root
// (or only the root), over frames first..last with no events.
std::string FlatFile(const fake::FakeSkeleton& skeleton,
                     const std::vector<std::string>& names,
                     const fake::FakeAnimation& animation,
                     const std::string& name) {
  const AnimInfo& info = animation.info;
  kb::BoneNode root{names[0], {}};
  for (size_t i = 1; i < names.size(); ++i)
    root.children.push_back({names[i], {}});
  std::vector<std::string> chunks = {
      kb::Info(
          name,
          static_cast<int32_t>(static_cast<uint32_t>(info.endFrame) -
                               static_cast<uint32_t>(info.startFrame) + 1u),
          info.infoValueA, info.infoValueB),
      kb::Events({}), kb::Skeleton(root)};
  int32_t offset = 0;
  for (int64_t frame = info.startFrame; frame <= info.endFrame;
       ++frame, ++offset) {
    std::vector<kb::Record> records;
    for (int bone = 0; bone < skeleton.size(); ++bone) {
      records.push_back(skeleton.RecordAt(bone, static_cast<int>(frame)));
    }
    chunks.push_back(kb::Frame(offset, records));
  }
  return kb::File(chunks);
}

// Reads `path` back through the reader, which checks every rule of the
// format, and compares what it finds with the scene that was exported.
void ExpectReadsBack(const std::string& path,
                     const fake::FakeSkeleton& skeleton, const AnimInfo& info,
                     const std::vector<int>& preorder) {
  const auto read = kin::reader::ReadFile(path);
  ASSERT_TRUE(read) << read.error().message;
  const kin::reader::Animation& animation = read.value();
  EXPECT_EQ(animation.name, info.name);
  EXPECT_EQ(animation.valueA, info.infoValueA);
  EXPECT_EQ(animation.valueB, info.infoValueB);
  ASSERT_EQ(animation.bones.size(), preorder.size());
  const int64_t frames = int64_t{info.endFrame} - info.startFrame + 1;
  ASSERT_EQ(static_cast<int64_t>(animation.frames.size()),
            std::max<int64_t>(frames, 0));
  for (size_t n = 0; n < animation.frames.size(); ++n) {
    const int frame =
        static_cast<int>(info.startFrame + static_cast<int64_t>(n));
    for (size_t k = 0; k < preorder.size(); ++k) {
      const kb::Record expected = skeleton.RecordAt(preorder[k], frame);
      EXPECT_EQ(
          std::memcmp(animation.frames[n].records[k].data(), expected.bits, 28),
          0)
          << "frame " << n << " bone " << k;
    }
  }
}

std::vector<int> Indices(int count) {
  std::vector<int> indices(count);
  for (int i = 0; i < count; ++i) indices[i] = i;
  return indices;
}

class ExportTest : public ::testing::Test {
 protected:
  test_files::TempDir dir_;
};

TEST_F(ExportTest, WorkedExampleIs184BytesWithEverySizeInPlace) {
  fake::FakeSkeleton skeleton;
  skeleton.AddBone("hips");
  skeleton.Build();
  fake::FakeAnimation animation("walk", 0, 1);
  const std::string path = dir_.File("walk.kin");

  ASSERT_EQ(ExportAnim(&skeleton, &animation.info, path.c_str()), 0);
  const std::string bytes = test_files::ReadAll(path);
  ASSERT_EQ(bytes.size(), 184u);
  struct Field {
    size_t offset;
    const char* tag;
    uint32_t size;
  };
  const Field fields[] = {{0, "VOXR", 176}, {12, "INFO", 24}, {44, "EVNT", 8},
                          {60, "SKEL", 28}, {72, "BONE", 16}, {96, "FRAM", 36},
                          {140, "FRAM", 36}};
  for (const Field& f : fields) {
    EXPECT_EQ(bytes.substr(f.offset, 4), f.tag) << "at " << f.offset;
    EXPECT_EQ(bytes.substr(f.offset + 4, 4), kb::U32(f.size))
        << f.tag << " at " << f.offset;
  }
  EXPECT_EQ(bytes.substr(8, 4), "ANIM");
  EXPECT_EQ(bytes, FlatFile(skeleton, {"hips"}, animation, "walk"));
}

TEST_F(ExportTest, ReplacesALongerExistingFile) {
  const std::string path = dir_.File("old.kin");
  test_files::WriteAll(path, std::string(100000, 'x'));
  fake::FakeSkeleton skeleton;
  skeleton.AddBone("hips");
  skeleton.Build();
  fake::FakeAnimation animation("walk", 0, 1);
  ASSERT_EQ(ExportAnim(&skeleton, &animation.info, path.c_str()), 0);
  EXPECT_EQ(test_files::ReadAll(path),
            FlatFile(skeleton, {"hips"}, animation, "walk"));
}

TEST_F(ExportTest, FrameRangesIncludingTheEdgesOfInt32) {
  struct Case {
    int32_t first, last;
    std::vector<int> poses;  // the SetFrame calls expected, in order
  };
  const Case cases[] = {
      {7, 7, {7}},
      {3, 1, {}},
      {-2, 1, {-2, -1, 0, 1}},
      {INT32_MAX - 2, INT32_MAX, {INT32_MAX - 2, INT32_MAX - 1, INT32_MAX}},
      {INT32_MAX, INT32_MAX, {INT32_MAX}},
      {INT32_MIN, INT32_MIN + 1, {INT32_MIN, INT32_MIN + 1}},
  };
  for (const Case& c : cases) {
    fake::FakeSkeleton skeleton;
    skeleton.AddBone("root");
    skeleton.AddBone("arm", 0);
    skeleton.Build();
    fake::FakeAnimation animation("range", c.first, c.last);
    const std::string path = dir_.File("range.kin");
    ASSERT_EQ(ExportAnim(&skeleton, &animation.info, path.c_str()), 0);
    EXPECT_EQ(test_files::ReadAll(path),
              FlatFile(skeleton, {"root", "arm"}, animation, "range"))
        << c.first << ".." << c.last;
    ExpectReadsBack(path, skeleton, animation.info, {0, 1});
    EXPECT_EQ(skeleton.PosedFrames(), c.poses) << c.first << ".." << c.last;
  }
}

TEST_F(ExportTest, CallsTheHostInTheContractedOrder) {
  // R(A(C), B) with R's children in two blocks, three frames, and events on
  // and off the range, in two blocks.
  fake::FakeSkeleton skeleton;
  fake::BuildTreeRACB(skeleton);
  fake::FakeAnimation animation("contract", 10, 12);
  animation.AddEvent(9, 1, "early");
  animation.AddEvent(12, 2, "end");
  animation.AddEvent(10, 3, "start");
  animation.AddEvent(13, 4, "late");
  animation.BuildEvents({3});

  const std::string path = dir_.File("contract.kin");
  ASSERT_EQ(ExportAnim(&skeleton, &animation.info, path.c_str()), 0);

  const int order[] = {0, 1, 3, 2};
  std::vector<Call> expected;
  for (int bone : order) expected.push_back({Call::kGetName, bone, 0});
  for (int frame = 10; frame <= 12; ++frame) {
    expected.push_back({Call::kSetFrame, frame, 0});
    for (int bone : order) {
      expected.push_back({Call::kGetPosition, bone, 0});
      expected.push_back({Call::kGetRotation, bone, 0});
    }
  }
  EXPECT_EQ(skeleton.calls, expected);
  EXPECT_TRUE(animation.AllReleasedOnce());
  ASSERT_FALSE(skeleton.calls.empty());
  EXPECT_LT(animation.LastReleaseTick(), skeleton.calls.front().tick)
      << "events must be released before the skeleton is written";

  std::vector<std::string> chunks = {
      kb::Info("contract", 3, 0x11223344, 0xA5A5F00D),
      kb::Events({{2, 2, "end"}, {0, 3, "start"}}),
      kb::Skeleton({"R", {{"A", {{"C", {}}}}, {"B", {}}}})};
  for (int frame = 10; frame <= 12; ++frame) {
    std::vector<kb::Record> records;
    for (int bone : order) records.push_back(skeleton.RecordAt(bone, frame));
    chunks.push_back(kb::Frame(frame - 10, records));
  }
  EXPECT_EQ(test_files::ReadAll(path), kb::File(chunks));
  ExpectReadsBack(path, skeleton, animation.info, {0, 1, 3, 2});
}

TEST_F(ExportTest, EightThreadsExportAtOnce) {
  constexpr int kThreads = 8;
  struct Job {
    fake::FakeSkeleton skeleton;
    std::unique_ptr<fake::FakeAnimation> animation;
    std::vector<std::string> names;
    std::string path;
    int result = -1;
  };
  std::vector<Job> jobs(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    Job& job = jobs[t];
    job.names.push_back("root" + std::to_string(t));
    job.skeleton.AddBone(job.names.back());
    for (int b = 0; b < t + 1; ++b) {
      job.names.push_back("b" + std::to_string(b));
      job.skeleton.AddBone(job.names.back(), 0);
    }
    job.skeleton.Build();
    job.animation = std::make_unique<fake::FakeAnimation>(
        "t" + std::to_string(t), t, t + 300);
    job.path = dir_.File("thread" + std::to_string(t) + ".kin");
  }
  std::vector<std::thread> threads;
  for (Job& job : jobs) {
    threads.emplace_back([&job] {
      job.result =
          ExportAnim(&job.skeleton, &job.animation->info, job.path.c_str());
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (Job& job : jobs) {
    EXPECT_EQ(job.result, 0);
    EXPECT_EQ(test_files::ReadAll(job.path),
              FlatFile(job.skeleton, job.names, *job.animation,
                       job.animation->info.name))
        << job.path;
    ExpectReadsBack(job.path, job.skeleton, job.animation->info,
                    Indices(job.skeleton.size()));
  }
}

TEST_F(ExportTest, ChainOfTenThousandBones) {
  constexpr int kBones = 10000;
  fake::FakeSkeleton skeleton;
  for (int b = 0; b < kBones; ++b)
    skeleton.AddBone("bone" + std::to_string(b), b - 1);
  skeleton.Build();
  fake::FakeAnimation animation("chain", 0, 1);
  const std::string path = dir_.File("chain.kin");
  ASSERT_EQ(ExportAnim(&skeleton, &animation.info, path.c_str()), 0);

  // Each BONE chunk holds the next; sizes add up from the deepest outwards.
  std::vector<uint32_t> sizes(kBones);
  uint32_t inner = 0;
  for (int b = kBones - 1; b >= 0; --b) {
    const std::string name = "bone" + std::to_string(b);
    sizes[b] = 4 + static_cast<uint32_t>(kb::Text(name).size()) + 4 +
               (b + 1 < kBones ? 8 + inner : 0);
    inner = sizes[b];
  }
  std::string skel;
  for (int b = 0; b < kBones; ++b) {
    skel += std::string("BONE") + kb::U32(sizes[b]) + kb::U32(100) +
            kb::Text("bone" + std::to_string(b)) +
            kb::U32(b + 1 < kBones ? 1 : 0);
  }
  std::vector<std::string> chunks = {
      kb::Info("chain", 2, 0x11223344, 0xA5A5F00D), kb::Events({}),
      kb::VersionedChunk("SKEL", skel)};
  for (int frame = 0; frame <= 1; ++frame) {
    std::vector<kb::Record> records;
    for (int b = 0; b < kBones; ++b)
      records.push_back(skeleton.RecordAt(b, frame));
    chunks.push_back(kb::Frame(frame, records));
  }
  EXPECT_EQ(test_files::ReadAll(path), kb::File(chunks));
  ExpectReadsBack(path, skeleton, animation.info, Indices(kBones));
}

TEST(EntryPoints, DescribeTheExporter) {
  const char* extension = Extension();
  EXPECT_STREQ(extension, "KIN");
  EXPECT_EQ(Extension(), extension);
  EXPECT_EQ(ExporterType(), 1);
}

}  // namespace
