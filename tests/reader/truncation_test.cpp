// Every prefix of a valid file is itself invalid (its container size no
// longer matches) and must fail cleanly: each prefix sits in a heap buffer
// of exactly its own length, so any read past it is caught by the address
// sanitizer. The same holds for the files with one byte changed.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "reader/reader.h"
#include "tests/reader/reader_invariants.h"
#include "tests/reader/sample_files.h"

namespace {

struct NamedFile {
  const char* name;
  std::string bytes;
};

void PrintTo(const NamedFile& file, std::ostream* out) { *out << file.name; }

std::vector<NamedFile> ValidFiles() {
  return {{"Walk", kin_test::WalkFile()},
          {"Tree", kin_test::TreeFile()},
          {"EmptyRange", kin_test::EmptyRangeFile()}};
}

class ValidFile : public ::testing::TestWithParam<NamedFile> {};

TEST_P(ValidFile, IsValidWhole) {
  const std::string& bytes = GetParam().bytes;
  kin::reader::MemorySource source(bytes.data(), bytes.size());
  const kin::reader::Report report = kin::reader::Validate(source);
  EXPECT_TRUE(report.valid());
  EXPECT_EQ(report.warningCount(), 0);
  EXPECT_TRUE(kin::reader::ReadBytes(bytes.data(), bytes.size()).ok());
}

TEST_P(ValidFile, EveryTruncatedPrefixFailsCleanly) {
  const std::string& bytes = GetParam().bytes;
  for (size_t length = 0; length < bytes.size(); ++length) {
    SCOPED_TRACE("prefix of " + std::to_string(length) + " bytes");
    std::unique_ptr<char[]> prefix(new char[length]);
    if (length > 0) std::memcpy(prefix.get(), bytes.data(), length);

    kin::reader::MemorySource source(prefix.get(), length);
    const kin::reader::Report report = kin::reader::Validate(source);
    ASSERT_FALSE(report.valid());
    const auto read = kin::reader::ReadBytes(prefix.get(), length);
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().kind, kin::reader::Error::Kind::kInvalid);
    const std::string broken = kin_test::CheckReaderInvariants(
        reinterpret_cast<const uint8_t*>(prefix.get()), length);
    ASSERT_EQ(broken, "");
  }
}

TEST_P(ValidFile, EverySingleByteChangeKeepsTheReaderConsistent) {
  const std::string& bytes = GetParam().bytes;
  for (size_t at = 0; at < bytes.size(); ++at) {
    for (unsigned char flip : {0x01, 0x80, 0xFF}) {
      SCOPED_TRACE("byte " + std::to_string(at) + " xor " +
                   std::to_string(flip));
      std::unique_ptr<uint8_t[]> changed(new uint8_t[bytes.size()]);
      std::memcpy(changed.get(), bytes.data(), bytes.size());
      changed[at] ^= flip;
      ASSERT_EQ(kin_test::CheckReaderInvariants(changed.get(), bytes.size()),
                "");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, ValidFile, ::testing::ValuesIn(ValidFiles()),
                         [](const auto& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
