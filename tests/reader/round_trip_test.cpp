// Files written by the real export module read back, through the reader,
// to exactly the scene the fake host described.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/kinexport.h"
#include "reader/reader.h"
#include "tests/reader/fake_scene.h"
#include "tests/support/temp_dir.h"

namespace {

using kin::reader::Animation;
using kin_test::EventInput;
using kin_test::FakeScene;
using kin_test::TreeShape;

uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  return bits;
}

class RoundTrip : public ::testing::Test {
 protected:
  // Exports `scene` over `start`..`end`, checks the file is valid with no
  // warnings unless `warningsAllowed`, and reads it back.
  Animation ExportAndRead(FakeScene& scene, const std::string& name,
                          int32_t start, int32_t end,
                          const std::vector<EventInput>& events,
                          bool warningsAllowed = false) {
    const std::string path = dir_.File("out.kin");
    AnimInfo* info =
        scene.Info(name, start, end, 0xA1B2C3D4, 0x01020304, events);
    EXPECT_EQ(ExportAnim(scene.skeleton(), info, path.c_str()), 0);
    auto report = kin::reader::ValidateFile(path);
    EXPECT_TRUE(report.ok());
    if (report.ok()) {
      EXPECT_TRUE(report.value().valid());
      if (!warningsAllowed) {
        EXPECT_EQ(report.value().warningCount(), 0);
      }
      for (const auto& issue : report.value().issues()) {
        if (!warningsAllowed ||
            issue.severity == kin::reader::Severity::kError) {
          ADD_FAILURE() << FormatIssue(issue);
        }
      }
    }
    auto read = kin::reader::ReadFile(path);
    EXPECT_TRUE(read.ok()) << (read.ok() ? "" : read.error().message);
    return read.ok() ? read.value() : Animation{};
  }

  // Every record of every frame is the pose the scene gives at that frame.
  static void ExpectPoses(const FakeScene& scene, const Animation& anim,
                          int32_t start) {
    for (size_t n = 0; n < anim.frames.size(); ++n) {
      ASSERT_EQ(anim.frames[n].offset, static_cast<int32_t>(n));
      ASSERT_EQ(anim.frames[n].records.size(), scene.bones().size());
      for (size_t k = 0; k < scene.bones().size(); ++k) {
        const auto expected =
            scene.pose()(start + static_cast<int>(n), static_cast<int>(k));
        for (int i = 0; i < 7; ++i) {
          ASSERT_EQ(Bits(anim.frames[n].records[k][i]), Bits(expected[i]))
              << "frame " << n << " bone " << k << " value " << i;
        }
      }
    }
  }

  test_files::TempDir dir_;
};

TEST_F(RoundTrip, TreeEventsAndFramesComeBackInOrder) {
  // R(A(C), B): pre-order R, A, C, B; R's children sit in two blocks.
  TreeShape tree{"R", {{"A", {{"C", {}, {}}}, {}}, {"B", {}, {}}}, {1, 1}};
  FakeScene scene(tree);
  const Animation anim = ExportAndRead(scene, "walk cycle", 3, 6,
                                       {{2, 1, "before"},
                                        {3, 10, "first"},
                                        {6, 11, "last"},
                                        {7, 2, "after"},
                                        {4, 12, "same"},
                                        {4, 13, "same"}});
  EXPECT_EQ(anim.name, "walk cycle");
  EXPECT_EQ(anim.frameCount, 4);
  EXPECT_EQ(anim.valueA, 0xA1B2C3D4u);
  EXPECT_EQ(anim.valueB, 0x01020304u);
  ASSERT_EQ(anim.events.size(), 4u);
  const int32_t offsets[] = {0, 3, 1, 1};
  const uint32_t values[] = {10, 11, 12, 13};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(anim.events[i].offset, offsets[i]);
    EXPECT_EQ(anim.events[i].value, values[i]);
  }
  EXPECT_EQ(anim.events[0].name, "first");
  ASSERT_EQ(anim.bones.size(), 4u);
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(anim.bones[k].name, scene.bones()[k].name);
    EXPECT_EQ(anim.bones[k].parent, scene.bones()[k].parent);
  }
  EXPECT_EQ(anim.bones[2].name, "C");
  EXPECT_EQ(anim.bones[2].parent, 1);
  EXPECT_EQ(anim.bones[3].parent, 0);
  ASSERT_EQ(anim.frames.size(), 4u);
  ExpectPoses(scene, anim, 3);
}

