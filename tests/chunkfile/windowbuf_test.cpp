// windowbuf against a file buffer that counts the calls reaching it: seeks
// that land inside the window, at its edges and outside it, and what the
// file holds afterwards.
#include "chunkfile/windowbuf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "tests/chunkfile/chunkfile_test_support.h"

namespace {

using kin::windowbuf;
using kin_test::CountingFileBuf;
using kin_test::ReadFile;

// Bytes 0, 1, 2, ... as characters 'a' + i % 26.
std::string Pattern(size_t count) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>('a' + i % 26);
  return bytes;
}

// Writes `bytes` over `model` at `at`, zero-filling any gap, as a file does.
void Overwrite(std::string& model, size_t at, const std::string& bytes) {
  if (model.size() < at + bytes.size()) model.resize(at + bytes.size(), '\0');
  std::copy(bytes.begin(), bytes.end(), model.begin() + at);
}

class WindowbufTest : public kin_test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    path_ = Path("out.bin");
    ASSERT_NE(
        file_.open(path_, std::ios::out | std::ios::binary | std::ios::trunc),
        nullptr);
  }

  std::string path_;
  CountingFileBuf file_;
};

TEST_F(WindowbufTest, PatchInsideTheWindowMakesNoCallOnTheFile) {
  windowbuf window(&file_, 64);
  std::ostream stream(&window);
  stream.write("0123456789ABCDEF", 16);
  ASSERT_EQ(stream.tellp(), 16);  // learns the file's position once
  const int before = file_.calls;

  stream.seekp(4);
  stream.write("WXYZ", 4);
  EXPECT_EQ(stream.tellp(), 8);
  stream.seekp(0, std::ios::end);
  EXPECT_EQ(stream.tellp(), 16);
  stream.seekp(0);   // the window's first byte
  stream.seekp(16);  // just after its furthest byte
  stream.write("!!", 2);
  EXPECT_EQ(stream.tellp(), 18);
  EXPECT_EQ(file_.calls, before);
  EXPECT_EQ(ReadFile(path_), "");

  ASSERT_TRUE(stream.flush());
  EXPECT_EQ(ReadFile(path_), "0123WXYZ89ABCDEF!!");
}

TEST_F(WindowbufTest, FullWindowKeepsItsBytesUntilTheNextWrite) {
  windowbuf window(&file_, 8);
  std::ostream stream(&window);
  stream.write("abcdefgh", 8);
  ASSERT_EQ(stream.tellp(), 8);
  const int before = file_.calls;
  stream.seekp(0);
  stream.write("AB", 2);
  stream.seekp(0, std::ios::end);
  EXPECT_EQ(file_.calls, before);

  stream.write("i", 1);  // no room: the window goes to the file
  EXPECT_GT(file_.calls, before);
  ASSERT_TRUE(stream.flush());
  EXPECT_EQ(ReadFile(path_), "ABcdefghi");
}

// After 40 bytes through a 16-byte window, the window holds bytes 32 to 39
// and the file the first 32. Each case seeks there, patches 4 bytes, seeks
// to the end and appends 2.
struct SeekCase {
  const char* name;
  size_t position;
  bool inside;
};

void PrintTo(const SeekCase& c, std::ostream* out) {
  *out << c.name << " (" << c.position << ")";
}

class WindowEdgeTest : public WindowbufTest,
                       public ::testing::WithParamInterface<SeekCase> {};

TEST_P(WindowEdgeTest, SeekServedFromTheWindowOnlyInsideIt) {
  const SeekCase& c = GetParam();
  windowbuf window(&file_, 16);
  std::ostream stream(&window);
  std::string model = Pattern(40);
  stream.write(model.data(), 40);
  ASSERT_EQ(stream.tellp(), 40);

  const int calls = file_.calls;
  const int seeks = file_.seeks;
  stream.seekp(static_cast<std::streamoff>(c.position));
  ASSERT_TRUE(stream.good());
  EXPECT_EQ(stream.tellp(), static_cast<std::streamoff>(c.position));
  if (c.inside) {
    EXPECT_EQ(file_.calls, calls)
        << "a seek inside the window reached the file";
  } else {
    EXPECT_GT(file_.seeks, seeks) << "a seek outside the window did not seek";
  }

  stream.write("PQRS", 4);
  Overwrite(model, c.position, "PQRS");
  EXPECT_EQ(stream.tellp(), static_cast<std::streamoff>(c.position + 4));
  stream.seekp(0, std::ios::end);
  EXPECT_EQ(stream.tellp(), static_cast<std::streamoff>(model.size()));
  stream.write("yz", 2);
  model += "yz";
  ASSERT_TRUE(stream.flush());
  file_.close();
  EXPECT_EQ(ReadFile(path_), model);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, WindowEdgeTest,
    ::testing::Values(SeekCase{"WindowStart", 32, true},
                      SeekCase{"InsideWindow", 35, true},
                      SeekCase{"PatchPastFurthestByte", 38, true},
                      SeekCase{"JustAfterFurthestByte", 40, true},
                      SeekCase{"JustBeforeWindowStraddling", 30, false},
                      SeekCase{"OneBeforeWindow", 31, false},
                      SeekCase{"StartOfFile", 0, false},
                      SeekCase{"OnePastTheEnd", 41, false},
                      SeekCase{"FarPastTheEnd", 100, false}),
    [](const ::testing::TestParamInfo<SeekCase>& info) {
      return std::string(info.param.name);
    });

