// Temporary files and the sequential-write baseline of the benchmarks.
//
// POSIX only: the directory comes from mkdtemp under the system's temporary
// directory (TMPDIR or /tmp), so point TMPDIR at the disk you want to
// measure.
#ifndef KIN_BENCH_BENCH_FILES_H_
#define KIN_BENCH_BENCH_FILES_H_

#include <cstdint>
#include <string>

namespace kin_bench {

// A fresh temporary directory, removed with everything in it on
// destruction. Throws std::runtime_error naming the directory when it
// cannot be made.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // A path inside the directory.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// The size of the file at `path`, or -1 when it cannot be read.
int64_t FileSize(const std::string& path);

// Removes the file at `path` if there is one; errors are ignored.
void RemoveFile(const std::string& path);

// Writes `bytes` bytes from memory to a new file at `path` in 1 MiB blocks
// and closes it. Returns false when the open, a write or the close fails.
bool WriteSequentially(const std::string& path, int64_t bytes);

// Waits until the data of the file at `path` is on the disk (fdatasync).
// Returns false when the file cannot be opened or synced.
bool SyncToDisk(const std::string& path);

}  // namespace kin_bench

#endif  // KIN_BENCH_BENCH_FILES_H_
