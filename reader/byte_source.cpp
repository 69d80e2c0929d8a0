#include "reader/byte_source.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace kin::reader {
namespace {

bool InRange(uint64_t offset, size_t length, uint64_t size) {
  return offset <= size && length <= size - offset;
}

}  // namespace

bool MemorySource::Read(uint64_t offset, void* out, size_t length) {
  if (!InRange(offset, length, size_)) {
    error_ = "read of " + std::to_string(length) + " bytes at offset " +
             std::to_string(offset) + " is outside the " +
             std::to_string(size_) + " bytes of the buffer";
    return false;
  }
  if (length > 0) std::memcpy(out, data_ + offset, length);
  return true;
}

Result<std::unique_ptr<FileSource>> FileSource::Open(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return Error{
        Error::Kind::kIo, path + ": cannot open: " + std::strerror(errno), {}};
  }
  struct stat status;
  if (fstat(fileno(file), &status) != 0) {
    const int error = errno;
    std::fclose(file);
    return Error{Error::Kind::kIo,
                 path + ": cannot examine: " + std::strerror(error),
                 {}};
  }
  if (!S_ISREG(status.st_mode)) {
    std::fclose(file);
    return Error{Error::Kind::kIo,
                 path + ": not a regular file" +
                     (S_ISDIR(status.st_mode) ? " (a directory)" : ""),
                 {}};
  }
  return std::unique_ptr<FileSource>(
      new FileSource(file, static_cast<uint64_t>(status.st_size), path));
}

FileSource::FileSource(std::FILE* file, uint64_t size, std::string path)
    : file_(file), size_(size), path_(std::move(path)) {}

FileSource::~FileSource() { std::fclose(file_); }

bool FileSource::ReadAt(uint64_t offset, void* out, size_t length) {
  if (offset > static_cast<uint64_t>(INT64_MAX) ||
      fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) {
    error_ = path_ + ": cannot seek to offset " + std::to_string(offset) +
             ": " + std::strerror(errno);
    return false;
  }
  const size_t got = std::fread(out, 1, length, file_);
  if (got != length) {
    error_ = path_ + ": read of " + std::to_string(length) +
             " bytes at offset " + std::to_string(offset) + " failed: " +
             (std::ferror(file_) ? std::strerror(errno)
                                 : "the file ended early (did it shrink?)");
    std::clearerr(file_);
    return false;
  }
  return true;
}

bool FileSource::Read(uint64_t offset, void* out, size_t length) {
  if (!InRange(offset, length, size_)) {
    error_ = path_ + ": read of " + std::to_string(length) +
             " bytes at offset " + std::to_string(offset) +
             " is past the end of the file";
    return false;
  }
  if (length == 0) return true;
  if (offset >= windowOffset_ && offset - windowOffset_ <= windowLength_ &&
      length <= windowLength_ - (offset - windowOffset_)) {
    std::memcpy(out, window_.data() + (offset - windowOffset_), length);
    return true;
  }
  if (length > kWindowSize) return ReadAt(offset, out, length);
  window_.resize(kWindowSize);
  const uint64_t left = size_ - offset;
  const size_t fill =
      left < kWindowSize ? static_cast<size_t>(left) : kWindowSize;
  windowLength_ = 0;
  if (!ReadAt(offset, window_.data(), fill)) return false;
  windowOffset_ = offset;
  windowLength_ = fill;
  std::memcpy(out, window_.data(), length);
  return true;
}

}  // namespace kin::reader
