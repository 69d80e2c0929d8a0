// Helpers of the chunk stream tests: a temporary directory, reading a file
// back, a file buffer that counts the calls made on it, and a buffer that
// cannot seek.
#ifndef KIN_TESTS_CHUNKFILE_CHUNKFILE_TEST_SUPPORT_H_
#define KIN_TESTS_CHUNKFILE_CHUNKFILE_TEST_SUPPORT_H_

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <streambuf>
#include <string>
#include <system_error>

namespace kin_test {

// A fresh directory per test, removed with its contents afterwards.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kin-chunkfile-XXXXXX")
            .string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr) << "mkdtemp " << pattern;
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code error;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, error);
  }
  std::string Path(const std::string& name) const {
    return (std::filesystem::path(dir_) / name).string();
  }

 private:
  std::string dir_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in),
                     std::istreambuf_iterator<char>());
}

// A file buffer that counts every call that would reach the file: writes,
// seeks and position queries, and syncs.
class CountingFileBuf : public std::filebuf {
 public:
  int calls = 0;
  int seeks = 0;

 protected:
  std::streamsize xsputn(const char* data, std::streamsize count) override {
    ++calls;
    return std::filebuf::xsputn(data, count);
  }
  int_type overflow(int_type c) override {
    ++calls;
    return std::filebuf::overflow(c);
  }
  pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                   std::ios_base::openmode which) override {
    ++calls;
    ++seeks;
    return std::filebuf::seekoff(offset, direction, which);
  }
  pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
    ++calls;
    ++seeks;
    return std::filebuf::seekpos(position, which);
  }
  int sync() override {
    ++calls;
    return std::filebuf::sync();
  }
};

// Collects what it is given, in order, and cannot seek (like a pipe).
class UnseekableBuf : public std::streambuf {
 public:
  std::string bytes;

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      bytes.push_back(traits_type::to_char_type(c));
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* data, std::streamsize count) override {
    bytes.append(data, static_cast<size_t>(count));
    return count;
  }
};

}  // namespace kin_test

#endif  // KIN_TESTS_CHUNKFILE_CHUNKFILE_TEST_SUPPORT_H_
