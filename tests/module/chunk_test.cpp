// The chunk primitives: padded strings, size patching, the 32-bit limit.
#include "chunkfile/chunk.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <streambuf>
#include <string>

#include "animfile/frame_offset.h"
#include "chunkfile/format.h"
#include "tests/support/kin_bytes.h"

namespace {

using kin_bytes::U32;

std::string Written(void (*write)(std::ostream&)) {
  std::ostringstream out(std::ios::binary);
  write(out);
  return out.str();
}

TEST(PaddedString, StoresTheRoundedLengthThenZeroFill) {
  struct Case {
    size_t length;
    uint32_t stored;
  };
  const Case cases[] = {{0, 0}, {1, 4}, {2, 4}, {3, 4}, {4, 4},
                        {5, 8}, {6, 8}, {7, 8}, {8, 8}, {9, 12}};
  const std::string letters = "abcdefghi";
  for (const Case& c : cases) {
    const std::string text = letters.substr(0, c.length);
    std::ostringstream out(std::ios::binary);
    kin::WritePaddedString(out, text.c_str());
    const std::string expected =
        U32(c.stored) + text + std::string(c.stored - c.length, '\0');
    EXPECT_EQ(out.str(), expected) << "text length " << c.length;
  }
}

TEST(PaddedString, NullTextIsTheEmptyText) {
  std::ostringstream out(std::ios::binary);
  kin::WritePaddedString(out, nullptr);
  EXPECT_EQ(out.str(), std::string(4, '\0'));
}

TEST(PaddedString, TextEndsAtItsTerminator) {
  std::ostringstream out(std::ios::binary);
  kin::WritePaddedString(out, "ab\0cd");
  EXPECT_EQ(out.str(), U32(4) + std::string("ab\0\0", 4));
}

TEST(Chunk, SizesArePatchedFromTheInnermostOutwards) {
  const std::string bytes = Written([](std::ostream& out) {
    const int32_t outer = kin::OpenChunk(out, kin::kSkeletonTag);
    const int32_t inner = kin::OpenChunk(out, kin::kBoneTag);
    kin::WritePaddedString(out, "hips");
    kin::WriteInt32(out, 0);
    kin::EndChunk(out, inner);
    kin::WriteInt32(out, -1);  // written after the patch: lands at the end
    kin::EndChunk(out, outer);
  });
  const std::string bone = kin_bytes::VersionedChunk(
      "BONE", kin_bytes::Text("hips") + kin_bytes::I32(0));
  EXPECT_EQ(bytes,
            kin_bytes::VersionedChunk("SKEL", bone + kin_bytes::I32(-1)));
  EXPECT_EQ(bytes.substr(4, 4), U32(32));
  EXPECT_EQ(bytes.substr(16, 4), U32(16));
}

TEST(Chunk, BeginChunkReturnsTheSizeFieldPosition) {
  std::ostringstream out(std::ios::binary);
  out.write("12345678", 8);
  EXPECT_EQ(kin::BeginChunk(out), 8);
  EXPECT_EQ(out.str(), std::string("12345678") + U32(0));
}

// Counts put positions from a chosen start without storing the bytes below
// it, so that positions near the 32-bit limit can be reached cheaply.
class FarStreamBuf : public std::streambuf {
 public:
  explicit FarStreamBuf(std::streamoff start) : base_(start), end_(start) {}
  const std::string& tail() const { return tail_; }

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    for (std::streamsize i = 0; i < n; ++i) Put(s[i]);
    return n;
  }
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof()))
      Put(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
  }
  pos_type seekoff(off_type off, std::ios::seekdir dir,
                   std::ios::openmode) override {
    const off_type from = dir == std::ios::beg   ? 0
                          : dir == std::ios::end ? end_
                                                 : put_;
    put_ = from + off;
    return put_;
  }
  pos_type seekpos(pos_type pos, std::ios::openmode which) override {
    return seekoff(off_type(pos), std::ios::beg, which);
  }

 private:
  void Put(char c) {
    const size_t at = static_cast<size_t>(put_ - base_);
    if (tail_.size() <= at) tail_.resize(at + 1);
    tail_[at] = c;
    ++put_;
    if (put_ > end_) end_ = put_;
  }
  std::streamoff base_, end_, put_ = base_;
  std::string tail_;
};

TEST(Chunk, AChunkEndingAtTheLimitIsPatched) {
  const std::streamoff start = kin::kMaxFilePosition - 12;
  FarStreamBuf buffer(start);
  std::ostream out(&buffer);
  const int32_t chunk = kin::BeginChunk(out);
  EXPECT_EQ(chunk, start);
  out.write("12345678", 8);
  kin::EndChunk(out, chunk);
  EXPECT_TRUE(out.good());
  EXPECT_EQ(buffer.tail(), U32(8) + "12345678");
}

TEST(Chunk, AChunkEndingPastTheLimitFailsTheStreamAndPatchesNothing) {
  const std::streamoff start = kin::kMaxFilePosition - 12;
  FarStreamBuf buffer(start);
  std::ostream out(&buffer);
  const int32_t chunk = kin::BeginChunk(out);
  out.write("123456789", 9);
  kin::EndChunk(out, chunk);
  EXPECT_TRUE(out.fail());
  EXPECT_EQ(buffer.tail(), U32(0) + "123456789");
}

TEST(Chunk, BeginChunkPastTheLimitFailsTheStream) {
  FarStreamBuf buffer(kin::kMaxFilePosition + std::streamoff{1});
  std::ostream out(&buffer);
  kin::BeginChunk(out);
  EXPECT_TRUE(out.fail());
}

TEST(FrameArithmetic, WrapsAsThirtyTwoBitTwosComplement) {
  struct Case {
    int32_t first, last;
    uint32_t count;
  };
  const Case cases[] = {
      {0, 1, 2},
      {5, 5, 1},
      {5, 2, static_cast<uint32_t>(-2)},
      {-10, -5, 6},
      {INT32_MAX - 2, INT32_MAX, 3},
      {INT32_MIN, INT32_MAX, 0},  // 2^32 frames wrap to 0
      {INT32_MAX, INT32_MIN, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kin::FrameCount(c.first, c.last), c.count)
        << c.first << ".." << c.last;
  }
  EXPECT_EQ(kin::FrameOffset(INT32_MIN, INT32_MAX), 1u);
  EXPECT_EQ(kin::FrameOffset(-7, -10), 3u);
}

}  // namespace
