// binofstream through its window: random writes and seeks against a model of
// the file, flushing at close and at destruction, and write failures (a
// file-size limit in a child process) seen through the window.
#include "chunkfile/binofstream.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/chunkfile/chunkfile_test_support.h"
#include "tests/support/file_limit.h"

namespace {

using kin::binofstream;
using kin_test::ReadFile;

class BinofstreamTest : public kin_test::TempDirTest {};

// A small deterministic generator, so that a failure replays exactly.
class Lcg {
 public:
  explicit Lcg(uint32_t state) : state_(state) {}
  uint32_t Below(uint32_t bound) {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) % bound;
  }

 private:
  uint32_t state_;
};

class WindowModelTest : public BinofstreamTest,
                        public ::testing::WithParamInterface<size_t> {};

// Every write and every absolute, relative and end-relative seek, with
// flushes in between, is mirrored on a string: the put position must match
// it after each step and the file must match it at the end, for windows from
// one byte to larger than the file.
TEST_P(WindowModelTest, FileAndPositionsMatchAModel) {
  const std::string path = Path("model.bin");
  std::string model;
  size_t at = 0;
  Lcg random(static_cast<uint32_t>(GetParam()) * 7919u + 1u);
  {
    binofstream stream(path.c_str(), GetParam());
    ASSERT_FALSE(stream.fail());
    for (int step = 0; step < 3000; ++step) {
      const uint32_t what = random.Below(10);
      if (what < 5) {
        std::string bytes(1 + random.Below(40), '\0');
        for (char& byte : bytes) byte = static_cast<char>(random.Below(256));
        stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (model.size() < at + bytes.size()) {
          model.resize(at + bytes.size(), '\0');
        }
        std::copy(bytes.begin(), bytes.end(), model.begin() + at);
        at += bytes.size();
      } else if (what < 7) {
        // Anywhere up to a little past the end.
        at = random.Below(static_cast<uint32_t>(model.size()) + 4);
        stream.seekp(static_cast<std::streamoff>(at));
      } else if (what < 8) {
        const auto back = static_cast<std::streamoff>(
            random.Below(static_cast<uint32_t>(at) + 1));
        stream.seekp(-back, std::ios::cur);
        at -= static_cast<size_t>(back);
      } else if (what < 9) {
        const auto back = static_cast<std::streamoff>(
            random.Below(std::min<uint32_t>(64, model.size()) + 1));
        stream.seekp(-back, std::ios::end);
        at = model.size() - static_cast<size_t>(back);
      } else {
        stream.flush();  // hands everything over; the position stays
      }
      ASSERT_EQ(stream.tellp(), static_cast<std::streamoff>(at))
          << "step " << step;
    }
    stream.close();
    ASSERT_FALSE(stream.fail());
  }
  EXPECT_EQ(ReadFile(path), model);
}

INSTANTIATE_TEST_SUITE_P(WindowSizes, WindowModelTest,
                         ::testing::Values(1, 3, 16, 100, 4096,
                                           binofstream::kDefaultWindowSize));

TEST_F(BinofstreamTest, DestructionWritesWhatTheWindowHolds) {
  const std::string path = Path("destroyed.bin");
  {
    binofstream stream(path.c_str());
    stream.write("abcdef", 6);
    stream.seekp(2);
    stream.write("XY", 2);
  }
  EXPECT_EQ(ReadFile(path), "abXYef");
}

TEST_F(BinofstreamTest, CloseWritesTheWindowAndLeavesTheStreamGood) {
  const std::string path = Path("closed.bin");
  binofstream stream(path.c_str());
  stream.write("abcdef", 6);
  stream.close();
  EXPECT_FALSE(stream.fail());
  EXPECT_FALSE(stream.is_open());
  EXPECT_EQ(ReadFile(path), "abcdef");
  stream.close();  // as std::ofstream: closing a closed stream fails it
  EXPECT_TRUE(stream.fail());
}

TEST_F(BinofstreamTest, UnopenablePathOrNullNameFails) {
  binofstream stream(Path("missing/dir/file.kin").c_str());
  EXPECT_TRUE(stream.fail());
  binofstream unnamed(nullptr);
  EXPECT_TRUE(unnamed.fail());
}

using test_files::RunWithFileLimit;

struct LimitCase {
  const char* name;
  size_t window;
  size_t bytes;  // written in 4-byte steps, over a limit of 4096
};

void PrintTo(const LimitCase& c, std::ostream* out) {
  *out << c.name << " (window " << c.window << ", " << c.bytes << " bytes)";
}

class WriteFailureTest : public BinofstreamTest,
                         public ::testing::WithParamInterface<LimitCase> {};

// Exit codes: 0 the failure was seen by close at the latest; 1 close
// reported success; 2 the stream failed before the limit was reached.
TEST_P(WriteFailureTest, FailureIsSeenByCloseAtTheLatest) {
  const LimitCase& c = GetParam();
  const std::string path = Path("limited.bin");
  const int status = RunWithFileLimit(4096, [&] {
    binofstream stream(path.c_str(), c.window);
    for (size_t written = 0; written < c.bytes; written += 4) {
      stream.write("abcd", 4);
      // Patch something behind, as the chunk writers do.
      const std::streamoff end = stream.tellp();
      if (written + 4 <= 4096 && !stream.good()) return 2;
      if (end >= 8) {
        stream.seekp(end - 8);
        stream.write("PQRS", 4);
        stream.seekp(0, std::ios::end);
      }
    }
    stream.close();
    return stream.fail() ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
}

INSTANTIATE_TEST_SUITE_P(Limits, WriteFailureTest,
                         ::testing::Values(
                             // Everything stays in the window until close.
                             LimitCase{"SeenOnlyAtClose",
                                       binofstream::kDefaultWindowSize, 8192},
                             // The window spills into the file while writing.
                             LimitCase{"SeenWhileWriting", 1024, 65536},
                             LimitCase{"OneByteWindow", 1, 8192}),
                         [](const ::testing::TestParamInfo<LimitCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(BinofstreamTest, WriteWithinTheLimitSucceeds) {
  const std::string path = Path("fits.bin");
  const int status = RunWithFileLimit(4096, [&] {
    binofstream stream(path.c_str(), 1024);
    for (int i = 0; i < 1024; ++i) stream.write("abcd", 4);
    stream.close();
    return stream.fail() ? 1 : 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(path).size(), 4096u);
}

}  // namespace
