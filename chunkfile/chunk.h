// Primitives that write the framing of a KIN file to any `std::ostream`.
//
// A chunk is written as: its tag (`WriteTag`), `BeginChunk`, which returns
// the position of the size field and writes a zero placeholder, the body,
// and `EndChunk`, which seeks back, patches the size and seeks to the end.
// Sizes are patched from the innermost chunk outwards.
//
// The primitives never throw and never report: a failure shows as the
// stream's failed state, which the caller tests once the writing is done.
// A chunk that would end past the largest position the format can describe
// (`kMaxFilePosition`) fails the stream instead of storing a wrapped size.
//
// They come in two forms with the same effect: free functions on the stream,
// and members of `ChunkStream`, which writers that make many small writes in
// a row (a frame's records, a tree of bone chunks) use to find the stream's
// window once instead of once per write.
#ifndef KIN_CHUNKFILE_CHUNK_H_
#define KIN_CHUNKFILE_CHUNK_H_

#include <cstdint>
#include <cstring>
#include <ostream>
#include <streambuf>

#include "chunkfile/format.h"
#include "chunkfile/windowbuf.h"

namespace kin {

// A stream as the chunk primitives see it. When the stream's buffer is a
// registered `windowbuf` (see `binofstream`) and the stream is good, untied
// and not unit-buffered, the writes, position queries and seeks that the
// window can serve go straight to it, with no virtual call; everything else,
// and every call on any other stream, goes through the stream's buffer as
// `write`, `tellp` and `seekp` would, with their state rules. Either way the
// stream sees the same bytes, queries and seeks in the same order.
//
// It keeps the window's put pointer itself between calls and hands it back
// before any call on the stream's buffer and when it is destroyed: it is
// short-lived, and while one is in use nothing else may use the stream.
// Every member is safe with any bytes on any stream; failures show only as
// the stream's state.
class ChunkStream {
 public:
  explicit ChunkStream(std::ostream& stream)
      : stream_(stream), window_(UsableWindow(stream)) {
    TakePutArea();
  }
  ChunkStream(const ChunkStream&) = delete;
  ChunkStream& operator=(const ChunkStream&) = delete;
  ~ChunkStream() { ReturnPut(); }

  // Writes `count` bytes with the effect of `stream.write`: nothing, and
  // failbit, when the stream is not good; badbit when its buffer takes
  // fewer bytes. A tied stream is flushed first and a unit-buffered one
  // after, as `write` would.
  void WriteBytes(const char* data, std::streamsize count) {
    if (count > 0 && count <= end_ - put_) {
      CopyBytes(put_, data, static_cast<std::size_t>(count));
      put_ += count;
      return;
    }
    WriteThroughStream(data, count);
  }

  // Room for `count` bytes at the put position inside the window, for a
  // writer that fills them in place and then calls `Advance(count)`, making
  // no other call on this object in between: null when there is no window
  // or not that much room in it (write the bytes with `WriteBytes` then).
  // The room holds stale bytes: fill all of it.
  char* Claim(std::streamsize count) {
    return count > 0 && count <= end_ - put_ ? put_ : nullptr;
  }
  // Counts the `count` bytes just filled in at `Claim(count)` as written.
  void Advance(std::streamsize count) { put_ += count; }

  // Writes the four bytes of a tag, without its terminator.
  void WriteTag(const char (&tag)[5]) { WriteBytes(tag, 4); }

  // Writes a 32-bit value as its four little-endian bytes.
  void WriteUint32(uint32_t value) {
    // One 4-byte store where the host is little-endian: bytes stored one by
    // one and then copied as a word would keep the copy waiting.
    char bytes[4];
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(bytes, &value, 4);
#else
    bytes[0] = static_cast<char>(value & 0xFF);
    bytes[1] = static_cast<char>((value >> 8) & 0xFF);
    bytes[2] = static_cast<char>((value >> 16) & 0xFF);
    bytes[3] = static_cast<char>((value >> 24) & 0xFF);
#endif
    WriteBytes(bytes, 4);
  }
  void WriteInt32(int32_t value) { WriteUint32(static_cast<uint32_t>(value)); }

  // Returns the current put position and writes a 32-bit zero in its place.
  // Returns 0 and fails the stream when the position is unknown or past
  // `kMaxFilePosition`.
  int32_t BeginChunk() {
    const std::streamoff position = Tell();
    if (!IsRepresentable(position)) {
      Fail();
      return 0;
    }
    WriteUint32(0);
    return static_cast<int32_t>(position);
  }

