// An output stream buffer that keeps the most recent bytes in memory so that
// seeking back into them, and overwriting them, costs no system call.
//
// A KIN file is written in one forward pass, but every chunk's size is
// patched afterwards with a seek back to the size field and a seek to the
// end. Through a plain file buffer each of those seeks, and each query of
// the put position, flushes and repositions the file. `windowbuf` sits in
// front of the file's own buffer (its target) and holds a window of bytes
// that the target has not been given yet: those from the window's start
// position up to the furthest byte written since. Inside the window:
//   - the put position is the window's start plus the offset in the window,
//     so `tellp` reports true offsets in the target without asking it;
//   - a seek to any position from the window's start up to and including
//     its furthest byte (the end of the stream, after a patch) only moves
//     the put pointer;
//   - writes overwrite or extend the window's bytes in memory.
// A write that finds the window full hands the whole window to the target
// and starts an empty one after it. A seek outside the window hands it over
// the same way, then seeks the target and starts an empty window there.
//
// Failures: once the target refuses bytes or a seek, the buffer stays
// failed (writes and seeks report failure to the stream, which sets its
// failed state) until `Reset`. A target whose position cannot be queried
// (a pipe) still receives every byte in order, but every position query or
// seek fails, as it would on the target itself.
//
// Bytes still in the window reach the target only through `Flush`,
// `pubsync` (the stream's `flush`), a full window or a seek outside it: the
// owner must call one of them before closing the target.
//
// A stream that owns a window can register it (`Register`); the chunk
// primitives then find it (`Find`) and serve the common cases (a write that
// fits, the position query, a seek inside the window) through its inline
// members instead of the stream buffer's virtual functions, which cost more
// than the few bytes they move: the members hand out the put area, and move
// a put pointer held outside exactly as the virtual seek would, or do
// nothing and report that only the virtual call can.
#ifndef KIN_CHUNKFILE_WINDOWBUF_H_
#define KIN_CHUNKFILE_WINDOWBUF_H_

#include <cstddef>
#include <cstring>
#include <ios>
#include <ostream>
#include <streambuf>

namespace kin {

// Copies `count` bytes. The writers hand over a few bytes at a time (a
// scalar, a bone record the host has just filled in with 4-byte stores).
// Those are copied in 4-byte moves, which the processor can take straight
// from its pending stores; a wider load over several of them would wait for
// the stores to retire first, and a call to the library's general copy
// costs more than the copy.
inline void CopyBytes(char* to, const char* from, std::size_t count) {
  if (count > 64) {
    std::memcpy(to, from, count);
    return;
  }
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) std::memcpy(to + i, from + i, 4);
  for (; i < count; ++i) to[i] = from[i];
}

class windowbuf : public std::streambuf {
 public:
  // Window sizes are clamped to [1, kMaxWindowSize].
  static constexpr std::size_t kMaxWindowSize = std::size_t{1} << 30;

  // Buffers in front of `target`, which must outlive this object (or at
  // least every call made on it). Allocates the window; when that fails,
  // `ok()` is false and the buffer accepts nothing.
  windowbuf(std::streambuf* target, std::size_t windowSize);
  windowbuf(const windowbuf&) = delete;
  windowbuf& operator=(const windowbuf&) = delete;
  // Releases the window without flushing it.
  ~windowbuf() override;

  // Whether the window's memory was allocated.
  bool ok() const { return window_ != nullptr; }
  std::size_t windowSize() const { return size_; }

  // Hands the bytes of the window to the target, without syncing the
  // target. Returns false, leaving the buffer failed, when the target took
  // fewer bytes than it was given or the buffer had failed already.
  bool Flush();

  // Drops the window's bytes and every position learned from the target,
  // and clears the failure: the next use starts from the target's position
  // as it is then. For reuse after the target was closed or reopened.
  void Reset();

  // Records `window` as the buffer of `stream` for `Find` (null: none).
  // Returns false, recording nothing, when the stream is bad already or
  // cannot store the entry (no memory, which makes the stream bad); `Find`
  // then finds no window and the stream takes the virtual path.
  static bool Register(std::ios& stream, windowbuf* window);

