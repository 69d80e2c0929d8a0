// The model the reader builds from files written byte by byte, and reading
// the same bytes from a file and from memory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "reader/reader.h"
#include "tests/reader/sample_files.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace kin_bytes;
using kin::reader::Animation;

Animation Read(const std::string& bytes) {
  auto read = kin::reader::ReadBytes(bytes.data(), bytes.size());
  EXPECT_TRUE(read.ok()) << (read.ok() ? "" : read.error().message);
  return read.ok() ? read.value() : Animation{};
}

uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  return bits;
}

TEST(ReadBytes, BuildsTheWholeModel) {
  const Animation anim = Read(kin_test::TreeFile());
  EXPECT_EQ(anim.name, "tree");
  EXPECT_EQ(anim.frameCount, 3);
  EXPECT_EQ(anim.valueA, 1u);
  EXPECT_EQ(anim.valueB, 2u);
  ASSERT_EQ(anim.events.size(), 3u);
  EXPECT_EQ(anim.events[1].offset, 2);
  EXPECT_EQ(anim.events[1].value, 2u);
  EXPECT_EQ(anim.events[1].name, "bbbbb");
  EXPECT_EQ(anim.events[2].name, "");
  const std::vector<std::string> names = {"hips", "spine", "neck", "head",
                                          "leg"};
  const std::vector<int32_t> parents = {-1, 0, 1, 2, 0};
  ASSERT_EQ(anim.bones.size(), names.size());
  for (size_t k = 0; k < names.size(); ++k) {
    EXPECT_EQ(anim.bones[k].name, names[k]);
    EXPECT_EQ(anim.bones[k].parent, parents[k]) << names[k];
  }
  ASSERT_EQ(anim.frames.size(), 3u);
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(anim.frames[n].offset, n);
    ASSERT_EQ(anim.frames[n].records.size(), 5u);
    for (int k = 0; k < 5; ++k) {
      for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(anim.frames[n].records[k][i],
                  static_cast<float>(n * 5 + k + i));
      }
    }
  }
}

TEST(ReadBytes, KeepsRawBitsAndEndsNamesAtTheFirstZero) {
  Record odd{};
  const uint32_t patterns[7] = {0x7fc00001, 0xff800000, 0x80000000, 0x00000001,
                                0x7f800000, 0xffffffff, 0x3f800000};
  std::memcpy(odd.bits, patterns, sizeof patterns);
  const std::string file = File(
      {VersionedChunk("INFO", U32(8) + std::string("ab\0\0\0\0\0\0", 8) +
                                  I32(1) + U32(0xFFFFFFFF) + U32(0x80000000)),
       Events({}), Skeleton({"abcd", {}}), Frame(0, {odd})});
  kin::reader::MemorySource source(file.data(), file.size());
  const kin::reader::Report report = kin::reader::Validate(source);
  EXPECT_TRUE(report.valid());
  const Animation anim = Read(file);
  EXPECT_EQ(anim.name, "ab");
  EXPECT_EQ(anim.valueA, 0xFFFFFFFFu);
  EXPECT_EQ(anim.valueB, 0x80000000u);
  ASSERT_EQ(anim.bones.size(), 1u);
  EXPECT_EQ(anim.bones[0].name, "abcd");
  ASSERT_EQ(anim.frames.size(), 1u);
  ASSERT_EQ(anim.frames[0].records.size(), 1u);
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(Bits(anim.frames[0].records[0][i]), patterns[i]);
}

// A file far larger than the file source's read window, with strings and
// records straddling window edges, reads the same from disk as from memory.
TEST(ReadFile, MatchesTheMemoryReadOfALargeFile) {
  BoneNode root{"root", {}};
  for (int k = 0; k < 700; ++k)
    root.children.push_back({"bone-" + std::to_string(k), {}});
  std::vector<std::string> chunks = {Info(std::string(70001, 'n'), 40, 5, 6),
                                     Events({}), Skeleton(root)};
  for (int32_t n = 0; n < 40; ++n) {
    std::vector<Record> records;
    for (int k = 0; k < 701; ++k)
      records.push_back(kin_test::RecordFrom(n * 1000.0f + k));
    chunks.push_back(Frame(n, records));
  }
  const std::string bytes = File(chunks);
  ASSERT_GT(bytes.size(), 3u * 64 * 1024);
  test_files::TempDir dir;
  const std::string path = dir.Write("large.kin", bytes);

  auto fromFile = kin::reader::ReadFile(path);
  ASSERT_TRUE(fromFile.ok()) << fromFile.error().message;
  const Animation fromMemory = Read(bytes);
  const Animation& anim = fromFile.value();
  EXPECT_EQ(anim.name, fromMemory.name);
  EXPECT_EQ(anim.name.size(), 70001u);
  ASSERT_EQ(anim.bones.size(), 701u);
  EXPECT_EQ(anim.bones[700].name, "bone-699");
  EXPECT_EQ(anim.bones[700].parent, 0);
  ASSERT_EQ(anim.frames.size(), 40u);
  for (size_t n = 0; n < 40; ++n) {
    ASSERT_EQ(anim.frames[n].records, fromMemory.frames[n].records)
        << "frame " << n;
  }
  EXPECT_EQ(anim.frames[39].records[700][6], 39 * 1000.0f + 700 + 6);

  auto summary = kin::reader::SummarizeFile(path);
  ASSERT_TRUE(summary.ok());
  EXPECT_EQ(summary.value().fileSize, bytes.size());
  EXPECT_EQ(summary.value().boneCount, 701);
  EXPECT_EQ(summary.value().frameChunkCount, 40);
  EXPECT_EQ(summary.value().name.size(), kin::reader::kSummaryNameBytes);
  EXPECT_TRUE(summary.value().report.valid());
}

TEST(ReadFile, ReportsFilesThatCannotBeReadAsIoErrors) {
  test_files::TempDir dir;
  const std::string missing = dir.File("missing.kin");
  for (const std::string& path : {missing, dir.path().string()}) {
    SCOPED_TRACE(path);
    auto read = kin::reader::ReadFile(path);
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().kind, kin::reader::Error::Kind::kIo);
    EXPECT_NE(read.error().message.find(path), std::string::npos)
        << read.error().message;
    EXPECT_FALSE(kin::reader::ValidateFile(path).ok());
    EXPECT_FALSE(kin::reader::SummarizeFile(path).ok());
  }
}

}  // namespace

namespace {

// A file cut short after it was opened: the walk stops with an I/O error,
// never with a report of format problems or a model.
TEST(FileSource, AFileThatShrinksWhileReadIsAnIoError) {
  test_files::TempDir dir;
  const std::string path = dir.Write("shrinks.kin", kin_test::WalkFile());
  auto source = kin::reader::FileSource::Open(path);
  ASSERT_TRUE(source.ok());
  std::filesystem::resize_file(path, 100);

  auto read = kin::reader::ReadSource(*source.value(), path);
  ASSERT_FALSE(read.ok());
  EXPECT_EQ(read.error().kind, kin::reader::Error::Kind::kIo);
  EXPECT_NE(read.error().message.find("ended early"), std::string::npos)
      << read.error().message;
  const kin::reader::Report report = kin::reader::Validate(*source.value());
  ASSERT_FALSE(report.valid());
  EXPECT_EQ(report.firstError()->code, kin::reader::IssueCode::kReadFailed);
}

}  // namespace
