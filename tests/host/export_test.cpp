// Export jobs and runs over scenes built in code, through the real plug-in:
// what lands in the file, defaults, failures that leave nothing behind, the
// parallel runner, its summary and its progress line.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <streambuf>

#include "host/exit_codes.h"
#include "host/export_job.h"
#include "host/export_runner.h"
#include "host/plugin_loader.h"
#include "kin_parse.h"
#include "test_support.h"

namespace kin::host {
namespace {

namespace fs = std::filesystem;
using testing::FakeImporter;
using testing::TempDir;

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir.path().empty());
    std::string error;
    plugin = Plugin::Load(KIN_PLUGIN_PATH, &error);
    ASSERT_NE(nullptr, plugin) << error;
    importer.Add("walk.bvh", testing::WalkScene());
    dir.Write("walk.bvh", "stand-in");
    options.pluginPath = KIN_PLUGIN_PATH;
  }

  JobResult Run(const std::string& input, const std::string& output) {
    std::atomic<int64_t> posed{0}, total{0};
    JobContext context{&importer, plugin.get(), &posed, &total};
    JobResult result = RunExportJob(options, input, output, context);
    if (result.exitCode == 0) {
      EXPECT_EQ(total.load(), result.frames);
      EXPECT_EQ(total.load(), posed.load());
    }
    return result;
  }

  kin_parse::KinFile Parse(const std::string& path) {
    kin_parse::KinFile file;
    std::string error;
    EXPECT_TRUE(kin_parse::ParseFile(path, &file, &error)) << error;
    return file;
  }

  // Everything in the test directory, to check that nothing was left.
  std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir;
  FakeImporter importer;
  std::unique_ptr<Plugin> plugin;
  ExportOptions options;
};

TEST_F(ExportTest, WritesTheSceneAsSampled) {
  options.events = {{3, 0x10, "step"}, {60, 1, "late"}, {0, 2, "start"}};
  options.valueA = 0xCAFEF00D;
  options.valueB = 7;
  const JobResult result = Run(dir / "walk.bvh", dir / "walk.kin");
  ASSERT_EQ(0, result.exitCode) << result.error;
  EXPECT_EQ(4, result.bones);
  EXPECT_EQ(31, result.frames);  // one second at the file's 30 fps, both ends

  const kin_parse::KinFile file = Parse(dir / "walk.kin");
  EXPECT_EQ("walk", file.name);
  EXPECT_EQ(31, file.frameCount);
  EXPECT_EQ(0xCAFEF00Du, file.valueA);
  EXPECT_EQ(7u, file.valueB);
  ASSERT_EQ(2u, file.events.size());  // frame 60 lies outside 0..30
  EXPECT_EQ(3, file.events[0].offset);
  EXPECT_EQ("step", file.events[0].name);
  EXPECT_EQ(0x10u, file.events[0].value);
  EXPECT_EQ("start", file.events[1].name);
  ASSERT_EQ(4u, file.bones.size());
  EXPECT_EQ("Hips", file.bones[0].name);
  EXPECT_EQ("Spine", file.bones[1].name);
  EXPECT_EQ("Head", file.bones[2].name);
  EXPECT_EQ("Leg", file.bones[3].name);
  EXPECT_EQ(0, file.bones[3].parent);
  ASSERT_EQ(31u, file.frames.size());
  EXPECT_FLOAT_EQ(0, file.frames[0].records[0][0]);
  EXPECT_FLOAT_EQ(5, file.frames[15].records[0][0]);
  EXPECT_FLOAT_EQ(10, file.frames[30].records[0][0]);
  // Spine at the end: rest position (0, 1, 0), 90 degrees about Z, w last.
  const auto& spine = file.frames[30].records[1];
  EXPECT_FLOAT_EQ(1, spine[1]);
  EXPECT_NEAR(0.70710678, spine[5], 1e-6);
  EXPECT_NEAR(0.70710678, spine[6], 1e-6);
  EXPECT_EQ((std::vector<std::string>{"walk.bvh", "walk.kin"}), Files());
}

TEST_F(ExportTest, RangeFpsNameAndModelSpaceOptions) {
  options.range = FrameRange{-2, 12};
  options.fps = 10;
  options.name = "renamed";
  options.space = Space::kModel;
  const JobResult result = Run(dir / "walk.bvh", dir / "out.kin");
  ASSERT_EQ(0, result.exitCode) << result.error;
  const kin_parse::KinFile file = Parse(dir / "out.kin");
  EXPECT_EQ("renamed", file.name);
  EXPECT_EQ(15, file.frameCount);
  ASSERT_EQ(15u, file.frames.size());
  EXPECT_EQ(14, file.frames[14].offset);
  EXPECT_FLOAT_EQ(0, file.frames[0].records[0][0]);    // held before 0 s
  EXPECT_FLOAT_EQ(5, file.frames[7].records[0][0]);    // frame 5 = 0.5 s
  EXPECT_FLOAT_EQ(10, file.frames[14].records[0][0]);  // held after 1 s
  // Model space: Spine carries Hips' translation.
  EXPECT_FLOAT_EQ(10, file.frames[14].records[1][0]);
}

