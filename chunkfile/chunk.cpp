#include "chunkfile/chunk.h"

#include <cstring>

#include "chunkfile/format.h"

namespace kin {
namespace {

bool IsRepresentable(std::streamoff position) {
  return position >= 0 && position <= kMaxFilePosition;
}

// `stream.tellp()` and `stream.seekp(...)`, with the same state rules,
// asking the stream's buffer directly (see `WriteBytes`).
std::streamoff TellPosition(std::ostream& stream) {
  if (stream.fail()) return -1;
  return stream.rdbuf()->pubseekoff(0, std::ios::cur, std::ios::out);
}

void SeekPosition(std::ostream& stream, std::streamoff offset,
                  std::ios::seekdir direction) {
  if (stream.fail()) return;
  if (stream.rdbuf()->pubseekoff(offset, direction, std::ios::out) ==
      std::streampos(std::streamoff(-1))) {
    stream.setstate(std::ios::failbit);
  }
}

}  // namespace

void WriteTag(std::ostream& stream, const char (&tag)[5]) {
  WriteBytes(stream, tag, 4);
}

void WriteUint32(std::ostream& stream, uint32_t value) {
  const char bytes[4] = {static_cast<char>(value & 0xFF),
                         static_cast<char>((value >> 8) & 0xFF),
                         static_cast<char>((value >> 16) & 0xFF),
                         static_cast<char>((value >> 24) & 0xFF)};
  WriteBytes(stream, bytes, 4);
}

void WriteInt32(std::ostream& stream, int32_t value) {
  WriteUint32(stream, static_cast<uint32_t>(value));
}

int32_t BeginChunk(std::ostream& stream) {
  const std::streamoff position = TellPosition(stream);
  if (!IsRepresentable(position)) {
    stream.setstate(std::ios::badbit);
    return 0;
  }
  WriteUint32(stream, 0);
  return static_cast<int32_t>(position);
}

void EndChunk(std::ostream& stream, int32_t position) {
  const std::streamoff end = TellPosition(stream);
  if (!IsRepresentable(end) || end < position + std::streamoff{4}) {
    stream.setstate(std::ios::badbit);
    return;
  }
  SeekPosition(stream, position, std::ios::beg);
  WriteUint32(stream, static_cast<uint32_t>(end - position - 4));
  SeekPosition(stream, 0, std::ios::end);
}

void WritePaddedString(std::ostream& stream, const char* text) {
  static constexpr char kFill[3] = {0, 0, 0};
  const size_t length = text != nullptr ? std::strlen(text) : 0;
  const size_t padded = (length + 3) & ~size_t{3};
  if (padded > static_cast<size_t>(kMaxFilePosition)) {
    stream.setstate(std::ios::badbit);
    return;
  }
  WriteUint32(stream, static_cast<uint32_t>(padded));
  if (length > 0)
    WriteBytes(stream, text, static_cast<std::streamsize>(length));
  for (size_t i = length; i < padded; ++i) WriteBytes(stream, kFill, 1);
}

int32_t OpenChunk(std::ostream& stream, const char (&tag)[5]) {
  WriteTag(stream, tag);
  const int32_t position = BeginChunk(stream);
  WriteInt32(stream, ChunkVersion);
  return position;
}

}  // namespace kin
