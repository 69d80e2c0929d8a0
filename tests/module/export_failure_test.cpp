// Exports that cannot complete: result 16, nothing left behind, nothing
// touched that the contract keeps for the host.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>

#include "chunkfile/format.h"
#include "plugin/kinexport.h"
#include "tests/support/fake_scene.h"
#include "tests/support/file_limit.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class ExportFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skeleton_.AddBone("root");
    skeleton_.AddBone("child", 0);
    skeleton_.Build();
    animation_.AddEvent(0, 1, "hit");
    animation_.AddEvent(99, 2, "outside");
    animation_.BuildEvents();
  }
  test_files::TempDir dir_;
  fake::FakeSkeleton skeleton_;
  fake::FakeAnimation animation_{"anim", 0, 50};
};

TEST_F(ExportFailureTest, UnopenablePathsTouchNothing) {
  const std::string missing_dir = dir_.File("no/such/dir/out.kin");
  const std::string directory = dir_.path().string();
  for (const std::string& path : {missing_dir, directory}) {
    EXPECT_EQ(ExportAnim(&skeleton_, &animation_.info, path.c_str()), 16)
        << path;
    EXPECT_TRUE(skeleton_.calls.empty()) << path;
    EXPECT_TRUE(animation_.NoneReleased()) << path;
  }
  EXPECT_FALSE(fs::exists(missing_dir));
  EXPECT_TRUE(fs::is_directory(directory));
}

TEST_F(ExportFailureTest, NullArgumentsTouchNothing) {
  const std::string path = dir_.File("null.kin");
  test_files::WriteAll(path, "keep me");
  struct NullSkeleton : Skeleton {
    void Destroy() override {}
    void SetFrame(int) override { ++calls; }
    int calls = 0;
  } rootless;
  struct Case {
    const char* what;
    Skeleton* skeleton;
    AnimInfo* info;
    const char* file;
  };
  const Case cases[] = {
      {"skeleton", nullptr, &animation_.info, path.c_str()},
      {"info", &skeleton_, nullptr, path.c_str()},
      {"file name", &skeleton_, &animation_.info, nullptr},
      {"root", &rootless, &animation_.info, path.c_str()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExportAnim(c.skeleton, c.info, c.file), 16) << "null " << c.what;
  }
  EXPECT_EQ(test_files::ReadAll(path), "keep me");
  EXPECT_TRUE(skeleton_.calls.empty());
  EXPECT_EQ(rootless.calls, 0);
  EXPECT_TRUE(animation_.NoneReleased());
}

TEST_F(ExportFailureTest, WriteFailureReturns16AndRemovesThePartialFile) {
  // Fails in the middle of the frames, and in the final flush at close.
  for (rlim_t limit : {rlim_t{4000}, rlim_t{4096 * 2 + 100}}) {
    const std::string path = dir_.File("limited.kin");
    const int status = test_files::RunWithFileLimit(limit, [&] {
      fake::FakeSkeleton skeleton;
      skeleton.AddBone("root");
      for (int b = 0; b < 9; ++b) skeleton.AddBone("b", 0);
      skeleton.Build();
      fake::FakeAnimation animation("big", 0, 49);  // about 14 KiB
      animation.AddEvent(3, 1, "e");
      animation.BuildEvents();
      const int result = ExportAnim(&skeleton, &animation.info, path.c_str());
      if (result != 16) return 1;
      if (!animation.AllReleasedOnce()) return 2;
      return 0;
    });
    EXPECT_EQ(status, 0) << "limit " << limit;
    EXPECT_FALSE(fs::exists(path)) << "limit " << limit;
  }
}

TEST_F(ExportFailureTest, FailureNeverRemovesWhatIsNotARegularFile) {
  // A link to a file: the export writes through it, fails, and must remove
  // neither the link nor the file it names.
  const std::string target = dir_.File("target.kin");
  const std::string link = dir_.File("link.kin");
  test_files::WriteAll(target, "x");
  fs::create_symlink(target, link);
  const int status = test_files::RunWithFileLimit(1000, [&] {
    return ExportAnim(&skeleton_, &animation_.info, link.c_str()) == 16 ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
  EXPECT_TRUE(fs::exists(target));
}

TEST_F(ExportFailureTest, StopsBeforePassingTheLargestDescribableSize) {
  // An animation name long enough that the frames cross 2 GiB after a few
  // dozen; the range would run for 2^31 frames if the export did not stop.
  const size_t length = static_cast<size_t>(kin::kMaxFilePosition) - 2000;
  std::string name(length, 'n');
  animation_.info.name = name.c_str();
  animation_.info.startFrame = 0;
  animation_.info.endFrame = INT32_MAX;
  const std::string path = dir_.File("huge.kin");
  EXPECT_EQ(ExportAnim(&skeleton_, &animation_.info, path.c_str()), 16);
  EXPECT_FALSE(fs::exists(path));
  // 2000 bytes hold a few dozen frames of two bones (64 bytes each).
  EXPECT_GT(skeleton_.PosedFrames().size(), 10u);
  EXPECT_LT(skeleton_.PosedFrames().size(), 40u);
  EXPECT_TRUE(animation_.AllReleasedOnce());
}

}  // namespace
