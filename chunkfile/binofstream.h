// The binary output file stream that every KIN writer writes through.
//
// `binofstream` is an `std::ofstream` opened for binary output that truncates
// an existing file. It keeps its own heap copy of the file name for as long
// as it lives. Construction reports nothing: test the stream's failed state
// straight after constructing it.
//
// Writes go through a `windowbuf` installed in front of the file's own
// buffer, which keeps the most recent bytes (up to the window size) in
// memory: the position queries and the seeks back that patch chunk sizes
// are served from there without a system call, and `tellp` still reports
// true file offsets. The window is registered in the stream
// (`windowbuf::Register`), so that the chunk primitives reach it without a
// virtual call while it is the stream's buffer. Close the stream with
// `binofstream::close` (or let the destructor do it): `std::ofstream::close`,
// called through a base-class reference, would close the file before the window
// reached it.
#ifndef KIN_CHUNKFILE_BINOFSTREAM_H_
#define KIN_CHUNKFILE_BINOFSTREAM_H_

#include <cstddef>
#include <fstream>

#include "chunkfile/windowbuf.h"

namespace kin {

class binofstream : public std::ofstream {
 public:
  // Holds the skeleton chunk and dozens of frames of a 1,000-bone skeleton,
  // so that a seek outside the window (three system calls) comes about once
  // per megabyte written; a fixed cost, whatever the number of frames.
  static constexpr std::size_t kDefaultWindowSize = std::size_t{1} << 20;

  // Opens `fileName` for binary output, truncating it, with a window of
  // `windowSize` bytes (clamped to at least 1). On failure (a null name, or
  // no memory for the window or the name copy) the stream is left failed;
  // when the window cannot be allocated the file is not opened.
  explicit binofstream(const char* fileName,
                       std::size_t windowSize = kDefaultWindowSize);
  binofstream(const binofstream&) = delete;
  binofstream& operator=(const binofstream&) = delete;
  // Releases the name copy, then hands the window to the file and closes it
  // if it is still open. Failures there go unreported: call `close` first to
  // learn of them.
  ~binofstream() override;

  // Hides `std::ofstream::close`: hands the window's bytes to the file,
  // then closes it. When either step fails the stream is left failed
  // (badbit when the window could not be written, failbit when the file
  // could not be flushed or closed), which is how a write failure that
  // surfaces only at the end is seen.
  void close();

  // The name the stream was opened with; never null.
  const char* fileName() const { return fileName_ != nullptr ? fileName_ : ""; }

 private:
  windowbuf window_;
  char* fileName_ = nullptr;
};

}  // namespace kin

#endif  // KIN_CHUNKFILE_BINOFSTREAM_H_