TEST_F(ExportTest, NameFallsBackToTheStemAndFpsToThirty) {
  SourceScene scene = testing::WalkScene();
  scene.animations[0].name = "";
  scene.frameRate.reset();
  scene.animations[0].durationSeconds = 0.5;  // keys still run to 1 s
  importer.Add("anon.gltf", scene);
  dir.Write("anon.gltf", "stand-in");
  const JobResult result = Run(dir / "anon.gltf", dir / "anon.kin");
  ASSERT_EQ(0, result.exitCode) << result.error;
  const kin_parse::KinFile file = Parse(dir / "anon.kin");
  EXPECT_EQ("anon", file.name);
  EXPECT_EQ(31, file.frameCount);
}

TEST_F(ExportTest, AnimationChosenByNameOrIndex) {
  SourceScene scene = testing::WalkScene();
  SourceAnimation second = scene.animations[0];
  second.name = "run";
  second.durationSeconds = 2;
  scene.animations.push_back(second);
  importer.Add("two.fbx", scene);
  dir.Write("two.fbx", "stand-in");
  for (const char* selector : {"run", "1"}) {
    options.animation = selector;
    const JobResult result = Run(dir / "two.fbx", dir / "two.kin");
    ASSERT_EQ(0, result.exitCode) << result.error;
    EXPECT_EQ("run", Parse(dir / "two.kin").name);
    EXPECT_EQ(61, Parse(dir / "two.kin").frameCount);
  }
  options.animation = "2";
  const JobResult missing = Run(dir / "two.fbx", dir / "two.kin");
  EXPECT_EQ(kExitInvalidInput, missing.exitCode);
  EXPECT_NE(std::string::npos, missing.error.find("no animation '2'"));
  EXPECT_NE(std::string::npos, missing.error.find("1 'run'"));
}

