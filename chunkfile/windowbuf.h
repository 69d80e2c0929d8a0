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
#ifndef KIN_CHUNKFILE_WINDOWBUF_H_
#define KIN_CHUNKFILE_WINDOWBUF_H_

#include <cstddef>
#include <streambuf>

namespace kin {

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

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* data, std::streamsize count) override;
  pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                   std::ios_base::openmode which) override;
  pos_type seekpos(pos_type position, std::ios_base::openmode which) override;
  int sync() override;

 private:
  // Bytes of the window in use: up to the furthest byte written.
  std::ptrdiff_t Used();
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