  // Patches the size field at `position` with the bytes written since it,
  // then seeks to the end of the stream. Fails the stream, patching nothing,
  // when the end lies past `kMaxFilePosition`.
  void EndChunk(int32_t position) {
    const std::streamoff end = Tell();
    if (!IsRepresentable(end) || end < position + std::streamoff{4}) {
      Fail();
      return;
    }
    SeekTo(position);
    WriteUint32(static_cast<uint32_t>(end - position - 4));
    SeekToEnd();
  }

  // Writes the tag, opens the chunk and writes the version word; returns
  // the position for `EndChunk`.
  int32_t OpenChunk(const char (&tag)[5]) {
    WriteTag(tag);
    const int32_t position = BeginChunk();
    WriteInt32(ChunkVersion);
    return position;
  }

  // Writes `text` (null counts as empty) as a padded string: a length word
  // holding the text length rounded up to a multiple of 4, the text's
  // bytes, then zero bytes up to that length.
  void WritePaddedString(const char* text);

 private:
  static bool IsRepresentable(std::streamoff position) {
    return position >= 0 && position <= kMaxFilePosition;
  }

  // The registered window of `stream` when every write can skip the
  // stream's own checks; null otherwise.
  static windowbuf* UsableWindow(std::ostream& stream) {
    if (!stream.good() || stream.tie() != nullptr ||
        (stream.flags() & std::ios::unitbuf)) {
      return nullptr;
    }
    return windowbuf::Find(stream);
  }

  // Takes the window's put area, if there is one to take.
  void TakePutArea() {
    if (window_ != nullptr) {
      window_->TakePutArea(&put_, &end_);
    } else {
      put_ = end_ = nullptr;
    }
  }
  // Hands the put pointer back to the window, before any call on it.
  void ReturnPut() {
    if (put_ != nullptr) window_->ReturnPut(put_);
    put_ = end_ = nullptr;
  }

  // `stream.tellp()`, with its state rules.
  std::streamoff Tell() {
    if (put_ != nullptr) return window_->PositionOf(put_);
    return TellThroughStream();
  }

  // `stream.seekp(position)` and `stream.seekp(0, std::ios::end)`.
  void SeekTo(std::streamoff position) {
    if (put_ != nullptr && window_->SeekHeld(&put_, position)) return;
    SeekThroughStream(position, std::ios::beg);
  }
  void SeekToEnd() {
    if (put_ != nullptr && window_->SeekEndHeld(&put_)) return;
    SeekThroughStream(0, std::ios::end);
  }

  // Sets badbit; from then on every call goes through the stream.
  void Fail() {
    ReturnPut();
    stream_.setstate(std::ios::badbit);
    window_ = nullptr;
  }

  // The general cases, on the stream's buffer: each hands the put pointer
  // back first, and takes the put area again afterwards while the stream
  // is good (dropping the window once it is not).
  void WriteThroughStream(const char* data, std::streamsize count);
  std::streamoff TellThroughStream();
  void SeekThroughStream(std::streamoff offset, std::ios::seekdir direction);
  void Resume();

  // The two pointers are kept apart: stored side by side, the compiler
  // may copy them from the window with one wide load, which has to wait
  // for the window's last narrow store of its put pointer.
  char* put_ = nullptr;  // the window's put pointer while this holds it
  std::ostream& stream_;
  char* end_ = nullptr;  // the end of the room after `put_`
  windowbuf* window_;
};

// The same primitives on a stream, for writers that make one or two calls.
inline void WriteBytes(std::ostream& stream, const char* data,
                       std::streamsize count) {
  ChunkStream(stream).WriteBytes(data, count);
}
inline void WriteTag(std::ostream& stream, const char (&tag)[5]) {
  ChunkStream(stream).WriteTag(tag);
}
inline void WriteUint32(std::ostream& stream, uint32_t value) {
  ChunkStream(stream).WriteUint32(value);
}
inline void WriteInt32(std::ostream& stream, int32_t value) {
  ChunkStream(stream).WriteInt32(value);
}
inline int32_t BeginChunk(std::ostream& stream) {
  return ChunkStream(stream).BeginChunk();
}
inline void EndChunk(std::ostream& stream, int32_t position) {
  ChunkStream(stream).EndChunk(position);
}
inline void WritePaddedString(std::ostream& stream, const char* text) {
  ChunkStream(stream).WritePaddedString(text);
}
inline int32_t OpenChunk(std::ostream& stream, const char (&tag)[5]) {
  return ChunkStream(stream).OpenChunk(tag);
}

}  // namespace kin

#endif  // KIN_CHUNKFILE_CHUNK_H_
