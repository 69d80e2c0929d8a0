// The `kin export` command line: exit codes, one error line per failure
// naming the file, no output on failure, and the example export.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "kin_parse.h"
#include "test_support.h"
#include "tests/support/run_kin.h"

namespace kin::host {
namespace {

namespace fs = std::filesystem;
using run_kin::RunKin;
using testing::TempDir;

const std::string kExample = std::string(KIN_EXAMPLES_DIR) + "/wave.bvh";

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir.path().empty()); }
  run_kin::KinRun Kin(std::vector<std::string> args) {
    return RunKin(args, dir.path(), dir.path());
  }
  TempDir dir;
};

TEST_F(CliTest, ExportsTheExampleIntoTheCurrentDirectory) {
  const run_kin::KinRun run = Kin({"export", kExample});
  ASSERT_EQ(0, run.exitCode) << run.err;
  EXPECT_EQ("", run.err);  // stderr is a file: no progress line
  EXPECT_NE(std::string::npos,
            run.out.find("-> wave.kin (9 bones, 30 frames)"));
  EXPECT_NE(std::string::npos, run.out.find("1 of 1 file exported"));
  kin_parse::KinFile file;
  std::string error;
  ASSERT_TRUE(kin_parse::ParseFile(dir / "wave.kin", &file, &error)) << error;
  EXPECT_EQ("wave", file.name);  // BVH names no animation: the file's stem
  EXPECT_EQ(30, file.frameCount);
  ASSERT_EQ(9u, file.bones.size());
  EXPECT_EQ("Hips", file.bones[0].name);
  EXPECT_EQ("RightHand", file.bones[7].name);
  // The root's position at frame 0, as the file's first motion line has it.
  EXPECT_NEAR(90, file.frames[0].records[0][1], 1e-4);
}

TEST_F(CliTest, OptionsReachTheFile) {
  dir.Write("events.json", R"([{"frame": 4, "name": "json", "value": "0x9"}])");
  const run_kin::KinRun run =
      Kin({"export",    kExample,     "-o",        "w.kin",
           "--range",   "2:11",       "--name",    "hello",
           "--event",   "3:cli:5",    "--events",  "events.json",
           "--value-a", "0xdeadbeef", "--value-b", "17",
           "--fps",     "15",         "--space",   "model",
           "-j",        "1"});
  ASSERT_EQ(0, run.exitCode) << run.err;
  kin_parse::KinFile file;
  std::string error;
  ASSERT_TRUE(kin_parse::ParseFile(dir / "w.kin", &file, &error)) << error;
  EXPECT_EQ("hello", file.name);
  EXPECT_EQ(10, file.frameCount);
  EXPECT_EQ(0xDEADBEEFu, file.valueA);
  EXPECT_EQ(17u, file.valueB);
  ASSERT_EQ(2u, file.events.size());
  EXPECT_EQ(1, file.events[0].offset);
  EXPECT_EQ("cli", file.events[0].name);
  EXPECT_EQ(5u, file.events[0].value);
  EXPECT_EQ(2, file.events[1].offset);
  EXPECT_EQ(9u, file.events[1].value);
}

