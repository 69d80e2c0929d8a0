// `kin export` over the real third-party animation files: for each one the
// written bones match the importer's skeleton, the frame count matches the
// range, and the first and last poses are the file's own first and last
// keys, as Assimp reads them. Built only when the samples folder exists.
#include <assimp/config.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <cmath>
#include <filesystem>

#include "host/assimp_importer.h"
#include "host/skeleton_layout.h"
#include "kin_parse.h"
#include "test_support.h"
#include "tests/support/run_kin.h"

namespace kin::host {
namespace {

namespace fs = std::filesystem;
using run_kin::RunKin;
using testing::TempDir;

const std::string kSamples = KIN_SAMPLES_DIR;

struct Sample {
  const char* path;  // inside the samples folder
  int bones;         // as counted by hand from the file
};

// Names the file in test output.
void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.path; }

const Sample kSampleFiles[] = {
    {"bvh/jumping_jacks.bvh", 31},
    {"bvh/dab.bvh", 27},
    {"bvh/test_mocapbank.bvh", 19},
    {"bvh/test_simple.bvh", 2},
    {"gltf/SimpleSkin.gltf", 2},
    {"gltf/RiggedSimple.gltf", 2},
    {"gltf/RiggedFigure.gltf", 19},
    {"collada/RiggedSimple.dae", 2},
    {"collada/box_nested_animation.dae", 1},
    // The skin's 9 (and 14) joints; the second file's two chains meet at
    // the Armature node, which becomes the root.
    {"fbx/huesitos.fbx", 9},
    {"fbx/animation_with_skeleton.fbx", 15},
};

// The reference poses, read straight from Assimp's scene.
class Reference {
 public:
  explicit Reference(const std::string& path) {
    importer_.SetPropertyBool(AI_CONFIG_IMPORT_NO_SKELETON_MESHES, true);
    importer_.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
    importer_.SetPropertyBool(AI_CONFIG_IMPORT_COLLADA_USE_COLLADA_NAMES, true);
    scene_ = importer_.ReadFile(path, 0);
  }
  const aiScene* scene() const { return scene_; }
  const aiAnimation& animation() const { return *scene_->mAnimations[0]; }

  const aiNodeAnim* Channel(const std::string& node) const {
    for (unsigned i = 0; i < animation().mNumChannels; ++i) {
      if (node == animation().mChannels[i]->mNodeName.C_Str()) {
        return animation().mChannels[i];
      }
    }
    return nullptr;
  }

  // The last key time of the first animation, in seconds.
  double EndSeconds() const {
    const double rate = animation().mTicksPerSecond;
    double end = animation().mDuration;
    for (unsigned i = 0; i < animation().mNumChannels; ++i) {
      const aiNodeAnim* c = animation().mChannels[i];
      if (c->mNumPositionKeys)
        end = std::max(end, c->mPositionKeys[c->mNumPositionKeys - 1].mTime);
      if (c->mNumRotationKeys)
        end = std::max(end, c->mRotationKeys[c->mNumRotationKeys - 1].mTime);
      if (c->mNumScalingKeys)
        end = std::max(end, c->mScalingKeys[c->mNumScalingKeys - 1].mTime);
    }
    return end / rate;
  }

  // Position and rotation (w, x, y, z) of `node` at its first or last key,
  // or at rest when no channel drives it.
  void Pose(const std::string& node, bool last, aiVector3D* position,
            aiQuaternion* rotation) const {
    aiVector3D scale;
    scene_->mRootNode->FindNode(node.c_str())
        ->mTransformation.Decompose(scale, *rotation, *position);
    if (const aiNodeAnim* c = Channel(node)) {
      if (c->mNumPositionKeys > 0) {
        *position = c->mPositionKeys[last ? c->mNumPositionKeys - 1 : 0].mValue;
      }
      if (c->mNumRotationKeys > 0) {
        *rotation = c->mRotationKeys[last ? c->mNumRotationKeys - 1 : 0].mValue;
      }
    }
    rotation->Normalize();
  }

 private:
  Assimp::Importer importer_;
  const aiScene* scene_ = nullptr;
};

void ExpectRecord(const std::array<float, 7>& record,
                  const aiVector3D& position, const aiQuaternion& rotation) {
  const float p[3] = {position.x, position.y, position.z};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(p[i], record[i], 1e-4 * std::max(1.0f, std::fabs(p[i])))
        << "position " << i;
  }
  // The same rotation either sign; written x, y, z, w.
  const float q[4] = {rotation.x, rotation.y, rotation.z, rotation.w};
  const float sign = q[0] * record[3] + q[1] * record[4] + q[2] * record[5] +
                                 q[3] * record[6] <
                             0
                         ? -1.0f
                         : 1.0f;
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(q[i], sign * record[3 + i], 1e-5) << "rotation " << i;
  }
}

class SampleExport : public ::testing::TestWithParam<Sample> {};

