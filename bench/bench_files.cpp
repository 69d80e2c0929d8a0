#include "bench/bench_files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace kin_bench {

TempDir::TempDir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "kin-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a temporary directory from " +
                             pattern);
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

std::string TempDir::File(const std::string& name) const {
  return (std::filesystem::path(path_) / name).string();
}

int64_t FileSize(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? -1 : static_cast<int64_t>(size);
}

void RemoveFile(const std::string& path) {
  std::error_code error;
  std::filesystem::remove(path, error);
}

bool WriteSequentially(const std::string& path, int64_t bytes) {
  constexpr int64_t kBlock = 1 << 20;
  // Filled once: the data's content does not matter, only that it is
  // already in memory.
  static const std::vector<char> block = [] {
    std::vector<char> data(kBlock);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i);
    return data;
  }();
  std::ofstream out(path, std::ios::out | std::ios::binary | std::ios::trunc);
  for (int64_t left = bytes; left > 0 && out; left -= kBlock) {
    out.write(block.data(),
              static_cast<std::streamsize>(left < kBlock ? left : kBlock));
  }
  out.close();
  return !out.fail();
}

bool SyncToDisk(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fdatasync(fd) == 0;
  return close(fd) == 0 && synced;
}

}  // namespace kin_bench