TEST_F(CliTest, ErrorsGiveTheirCodeAndOneLineNamingTheCause) {
  dir.Write("garbage.bvh", "HIERARCHY\nROOT {{{{ nonsense");
  dir.Write("bad.json", "[{\"frame\": 1}]");
  dir.Write("notes.txt", "not an animation at all");
  fs::create_directory(dir / "outdir");
  // A pipe nobody writes to must not make the command wait.
  ASSERT_EQ(0, mkfifo((dir / "fifo.bvh").c_str(), 0600));
  fs::resize_file(dir.Write("huge.json", "[]"), (16 << 20) + 1);
  struct Case {
    std::vector<std::string> args;
    int code;
    const char* why;
  } cases[] = {
      {{}, 1, ""},
      {{"export"}, 1, "inputs"},
      {{"export", kExample, "--bogus"}, 1, "--bogus"},
      {{"export", kExample, "--range", "9"}, 1, "--range"},
      {{"export", kExample, "--range", "9:3"}, 1, "ends before it starts"},
      {{"export", kExample, "--value-a", "0x1FFFFFFFF"}, 1, "--value-a"},
      {{"export", kExample, "--value-b", "-1"}, 1, "--value-b"},
      {{"export", kExample, "--event", "x:y"}, 1, "--event"},
      {{"export", kExample, "--fps", "0"}, 1, "--fps"},
      {{"export", kExample, "--space", "world"}, 1, "--space"},
      {{"export", kExample, "-j", "0"}, 1, "-j"},
      {{"export", kExample, kExample, "-o", "one.kin"}, 1, "2 inputs"},
      {{"export", "missing.bvh"}, 2, "missing.bvh: cannot open"},
      {{"export", kExample, "--events", "missing.json"}, 2, "missing.json"},
      {{"export", kExample, "-o", "no/such/dir/x.kin"}, 2, "cannot write"},
      {{"export", "fifo.bvh"}, 2, "fifo.bvh: cannot open: not a regular"},
      {{"export", kExample, "--events", "fifo.bvh"}, 2, "not a regular"},
      {{"export", kExample, "--events", "huge.json"}, 3, "larger than"},
      {{"export", "garbage.bvh"}, 3, "garbage.bvh: cannot import"},
      {{"export", "notes.txt"}, 3, "notes.txt: cannot import"},
      {{"export", kExample, "--animation", "jump"}, 3, "no animation 'jump'"},
      {{"export", kExample, "--events", "bad.json"}, 3, "bad.json"},
      {{"export", kExample, "--plugin", "nothing.so"}, 4, "nothing.so"},
      {{"export", kExample, "--plugin", KIN_FAKE_WRONG_TYPE_PATH},
       4,
       "expected 1"},
      {{"export", kExample, "--plugin", KIN_FAKE_REFUSES_PATH},
       4,
       "ExportAnim returned 16"},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& arg : c.args) line += arg + " ";
    SCOPED_TRACE(line);
    const run_kin::KinRun run = Kin(c.args);
    EXPECT_EQ(c.code, run.exitCode) << run.err;
    EXPECT_NE(std::string::npos, run.err.find(c.why)) << run.err;
    if (c.code >= 2) {
      // One line for the error itself; the summary goes to stdout.
      EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
    }
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name != "wave.kin" && name != "one.kin" &&
                  name.find(".tmp") == std::string::npos)
          << "left behind: " << name;
    }
  }
}

TEST_F(CliTest, FailedWritesLeaveNoOutput) {
  // Files may not pass 4 KiB: the module's writes fail part-way.
  const run_kin::KinRun run = RunKin({"export", kExample, "-o", "big.kin"},
                                     dir.path(), dir.path(), 4096);
  EXPECT_EQ(4, run.exitCode) << run.err;
  EXPECT_NE(std::string::npos, run.err.find("big.kin"));
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    ADD_FAILURE() << "left behind: " << entry.path();
  }
}

TEST_F(CliTest, ListShowsAnimationsWithoutExporting) {
  const run_kin::KinRun run = Kin({"export", "--list", kExample});
  ASSERT_EQ(0, run.exitCode) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("1 animation"));
  EXPECT_NE(std::string::npos, run.out.find("0  (unnamed)"));
  EXPECT_NE(std::string::npos, run.out.find("9 channels"));
  EXPECT_FALSE(fs::exists(dir / "wave.kin"));
}

TEST_F(CliTest, QuietPrintsNothingOnSuccess) {
  const run_kin::KinRun run = Kin({"export", "-q", kExample, "-o", "."});
  ASSERT_EQ(0, run.exitCode) << run.err;
  EXPECT_EQ("", run.out);
  EXPECT_EQ("", run.err);
  EXPECT_TRUE(fs::exists(dir / "wave.kin"));
}

}  // namespace
}  // namespace kin::host