TEST_F(RoundTrip, EmptyAndNegativeRangesHaveNoFrames) {
  for (const auto& range : {std::pair<int32_t, int32_t>{5, 4}, {10, -20}}) {
    FakeScene scene(TreeShape{"only", {}, {}});
    const Animation anim =
        ExportAndRead(scene, "", range.first, range.second, {{5, 1, "x"}});
    EXPECT_EQ(anim.frameCount, range.second - range.first + 1);
    EXPECT_TRUE(anim.frames.empty());
    EXPECT_TRUE(anim.events.empty());
    EXPECT_EQ(anim.name, "");
  }
}

TEST_F(RoundTrip, SingleFrameAtExtremeFrameNumbers) {
  FakeScene scene(TreeShape{"b", {}, {}});
  const Animation anim =
      ExportAndRead(scene, "one", INT32_MIN, INT32_MIN, {{INT32_MIN, 9, "e"}});
  EXPECT_EQ(anim.frameCount, 1);
  ASSERT_EQ(anim.frames.size(), 1u);
  ASSERT_EQ(anim.events.size(), 1u);
  EXPECT_EQ(anim.events[0].offset, 0);
  ExpectPoses(scene, anim, INT32_MIN);
}

TEST_F(RoundTrip, NamesOfEveryLengthAndByteComeBackUnchanged) {
  const std::vector<std::string> names = {"",
                                          "abc",
                                          "abcd",
                                          "abcde",
                                          "\xff\xfe bytes \x01",
                                          "r\xc3\xa9sum\xc3\xa9",
                                          std::string(257, 'q')};
  TreeShape tree{names[0], {}, {}};
  for (size_t i = 1; i < names.size(); ++i)
    tree.children.push_back({names[i], {}, {}});
  std::vector<EventInput> events;
  for (size_t i = 0; i < names.size(); ++i)
    events.push_back({0, static_cast<uint32_t>(i), names[i]});
  FakeScene scene(tree);
  const Animation anim = ExportAndRead(scene, "\x80name", 0, 0, events);
  EXPECT_EQ(anim.name, "\x80name");
  ASSERT_EQ(anim.bones.size(), names.size());
  ASSERT_EQ(anim.events.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(anim.bones[i].name, names[i]);
    EXPECT_EQ(anim.events[i].name, names[i]);
  }
}

TEST_F(RoundTrip, RealsKeepEveryBitPattern) {
  const uint32_t patterns[] = {0x7fc00000, 0x7fa00001, 0xffc12345,
                               0x7f800000, 0xff800000, 0x80000000,
                               0x00000001, 0x807fffff, 0x7f7fffff};
  FakeScene scene(
      TreeShape{"root", {{"child", {}, {}}}, {}}, [&](int frame, int bone) {
        kin::reader::Record record;
        for (int i = 0; i < 7; ++i) {
          const uint32_t bits = patterns[(frame * 14 + bone * 7 + i) % 9];
          std::memcpy(&record[i], &bits, 4);
        }
        return record;
      });
  const Animation anim =
      ExportAndRead(scene, "bits", 0, 2, {}, /*warningsAllowed=*/true);
  ASSERT_EQ(anim.frames.size(), 3u);
  ExpectPoses(scene, anim, 0);
}

TEST_F(RoundTrip, DeepChainReadsWithoutRecursion) {
  // Deep enough that a reader recursing per bone would use a large stack;
  // the module's own writers recurse, so stay within what they handle.
  TreeShape root{"b0", {}, {}};
  TreeShape* at = &root;
  for (int k = 1; k < 2000; ++k) {
    at->children.push_back({"b" + std::to_string(k), {}, {}});
    at = &at->children.back();
  }
  FakeScene scene(root);
  const Animation anim = ExportAndRead(scene, "chain", 0, 1, {});
  ASSERT_EQ(anim.bones.size(), 2000u);
  for (size_t k = 1; k < anim.bones.size(); ++k) {
    ASSERT_EQ(anim.bones[k].parent, static_cast<int32_t>(k - 1));
  }
  EXPECT_EQ(anim.bones[1999].name, "b1999");
  ExpectPoses(scene, anim, 0);
}

}  // namespace
