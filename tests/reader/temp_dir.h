// A private temporary directory for one test, removed with all it holds
// when the test ends. Nothing outside it is touched.
#ifndef KIN_TESTS_READER_TEMP_DIR_H_
#define KIN_TESTS_READER_TEMP_DIR_H_

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace kin_test {

class TempDir {
 public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kin-reader-test-XXXXXX")
            .string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot create a temporary directory");
    }
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const {
    return (path_ / name).string();
  }

  // Writes `bytes` to `name` in the directory; returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string file = File(name);
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file);
    return file;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace kin_test

#endif  // KIN_TESTS_READER_TEMP_DIR_H_
