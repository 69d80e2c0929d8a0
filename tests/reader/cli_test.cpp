// The `kin` command run as a user runs it: exit codes, what goes to stdout
// and stderr, and the shape of its JSON.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/reader/sample_files.h"
#include "tests/support/run_kin.h"
#include "tests/support/temp_dir.h"

namespace {

using nlohmann::json;
namespace L = kin_test::layout;

using run_kin::KinRun;

class KinCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    good_ = dir_.Write("good.kin", kin_test::WalkFile());
    bad_ = dir_.Write("bad.kin",
                      kin_test::Patched(kin_test::WalkFile(), L::kFrame1Offset,
                                        kin_bytes::I32(5)));
  }

  // Runs kin with `args` in the test's directory. With `outputLimit` > 0,
  // stdout may hold at most that many bytes (writes past it fail).
  KinRun Kin(const std::vector<std::string>& args, long outputLimit = 0) {
    const KinRun run =
        run_kin::RunKin(args, dir_.path(), dir_.path(), outputLimit);
    EXPECT_NE(run.exitCode, -1) << "kin did not exit normally";
    return run;
  }

  test_files::TempDir dir_;
  std::string good_;
  std::string bad_;
};

TEST_F(KinCommand, UsageErrorsExitWithOne) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"info"},
      {"validate", "--nope", "good.kin"},
      {"dump", "good.kin", "--frames", "5:2"},
      {"dump", "good.kin", "--frames", "x"},
      {"dump", "good.kin", "--bones", "nosuch"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const KinRun run = Kin(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(run.err.empty());
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(KinCommand, EachCommandHasHelpWithAnExample) {
  for (const char* command : {"info", "dump", "validate"}) {
    const KinRun run = Kin({command, "--help"});
    EXPECT_EQ(run.exitCode, 0) << command;
    EXPECT_NE(run.out.find("Example"), std::string::npos) << command << ":\n"
                                                          << run.out;
    EXPECT_NE(run.out.find(std::string("kin ") + command), std::string::npos)
        << run.out;
  }
}

TEST_F(KinCommand, ExitCodesCombineOverFiles) {
  struct Case {
    std::vector<std::string> args;
    int exit;
  };
  const std::vector<Case> cases = {
      {{"info", "good.kin"}, 0},
      {{"info", "good.kin", "bad.kin"}, 3},
      {{"info", "bad.kin", "missing.kin", "good.kin"}, 2},
      {{"info", "."}, 2},
      {{"validate", "good.kin", "good.kin"}, 0},
      {{"validate", "good.kin", "bad.kin"}, 3},
      {{"validate", "missing.kin"}, 2},
      {{"dump", "good.kin"}, 0},
      {{"dump", "bad.kin"}, 3},
      {{"dump", "missing.kin"}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const KinRun run = Kin(c.args);
    EXPECT_EQ(run.exitCode, c.exit) << run.err;
    if (c.exit == 0) {
      EXPECT_EQ(run.err, "");
    }
    if (c.exit == 2) {
      EXPECT_TRUE(run.err.find("missing.kin") != std::string::npos ||
                  run.err.find("not a regular file") != std::string::npos)
          << run.err;
    }
  }
}

TEST_F(KinCommand, InfoShowsTheSummary) {
  const KinRun run = Kin({"info", "good.kin"});
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out,
            "good.kin\n"
            "  name:       \"walk\"\n"
            "  frames:     2\n"
            "  bones:      2\n"
            "  events:     1\n"
            "  value A:    0x11223344\n"
            "  value B:    0xcafef00d\n"
            "  file size:  280 bytes\n"
            "  status:     valid\n");
}

TEST_F(KinCommand, ValidateListsProblemsOnePerLine) {
  const KinRun run = Kin({"validate", "good.kin", "bad.kin"});
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.out,
            "good.kin: valid\n"
            "bad.kin: invalid, 1 error, 0 warnings\n"
            "FRAME_OFFSET_MISMATCH error 220 FRAM[1]: the frame offset is not "
            "the chunk's "
            "place among the FRAM chunks (found 5, expected 1)\n");
}

TEST_F(KinCommand, ValidateJsonFollowsTheValidatorReportShape) {
  const KinRun run = Kin({"validate", "--json", "good.kin", "bad.kin"});
  EXPECT_EQ(run.exitCode, 3);
  const json report = json::parse(run.out);
  ASSERT_TRUE(report.is_array());
  ASSERT_EQ(report.size(), 2u);
  EXPECT_EQ(report[0]["file"], "good.kin");
  EXPECT_EQ(report[0]["valid"], true);
  EXPECT_EQ(report[0]["issues"]["numErrors"], 0);
  EXPECT_EQ(report[1]["valid"], false);
  const json& issues = report[1]["issues"];
  EXPECT_EQ(issues["numErrors"], 1);
  EXPECT_EQ(issues["numWarnings"], 0);
  EXPECT_EQ(issues["truncated"], false);
  ASSERT_EQ(issues["messages"].size(), 1u);
  const json& message = issues["messages"][0];
  EXPECT_EQ(message["code"], "FRAME_OFFSET_MISMATCH");
  EXPECT_EQ(message["severity"], "error");
  EXPECT_EQ(message["offset"], 220);
  EXPECT_EQ(message["path"], "FRAM[1]");
  EXPECT_EQ(message["found"], "5");
  EXPECT_EQ(message["expected"], "1");
}

TEST_F(KinCommand, InfoJsonCarriesTheSameFields) {
  const KinRun run = Kin({"info", "--json", "good.kin"});
  ASSERT_EQ(run.exitCode, 0);
  const json info = json::parse(run.out);
  ASSERT_EQ(info.size(), 1u);
  EXPECT_EQ(info[0]["name"], "walk");
  EXPECT_EQ(info[0]["frameCount"], 2);
  EXPECT_EQ(info[0]["boneCount"], 2);
  EXPECT_EQ(info[0]["eventCount"], 1);
  EXPECT_EQ(info[0]["valueA"], "0x11223344");
  EXPECT_EQ(info[0]["valueB"], "0xcafef00d");
  EXPECT_EQ(info[0]["fileSize"], 280);
  EXPECT_EQ(info[0]["valid"], true);
}

// Reals keep their bit patterns and names that are not UTF-8 survive, in
// the text dump and in the JSON one.
TEST_F(KinCommand, DumpIsLosslessForOddValuesAndNames) {
  using namespace kin_bytes;
  Record record;
  const uint32_t patterns[7] = {0x7fc00001, 0xff800000, 0x80000000, 0x00000001,
                                0x3dcccccd, 0x7f800000, 0xbf800000};
  std::memcpy(record.bits, patterns, sizeof patterns);
  const std::string name = "bad\xff\"name";
  dir_.Write("odd.kin", File({Info(name, 1, 0, 0), Events({{0, 1, "\xc3\x28"}}),
                              Skeleton({name, {}}), Frame(0, {record})}));

  const KinRun text = Kin({"dump", "odd.kin"});
  EXPECT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find("\"bad\\xff\\\"name\""), std::string::npos)
      << text.out;
  EXPECT_NE(
      text.out.find(
          "position (nan(0x7fc00001), -inf, -0)  rotation (1.40129846e-45, "
          "0.100000001, inf, -1)"),
      std::string::npos)
      << text.out;

  const KinRun run = Kin({"dump", "--json", "odd.kin"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const json dump = json::parse(run.out);
  EXPECT_EQ(dump["nameHex"], "626164ff226e616d65");
  EXPECT_EQ(dump["events"][0]["nameHex"], "c328");
  EXPECT_EQ(dump["bones"][0]["parent"], -1);
  ASSERT_EQ(dump["frames"].size(), 1u);
  const json& reals = dump["frames"][0]["records"][0];
  EXPECT_EQ(reals["position"][0]["value"], "NaN");
  EXPECT_EQ(reals["position"][0]["bits"], "0x7fc00001");
  EXPECT_EQ(reals["position"][1]["value"], "-Infinity");
  EXPECT_EQ(reals["rotation"][2]["value"], "Infinity");
  for (int i = 0; i < 7; ++i) {
    const json& real = i < 3 ? reals["position"][i] : reals["rotation"][i - 3];
    char bits[16];
    std::snprintf(bits, sizeof bits, "0x%08x", patterns[i]);
    EXPECT_EQ(real["bits"], bits);
    if (real["value"].is_number()) {
      const float value = real["value"].get<float>();
      uint32_t back;
      std::memcpy(&back, &value, 4);
      EXPECT_EQ(back, patterns[i]) << "value " << i;
    }
  }
  EXPECT_EQ(dump["valid"], true);
  EXPECT_GT(dump["issues"]["numWarnings"], 0);
}

TEST_F(KinCommand, DumpSelectsFramesAndBones) {
  const KinRun run =
      Kin({"dump", "good.kin", "--frames", "1:1", "--bones", "arm"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.find("frame 0"), std::string::npos) << run.out;
  EXPECT_NE(
      run.out.find(
          "frame 1 (offset 1)\n  [1] \"arm\"  position (10.5, 11.5, 12.5)"),
      std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("[0] \"root\"  position"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("    [1] \"arm\"\n"), std::string::npos)
      << "bone tree:\n"
      << run.out;

  const KinRun json_run = Kin({"dump", "--json", "good.kin", "--frames", "1:"});
  ASSERT_EQ(json_run.exitCode, 0);
  const json dump = json::parse(json_run.out);
  ASSERT_EQ(dump["frames"].size(), 1u);
  EXPECT_EQ(dump["frames"][0]["index"], 1);
  EXPECT_EQ(dump["frames"][0]["records"].size(), 2u);
}

TEST_F(KinCommand, OutputIsDeterministic) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"dump", "--json", "bad.kin"},
           {"validate", "bad.kin", "good.kin"},
           {"info", "bad.kin"}}) {
    const KinRun first = Kin(args);
    const KinRun second = Kin(args);
    EXPECT_EQ(first.out, second.out);
    EXPECT_EQ(first.err, second.err);
    EXPECT_EQ(first.exitCode, second.exitCode);
  }
}

TEST_F(KinCommand, FailedOutputIsAnIoError) {
  const KinRun run = Kin({"dump", "good.kin"}, 64);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
}

}  // namespace