TEST_F(WindowbufTest, FlushKeepsThePutPosition) {
  windowbuf window(&file_, 64);
  std::ostream stream(&window);
  stream.write("0123456789", 10);
  stream.seekp(3);
  ASSERT_TRUE(stream.flush());
  EXPECT_EQ(ReadFile(path_), "0123456789");
  EXPECT_EQ(stream.tellp(), 3);
  stream.write("XY", 2);
  stream.seekp(0, std::ios::end);
  EXPECT_EQ(stream.tellp(), 10);
  ASSERT_TRUE(stream.flush());
  EXPECT_EQ(ReadFile(path_), "012XY56789");
}

TEST_F(WindowbufTest, RelativeSeeksCountFromTheTruePosition) {
  windowbuf window(&file_, 16);
  std::ostream stream(&window);
  std::string model = Pattern(50);
  stream.write(model.data(), 50);
  stream.seekp(-3, std::ios::cur);  // inside
  EXPECT_EQ(stream.tellp(), 47);
  stream.seekp(-20, std::ios::cur);  // outside
  EXPECT_EQ(stream.tellp(), 27);
  stream.write("##", 2);
  Overwrite(model, 27, "##");
  stream.seekp(-2, std::ios::end);
  EXPECT_EQ(stream.tellp(), 48);
  stream.write("$$$", 3);
  Overwrite(model, 48, "$$$");
  ASSERT_TRUE(stream.flush());
  EXPECT_EQ(ReadFile(path_), model);
}

TEST_F(WindowbufTest, StartsWhereTheFileStandsAndKnowsItsEnd) {
  file_.sputn("0123456789", 10);
  file_.close();
  ASSERT_NE(file_.open(path_, std::ios::in | std::ios::out | std::ios::binary),
            nullptr);
  ASSERT_EQ(file_.pubseekpos(3), 3);
  windowbuf window(&file_, 4);
  std::ostream stream(&window);
  stream.write("ab", 2);
  EXPECT_EQ(stream.tellp(), 5);
  stream.seekp(-1, std::ios::end);
  EXPECT_EQ(stream.tellp(), 9);
  stream.write("XYZ", 3);
  stream.seekp(0, std::ios::end);
  EXPECT_EQ(stream.tellp(), 12);
  stream.seekp(-12, std::ios::end);
  stream.write("!", 1);
  ASSERT_TRUE(stream.flush());
  EXPECT_EQ(ReadFile(path_), "!12ab5678XYZ");
}

TEST_F(WindowbufTest, NegativePositionFailsAndLosesNothing) {
  windowbuf window(&file_, 16);
  std::ostream stream(&window);
  stream.write("abcd", 4);
  stream.seekp(-5, std::ios::cur);
  EXPECT_TRUE(stream.fail());
  stream.clear();
  EXPECT_EQ(stream.tellp(), 4);
  ASSERT_TRUE(stream.flush());
  EXPECT_EQ(ReadFile(path_), "abcd");
}

TEST(WindowbufUnseekableTest, PassesBytesInOrderButReportsNoPosition) {
  kin_test::UnseekableBuf sink;
  windowbuf window(&sink, 8);
  std::ostream stream(&window);
  const std::string bytes = Pattern(21);
  stream.write(bytes.data(), 5);
  stream.write(bytes.data() + 5, 16);
  EXPECT_EQ(stream.tellp(), -1);
  stream.seekp(0);
  EXPECT_TRUE(stream.fail());
  stream.clear();
  ASSERT_TRUE(stream.flush());
  EXPECT_EQ(sink.bytes, bytes);
}

// Takes at most `room` bytes in all, then refuses.
class FullBuf : public kin_test::UnseekableBuf {
 public:
  explicit FullBuf(size_t room) : room_(room) {}

 protected:
  std::streamsize xsputn(const char* data, std::streamsize count) override {
    const auto taken = std::min<std::streamsize>(
        count, static_cast<std::streamsize>(room_ - bytes.size()));
    bytes.append(data, static_cast<size_t>(taken));
    return taken;
  }
  pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                   std::ios_base::openmode) override {
    if (offset == 0 && direction != std::ios_base::beg) {
      return pos_type(off_type(bytes.size()));
    }
    return pos_type(off_type(-1));
  }

 private:
  size_t room_;
};

TEST(WindowbufFailureTest, RefusedWriteFailsTheStreamForGood) {
  FullBuf target(10);
  windowbuf window(&target, 8);
  std::ostream stream(&window);
  const std::string bytes = Pattern(24);
  stream.write(bytes.data(), 8);
  EXPECT_TRUE(stream.good());
  stream.write(bytes.data() + 8, 8);  // the first window fits
  EXPECT_TRUE(stream.good());
  stream.write(bytes.data() + 16, 8);  // the second does not
  EXPECT_TRUE(stream.bad());

  stream.clear();
  EXPECT_EQ(stream.tellp(), -1);
  stream.put('x');
  EXPECT_TRUE(stream.bad()) << "a single character slipped past the failure";
  stream.clear();
  EXPECT_FALSE(stream.flush());
  EXPECT_FALSE(window.Flush());
}

TEST(WindowbufSizeTest, WindowSizeIsClamped) {
  kin_test::UnseekableBuf sink;
  windowbuf tiny(&sink, 0);
  EXPECT_TRUE(tiny.ok());
  EXPECT_EQ(tiny.windowSize(), 1u);
  std::ostream stream(&tiny);
  stream.write("abc", 3);
  stream.flush();
  EXPECT_EQ(sink.bytes, "abc");
}

}  // namespace