TEST_F(ExportTest, FailuresGiveTheirCodeAndLeaveNoFile) {
  SourceScene noAnimation = testing::WalkScene();
  noAnimation.animations.clear();
  importer.Add("still.bvh", noAnimation);
  SourceScene noSkeleton;
  testing::AddNode(&noSkeleton, "Mesh", -1);
  noSkeleton.animations.push_back({});
  importer.Add("static.gltf", noSkeleton);
  for (const char* name : {"still.bvh", "static.gltf", "garbage.dae"}) {
    dir.Write(name, "stand-in");
  }
  fs::create_directory(dir / "folder.bvh");
  struct Case {
    std::string input;
    std::string output;
    int code;
    const char* why;
  } cases[] = {
      {dir / "missing.bvh", dir / "out.kin", kExitIo, "No such file"},
      {dir / "folder.bvh", dir / "out.kin", kExitIo, "directory"},
      {dir / "garbage.dae", dir / "out.kin", kExitInvalidInput,
       "cannot import"},
      {dir / "still.bvh", dir / "out.kin", kExitInvalidInput, "no animation"},
      {dir / "static.gltf", dir / "out.kin", kExitInvalidInput, "no skeleton"},
      {dir / "walk.bvh", dir / "nowhere/out.kin", kExitIo, "cannot write"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    const JobResult result = Run(c.input, c.output);
    EXPECT_EQ(c.code, result.exitCode);
    EXPECT_NE(std::string::npos, result.error.find(c.why)) << result.error;
    EXPECT_FALSE(fs::exists(c.output));
  }
  EXPECT_EQ((std::vector<std::string>{"folder.bvh", "garbage.dae",
                                      "static.gltf", "still.bvh", "walk.bvh"}),
            Files());
}

TEST_F(ExportTest, FailedExportKeepsTheOlderOutputAndFreesTheEvents) {
  // A plug-in that refuses every export without opening the file: the
  // events are still the host's (a leak under LeakSanitizer otherwise) and
  // the old file must survive.
  std::string error;
  plugin = Plugin::Load(KIN_FAKE_REFUSES_PATH, &error);
  ASSERT_NE(nullptr, plugin) << error;
  options.events = {{1, 0, "a"}, {2, 0, "b"}};
  dir.Write("walk.kin", "older");
  const JobResult result = Run(dir / "walk.bvh", dir / "walk.kin");
  EXPECT_EQ(kExitPlugin, result.exitCode);
  EXPECT_NE(std::string::npos, result.error.find("ExportAnim returned 16"));
  EXPECT_EQ("older", kin_parse::ReadBytes(dir / "walk.kin"));
  EXPECT_EQ((std::vector<std::string>{"walk.bvh", "walk.kin"}), Files());
}

TEST(PluginLoader, RefusesWhatIsNotAnAnimationExporter) {
  struct Case {
    const char* path;
    const char* why;
  } cases[] = {
      {"/nonexistent/kinexport.so", "cannot load"},
      {KIN_FAKE_WRONG_TYPE_PATH, "ExporterType() is 2, expected 1"},
      {KIN_FAKE_NO_EXPORT_PATH, "no entry point 'ExportAnim'"},
      {KIN_FAKE_NO_EXTENSION_PATH, "no usable file extension"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(nullptr, Plugin::Load(c.path, &error)) << c.path;
    EXPECT_NE(std::string::npos, error.find(c.why)) << error;
    EXPECT_NE(std::string::npos, error.find(c.path)) << error;
  }
  std::string error;
  const auto plugin = Plugin::Load(KIN_PLUGIN_PATH, &error);
  ASSERT_NE(nullptr, plugin) << error;
  EXPECT_EQ("KIN", plugin->Extension());
}

TEST(OutputPaths, NamesOutputsFromTheExtensionOrTheGivenFile) {
  TempDir dir;
  ExportOptions options;
  options.inputs = {"a/walk.bvh", "b/run.fbx"};
  std::vector<std::string> outputs;
  std::string error;
  ASSERT_TRUE(ResolveOutputPaths(options, "KIN", &outputs, &error)) << error;
  EXPECT_EQ((std::vector<std::string>{"walk.kin", "run.kin"}), outputs);
  options.output = dir.path();
  ASSERT_TRUE(ResolveOutputPaths(options, "KIN", &outputs, &error)) << error;
  EXPECT_EQ(dir / "walk.kin", outputs[0]);
  options.output = "new-folder/";
  ASSERT_TRUE(ResolveOutputPaths(options, "KIN", &outputs, &error)) << error;
  EXPECT_EQ("new-folder/run.kin", outputs[1]);

  options.output = dir / "one.kin";
  EXPECT_FALSE(ResolveOutputPaths(options, "KIN", &outputs, &error));
  EXPECT_NE(std::string::npos, error.find("2 inputs"));
  options.inputs = {"walk.bvh"};
  ASSERT_TRUE(ResolveOutputPaths(options, "KIN", &outputs, &error));
  EXPECT_EQ(dir / "one.kin", outputs[0]);

  // Never over an input, however it is spelt.
  const std::string input = dir.Write("walk.kin", "precious");
  options.inputs = {input};
  options.output = dir.path() + "/./walk.kin";
  EXPECT_FALSE(ResolveOutputPaths(options, "KIN", &outputs, &error));
  EXPECT_NE(std::string::npos, error.find("is the input")) << error;
  options.output = dir.path();
  EXPECT_FALSE(ResolveOutputPaths(options, "KIN", &outputs, &error));

  options.output.clear();
  options.inputs = {"a/walk.bvh", "b/walk.gltf"};
  EXPECT_FALSE(ResolveOutputPaths(options, "KIN", &outputs, &error));
  EXPECT_NE(std::string::npos, error.find("both write 'walk.kin'"));
}

// A stream buffer that several threads may write to while a test reads it.
class SharedBuffer : public std::streambuf {
 public:
  std::string Text() {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
  }

 protected:
  int overflow(int c) override {
    if (c == traits_type::eof()) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    text_ += static_cast<char>(c);
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::lock_guard<std::mutex> lock(mutex_);
    text_.append(s, static_cast<size_t>(n));
    return n;
  }

 private:
  std::mutex mutex_;
  std::string text_;
};

class RunnerTest : public ExportTest {
 protected:
  void SetUp() override {
    ExportTest::SetUp();
    options.output = dir.path();
  }
  int RunAll(const RunnerSettings& settings = {}) {
    std::ostream out(&outBuffer), err(&errBuffer);
    return RunExports(options, importer, out, err, settings);
  }
  SharedBuffer outBuffer, errBuffer;
};

TEST_F(RunnerTest, ParallelExportsReportEachAndTheWorstCode) {
  // Eight inputs on four threads; two fail in different ways.
  for (int i = 0; i < 6; ++i) {
    const std::string name = "walk" + std::to_string(i) + ".bvh";
    importer.Add(name, testing::WalkScene());
    options.inputs.push_back(dir.Write(name, "stand-in"));
  }
  options.inputs.push_back(dir / "missing.bvh");
  options.inputs.push_back(dir.Write("broken.bvh", "stand-in"));
  options.jobs = 4;
  EXPECT_EQ(kExitInvalidInput, RunAll());
  for (int i = 0; i < 6; ++i) {
    const kin_parse::KinFile file =
        Parse(dir / ("walk" + std::to_string(i) + ".kin"));
    EXPECT_EQ(31u, file.frames.size());
  }
  EXPECT_FALSE(fs::exists(dir / "missing.kin"));
  EXPECT_FALSE(fs::exists(dir / "broken.kin"));
  const std::string err = errBuffer.Text();
  EXPECT_NE(std::string::npos,
            err.find("kin export: " + dir / "missing.bvh" + ": cannot open"));
  EXPECT_NE(std::string::npos,
            err.find("kin export: " + dir / "broken.bvh" + ": cannot import"));
  const std::string out = outBuffer.Text();
  EXPECT_NE(std::string::npos,
            out.find("kin export: 6 of 8 files exported, 2 failed\n"));
  EXPECT_NE(std::string::npos,
            out.find(dir / "walk3.bvh" + " -> " + dir / "walk3.kin" +
                     " (4 bones, 31 frames)"));
  EXPECT_EQ(std::string::npos, err.find('\r'));  // no progress asked for
}

TEST_F(RunnerTest, ParallelExportsOfOneSceneAgree) {
  // The same scene many times over, all at once: every file is identical.
  for (int i = 0; i < 8; ++i) {
    const std::string name = "same" + std::to_string(i) + ".bvh";
    importer.Add(name, testing::WalkScene());
    options.inputs.push_back(dir.Write(name, "stand-in"));
  }
  options.jobs = 8;
  options.events = {{1, 2, "e"}};
  ASSERT_EQ(0, RunAll()) << errBuffer.Text();
  const std::string first = kin_parse::ReadBytes(dir / "same0.kin");
  ASSERT_FALSE(first.empty());
  for (int i = 1; i < 8; ++i) {
    EXPECT_EQ(first,
              kin_parse::ReadBytes(dir / ("same" + std::to_string(i) + ".kin")))
        << i;
  }
}

TEST_F(RunnerTest, ProgressLineWhileExportsRunAndNeverWhenQuiet) {
  options.inputs = {dir / "walk.bvh"};
  RunnerSettings settings;
  settings.progress = true;
  settings.progressDelay = std::chrono::milliseconds(0);
  settings.progressInterval = std::chrono::milliseconds(1);
  // The import waits until the progress line has been drawn.
  importer.beforeImport = [this](const std::string&) {
    EXPECT_TRUE(testing::WaitFor(
        [this] { return errBuffer.Text().find('\r') != std::string::npos; }));
  };
  ASSERT_EQ(0, RunAll(settings));
  const std::string err = errBuffer.Text();
  EXPECT_NE(std::string::npos, err.find("\rkin export: 0/1 files, "));
  EXPECT_NE(std::string::npos, err.rfind("\r\x1b[K"));  // cleared at the end

  // Quiet: no progress, results or summary, even given time to draw.
  SharedBuffer quietErr, quietOut;
  options.quiet = true;
  importer.beforeImport = [](const std::string&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  };
  std::ostream out(&quietOut), err2(&quietErr);
  ASSERT_EQ(0, RunExports(options, importer, out, err2, settings));
  EXPECT_EQ("", quietErr.Text());
  EXPECT_EQ("", quietOut.Text());
}

TEST_F(RunnerTest, ListDescribesAnimationsAndExportsNothing) {
  options.inputs = {dir / "walk.bvh", dir / "missing.bvh"};
  options.list = true;
  EXPECT_EQ(kExitIo, RunAll());
  const std::string out = outBuffer.Text();
  EXPECT_NE(std::string::npos, out.find(": 1 animation\n"));
  EXPECT_NE(std::string::npos, out.find("0  'walk'  1 s, 30 ticks/s, 4 "
                                        "channels"));
  EXPECT_NE(std::string::npos, errBuffer.Text().find("missing.bvh: cannot"));
  EXPECT_FALSE(fs::exists(dir / "walk.kin"));
}

TEST_F(RunnerTest, UnloadablePluginAndOutputCollisionsStopBeforeAnyWork) {
  options.inputs = {dir / "walk.bvh"};
  options.pluginPath = dir / "none.so";
  EXPECT_EQ(kExitPlugin, RunAll());
  EXPECT_NE(std::string::npos, errBuffer.Text().find("cannot load"));
  options.pluginPath = KIN_PLUGIN_PATH;
  options.inputs = {dir / "walk.bvh", dir / "sub/walk.bvh"};
  EXPECT_EQ(kExitUsage, RunAll());
  EXPECT_NE(std::string::npos, errBuffer.Text().find("would both write"));
  EXPECT_FALSE(fs::exists(dir / "walk.kin"));
}

}  // namespace
}  // namespace kin::host
