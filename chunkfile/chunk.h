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
#ifndef KIN_CHUNKFILE_CHUNK_H_
#define KIN_CHUNKFILE_CHUNK_H_

#include <cstdint>
#include <ostream>
#include <streambuf>

namespace kin {

// Writes `count` bytes to the stream with the effect of `stream.write`:
// nothing, and failbit, when the stream is not good; badbit when its buffer
// takes fewer bytes. A tied stream is flushed first and a unit-buffered one
// after, as `write` would. It hands the bytes straight to the stream's
// buffer, because the per-call work of `write` costs more than copying the
// few bytes of a scalar or a bone record into a buffer.
inline void WriteBytes(std::ostream& stream, const char* data,
                       std::streamsize count) {
  if (!stream.good()) {
    stream.setstate(std::ios::failbit);
    return;
  }
  if (stream.tie() != nullptr) stream.tie()->flush();
  if (stream.rdbuf()->sputn(data, count) != count) {
    stream.setstate(std::ios::badbit);
  }
  if (stream.flags() & std::ios::unitbuf) stream.flush();
}

// Writes the four bytes of a tag, without its terminator.
void WriteTag(std::ostream& stream, const char (&tag)[5]);

// Writes a 32-bit value as its four little-endian bytes.
void WriteInt32(std::ostream& stream, int32_t value);
void WriteUint32(std::ostream& stream, uint32_t value);

// Returns the current put position and writes a 32-bit zero in its place.
// Returns 0 and fails the stream when the position is unknown or past
// `kMaxFilePosition`.
int32_t BeginChunk(std::ostream& stream);

// Patches the size field at `position` with the bytes written since it, then
// seeks to the end of the stream. Fails the stream, patching nothing, when
// the end lies past `kMaxFilePosition`.
void EndChunk(std::ostream& stream, int32_t position);

// Writes `text` (null counts as empty) as a padded string: a length word
// holding the text length rounded up to a multiple of 4, the text's bytes,
// then zero bytes up to that length.
void WritePaddedString(std::ostream& stream, const char* text);

// Writes the tag, opens the chunk and writes the version word; returns the
// position for `EndChunk`.
int32_t OpenChunk(std::ostream& stream, const char (&tag)[5]);

}  // namespace kin

#endif  // KIN_CHUNKFILE_CHUNK_H_
