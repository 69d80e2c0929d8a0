// Replays the fuzzer's inputs in every normal test run: the initial corpus
// (all valid files) and every input the fuzzer ever found a fault with
// (kept in regressions/ once fixed).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "reader/reader.h"
#include "tests/reader/reader_invariants.h"

namespace {

std::vector<std::filesystem::path> InputsIn(const std::string& folder) {
  std::vector<std::filesystem::path> inputs;
  const std::filesystem::path dir =
      std::filesystem::path(KIN_READER_TEST_DIR) / folder;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name != "README.md" && name[0] != '.') {
      inputs.push_back(entry.path());
    }
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

std::string Bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FuzzInputs, InitialCorpusIsValid) {
  const auto inputs = InputsIn("corpus");
  ASSERT_GE(inputs.size(), 5u);
  for (const auto& path : inputs) {
    const std::string bytes = Bytes(path);
    auto read =
        kin::reader::ReadBytes(bytes.data(), bytes.size(), path.string());
    EXPECT_TRUE(read.ok()) << read.error().message;
    EXPECT_EQ(kin_test::CheckReaderInvariants(
                  reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
              "")
        << path;
  }
}

TEST(FuzzInputs, RegressionInputsKeepTheInvariants) {
  for (const auto& path : InputsIn("regressions")) {
    const std::string bytes = Bytes(path);
    EXPECT_EQ(kin_test::CheckReaderInvariants(
                  reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
              "")
        << path;
  }
}

}  // namespace
