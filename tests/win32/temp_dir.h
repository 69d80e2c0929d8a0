// A directory of this run's own under the system's temporary directory,
// removed with the files the run made in it.
#ifndef KIN_TESTS_WIN32_TEMP_DIR_H_
#define KIN_TESTS_WIN32_TEMP_DIR_H_

#include <string>
#include <vector>

namespace win32_host {

class TempDir {
 public:
  // Creates the directory; `ok()` tells whether that worked.
  TempDir();
  // Removes every file handed out by `File` and then the directory.
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }

  // The path of a file named `name` in the directory, remembered for
  // removal. Creates nothing.
  std::string File(const std::string& name);

 private:
  std::string path_;
  std::vector<std::string> files_;
};

// The whole content of `path`; false when it cannot be read.
bool ReadBytes(const std::string& path, std::string& content);
// Writes `content` to `path`, replacing it; false on failure.
bool WriteBytes(const std::string& path, const std::string& content);
// Whether anything exists at `path`.
bool PathExists(const std::string& path);

}  // namespace win32_host

#endif  // KIN_TESTS_WIN32_TEMP_DIR_H_
