// Random-access sources of the bytes of one KIN file.
//
// The reader never holds a whole file: it asks a `ByteSource` for the few
// bytes it needs next, always inside `Size()`. `MemorySource` reads a buffer
// the caller owns; `FileSource` reads a regular file through a fixed 64 KiB
// window, so reading a file of any length takes bounded memory.
#ifndef KIN_READER_BYTE_SOURCE_H_
#define KIN_READER_BYTE_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "reader/result.h"

namespace kin::reader {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The number of bytes in the source.
  virtual uint64_t Size() const = 0;
  // Copies the `length` bytes at `offset` to `out`. Returns false, copying
  // nothing usable, when the range is not inside `Size()` or the bytes
  // cannot be read; `ErrorText()` then says why.
  virtual bool Read(uint64_t offset, void* out, size_t length) = 0;
  // Why the last failed `Read` failed; empty when none has.
  virtual std::string ErrorText() const = 0;
};

// Reads `size` bytes at `data`, which must stay valid while it is used. Safe
// on any bytes; `data` may be null when `size` is 0.
class MemorySource : public ByteSource {
 public:
  MemorySource(const void* data, size_t size)
      : data_(static_cast<const unsigned char*>(data)), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool Read(uint64_t offset, void* out, size_t length) override;
  std::string ErrorText() const override { return error_; }

 private:
  const unsigned char* data_;
  size_t size_;
  std::string error_;
};

// Reads a regular file. Open it with `Open`.
class FileSource : public ByteSource {
 public:
  // Opens `path` for reading. Fails (kind `kIo`) when the file is missing,
  // unreadable, a directory or anything else that is not a regular file;
  // the message names the path and the system's reason.
  static Result<std::unique_ptr<FileSource>> Open(const std::string& path);

  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  uint64_t Size() const override { return size_; }
  bool Read(uint64_t offset, void* out, size_t length) override;
  std::string ErrorText() const override { return error_; }

 private:
  static constexpr size_t kWindowSize = 64 * 1024;

  FileSource(std::FILE* file, uint64_t size, std::string path);
  bool ReadAt(uint64_t offset, void* out, size_t length);

  std::FILE* file_;
  uint64_t size_;
  std::string path_;
  std::vector<unsigned char> window_;
  uint64_t windowOffset_ = 0;
  size_t windowLength_ = 0;
  std::string error_;
};

}  // namespace kin::reader

#endif  // KIN_READER_BYTE_SOURCE_H_