TEST_P(SampleExport, MatchesTheFileItself) {
  const std::string input = kSamples + "/" + GetParam().path;
  TempDir dir;
  const run_kin::KinRun run =
      RunKin({"export", input, "-o", dir / "out.kin"}, dir.path());
  ASSERT_EQ(0, run.exitCode) << run.err;

  kin_parse::KinFile file;
  std::string error;
  ASSERT_TRUE(kin_parse::ParseFile(dir / "out.kin", &file, &error)) << error;

  // Bones: the importer's skeleton, names and tree.
  const ImportResult imported = AssimpImporter().Import(input);
  ASSERT_TRUE(imported.ok) << imported.error;
  SkeletonLayout layout;
  std::vector<std::string> warnings;
  ASSERT_EQ("",
            BuildSkeletonLayout(imported.scene, imported.scene.animations[0],
                                &layout, &warnings));
  ASSERT_EQ(static_cast<size_t>(GetParam().bones), file.bones.size());
  ASSERT_EQ(layout.bones.size(), file.bones.size());
  for (size_t i = 0; i < file.bones.size(); ++i) {
    EXPECT_EQ(layout.bones[i].name, file.bones[i].name) << i;
    EXPECT_EQ(layout.bones[i].parent, file.bones[i].parent) << i;
  }

  // Frames: the whole animation at the file's own rate (BVH, FBX) or 30,
  // both ends included.
  const Reference reference(input);
  ASSERT_NE(nullptr, reference.scene());
  const std::string extension = fs::path(input).extension().string();
  const double fps = extension == ".bvh" || extension == ".fbx"
                         ? reference.animation().mTicksPerSecond
                         : 30.0;
  const int expectedFrames =
      static_cast<int>(std::ceil(reference.EndSeconds() * fps - 1e-6)) + 1;
  EXPECT_EQ(expectedFrames, file.frameCount);
  ASSERT_EQ(static_cast<size_t>(expectedFrames), file.frames.size());
  EXPECT_EQ(expectedFrames - 1, file.frames.back().offset);

  // Poses: frame 0 lies at or before every first key and the last frame at
  // or after every last key, so they hold the file's own end keys.
  for (size_t i = 0; i < file.bones.size(); ++i) {
    SCOPED_TRACE(file.bones[i].name);
    aiVector3D position;
    aiQuaternion rotation;
    reference.Pose(file.bones[i].name, false, &position, &rotation);
    ExpectRecord(file.frames.front().records[i], position, rotation);
    reference.Pose(file.bones[i].name, true, &position, &rotation);
    ExpectRecord(file.frames.back().records[i], position, rotation);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Samples, SampleExport, ::testing::ValuesIn(kSampleFiles),
    [](const ::testing::TestParamInfo<Sample>& info) {
      std::string name =
          fs::path(info.param.path).stem().string() + "_" +
          fs::path(info.param.path).extension().string().substr(1);
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

TEST(SampleFiles, SimpleBvhMatchesItsOwnMotionLines) {
  // Checked against the text itself, not Assimp: frame 1 of the file moves
  // the root to (1, 1, 1) and turns End by Z, X, Y = 1 degree each, applied
  // in that channel order (R = Rz Rx Ry).
  TempDir dir;
  const run_kin::KinRun run =
      RunKin({"export", kSamples + "/bvh/test_simple.bvh", "-o", dir / "s.kin"},
             dir.path());
  ASSERT_EQ(0, run.exitCode) << run.err;
  kin_parse::KinFile file;
  std::string error;
  ASSERT_TRUE(kin_parse::ParseFile(dir / "s.kin", &file, &error)) << error;
  ASSERT_EQ(2u, file.frames.size());
  ASSERT_EQ("End", file.bones[1].name);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(0, file.frames[0].records[0][i], 1e-6);
    EXPECT_NEAR(1, file.frames[1].records[0][i], 1e-6);
  }
  EXPECT_NEAR(15, file.frames[1].records[1][2], 1e-5);  // End's OFFSET
  const Quat z = testing::AxisAngle(0, 0, 1, 1);
  const Quat x = testing::AxisAngle(1, 0, 0, 1);
  const Quat y = testing::AxisAngle(0, 1, 0, 1);
  const Quat q = Multiply(Multiply(z, x), y);
  const auto& record = file.frames[1].records[1];
  EXPECT_NEAR(q.x, record[3], 1e-6);
  EXPECT_NEAR(q.y, record[4], 1e-6);
  EXPECT_NEAR(q.z, record[5], 1e-6);
  EXPECT_NEAR(q.w, record[6], 1e-6);
}

TEST(SampleFiles, UnreadableColladaFailsCleanly) {
  TempDir dir;
  const run_kin::KinRun run =
      RunKin({"export", kSamples + "/collada/library_animation_clips.dae", "-o",
              dir.path()},
             dir.path());
  EXPECT_EQ(3, run.exitCode);
  EXPECT_NE(std::string::npos,
            run.err.find("library_animation_clips.dae: cannot import: "));
  EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    ADD_FAILURE() << "left behind: " << entry.path();
  }
}

TEST(SampleFiles, ParallelExportOfAllSamples) {
  // Every sample at once on two threads: eleven files, one failure, the
  // worst code.
  TempDir dir;
  std::vector<std::string> args = {"export", "-j", "2", "-o", dir.path()};
  for (const Sample& sample : kSampleFiles) {
    args.push_back(kSamples + "/" + sample.path);
  }
  // Collada's RiggedSimple shares its stem with the glTF one: put it apart.
  args.erase(std::find(args.begin(), args.end(),
                       kSamples + "/collada/RiggedSimple.dae"));
  args.push_back(kSamples + "/collada/library_animation_clips.dae");
  const run_kin::KinRun run = RunKin(args, dir.path());
  EXPECT_EQ(3, run.exitCode) << run.err;
  EXPECT_NE(std::string::npos,
            run.out.find("kin export: 10 of 11 files exported, 1 failed"));
  for (const Sample& sample : kSampleFiles) {
    const std::string stem = fs::path(sample.path).stem().string();
    EXPECT_TRUE(fs::exists(dir / (stem + ".kin"))) << stem;
  }
  EXPECT_FALSE(fs::exists(dir / "library_animation_clips.kin"));
}

}  // namespace
}  // namespace kin::host
