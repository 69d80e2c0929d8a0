#include "chunkfile/chunk.h"

#include <cstring>

namespace kin {

void ChunkStream::WriteThroughStream(const char* data, std::streamsize count) {
  ReturnPut();
  if (!stream_.good()) {
    stream_.setstate(std::ios::failbit);
    window_ = nullptr;
    return;
  }
  // The bytes go straight to the stream's buffer: the per-call work of
  // `write` costs more than copying the few bytes of a scalar or a bone
  // record into a buffer.
  if (stream_.tie() != nullptr) stream_.tie()->flush();
  if (stream_.rdbuf()->sputn(data, count) != count) {
    stream_.setstate(std::ios::badbit);
  }
  if (stream_.flags() & std::ios::unitbuf) stream_.flush();
  Resume();
}

std::streamoff ChunkStream::TellThroughStream() {
  ReturnPut();
  if (stream_.fail()) return -1;
  const std::streamoff position =
      stream_.rdbuf()->pubseekoff(0, std::ios::cur, std::ios::out);
  Resume();
  return position;
}

void ChunkStream::SeekThroughStream(std::streamoff offset,
                                    std::ios::seekdir direction) {
  ReturnPut();
  if (stream_.fail()) return;
  if (stream_.rdbuf()->pubseekoff(offset, direction, std::ios::out) ==
      std::streampos(std::streamoff(-1))) {
    stream_.setstate(std::ios::failbit);
  }
  Resume();
}

void ChunkStream::Resume() {
  if (!stream_.good()) window_ = nullptr;
  TakePutArea();
}

void ChunkStream::WritePaddedString(const char* text) {
  static constexpr char kFill[3] = {0, 0, 0};
  const size_t length = text != nullptr ? std::strlen(text) : 0;
  const size_t padded = (length + 3) & ~size_t{3};
  if (padded > static_cast<size_t>(kMaxFilePosition)) {
    Fail();
    return;
  }
  WriteUint32(static_cast<uint32_t>(padded));
  if (length > 0) WriteBytes(text, static_cast<std::streamsize>(length));
  for (size_t i = length; i < padded; ++i) WriteBytes(kFill, 1);
}

}  // namespace kin