  // The window registered in `stream`, provided that it is still the
  // stream's buffer; null otherwise, and for any stream that registered
  // none. Safe on any stream; on one whose storage has no room for the
  // entry's index yet, the stream grows it (or, out of memory, sets badbit,
  // as `pword` does). The index is obtained on first use, never at load
  // time.
  static windowbuf* Find(std::ostream& stream) {
    void* const registered = stream.pword(StreamIndex());
    return registered != nullptr &&
                   static_cast<std::streambuf*>(
                       static_cast<windowbuf*>(registered)) == stream.rdbuf()
               ? static_cast<windowbuf*>(registered)
               : nullptr;
  }

  // The put area, for a writer that keeps the put pointer itself across
  // many small writes (`ChunkStream`): sets `*put` to the put pointer and
  // `*end` to the end of the room after it, and returns true; returns false,
  // setting both to null, when nothing can be written in place (the
  // window's start is not known, or the buffer failed). Until `ReturnPut`,
  // the caller may write bytes from `*put` up to `*end` and must make no
  // other call on this buffer.
  bool TakePutArea(char** put, char** end) {
    if (start_ < 0) {
      *put = *end = nullptr;
      return false;
    }
    *put = pptr();
    *end = epptr();
    return true;
  }
  // Ends the use of the put area: the bytes up to `put`, which lies from
  // the put pointer handed out up to the end of the room, are written.
  void ReturnPut(char* put) { pbump(static_cast<int>(put - pptr())); }
  // The stream position of `put`, a pointer into the put area handed out.
  off_type PositionOf(const char* put) const {
    return start_ + (put - pbase());
  }

  // `pubseekpos(position, out)` and `pubseekoff(0, end, out)` on a put
  // pointer `*put` that `TakePutArea` handed out, when the position lies in
  // the window (for the end: when it is known and lies there): move `*put`
  // and return true, exactly as the virtual call would have moved the
  // buffer's own. Return false, doing nothing, otherwise.
  bool SeekHeld(char** put, off_type position) {
    const std::ptrdiff_t used = NoteFurthest(*put);
    if (position < start_ || position - start_ > used) return false;
    *put = window_ + (position - start_);
    return true;
  }
  bool SeekEndHeld(char** put) {
    if (end_ < 0) return false;
    const std::ptrdiff_t used = NoteFurthest(*put);
    const off_type end =
        used > 0 && start_ + used > end_ ? start_ + used : end_;
    return SeekHeld(put, end);
  }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* data, std::streamsize count) override;
  pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                   std::ios_base::openmode which) override;
  pos_type seekpos(pos_type position, std::ios_base::openmode which) override;
  int sync() override;

 private:
  // The stream storage index under which `Register` records a window.
  static int StreamIndex() {
    static const int index = std::ios_base::xalloc();
    return index;
  }

  // Bytes of the window in use: up to the furthest byte written.
  std::ptrdiff_t Used() {
    if (pptr() - pbase() > used_) used_ = pptr() - pbase();
    return used_;
  }
  // The same for a put pointer handed out by `TakePutArea`: counts the
  // bytes up to `put` as written, and returns the bytes in use.
  std::ptrdiff_t NoteFurthest(const char* put) {
    if (put - window_ > used_) used_ = put - window_;
    return used_;
  }
  // Learns the window's start from the target when it is not known yet,
  // handing the target the window's bytes first; returns whether it is
  // known. Writes call it before their first byte, while the window is
  // still empty, so that nothing is handed over early.
  bool KnowStart();
  // The general case of `xsputn`: a window to start or to hand over first.
  std::streamsize PutSlowly(const char* data, std::streamsize count);
  // Flushes, then seeks the target and starts an empty window where it
  // lands. Returns the new position or -1.
  pos_type SeekTarget(off_type offset, std::ios_base::seekdir direction);
  // Starts an empty window at `start` (-1: unknown).
  void StartWindow(off_type start);

  std::streambuf* target_;
  char* window_ = nullptr;
  std::size_t size_;
  off_type start_ = -1;      // target position of window_[0]; -1 when unknown
  off_type end_ = -1;        // end of the target's data; -1 when unknown
  std::ptrdiff_t used_ = 0;  // furthest byte written, as an offset in window_
  bool failed_ = false;
  bool unpositioned_ = false;  // the target could not tell its position
};

}  // namespace kin

#endif  // KIN_CHUNKFILE_WINDOWBUF_H_
