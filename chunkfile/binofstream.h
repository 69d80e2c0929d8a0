// The binary output file stream that every KIN writer writes through.
//
// `binofstream` is an `std::ofstream` opened for binary output that truncates
// an existing file. It keeps its own heap copy of the file name for as long
// as it lives. Construction reports nothing: test the stream's failed state
// straight after constructing it.
#ifndef KIN_CHUNKFILE_BINOFSTREAM_H_
#define KIN_CHUNKFILE_BINOFSTREAM_H_

#include <fstream>

namespace kin {

class binofstream : public std::ofstream {
 public:
  // Opens `fileName` for binary output, truncating it. On failure (including
  // a null name or no memory for the name copy) the stream is left failed.
  explicit binofstream(const char* fileName);
  binofstream(const binofstream&) = delete;
  binofstream& operator=(const binofstream&) = delete;
  // Releases the name copy, then closes the file if it is still open.
  ~binofstream() override;

  // The name the stream was opened with; never null.
  const char* fileName() const { return fileName_ != nullptr ? fileName_ : ""; }

 private:
  char* fileName_ = nullptr;
};

}  // namespace kin

#endif  // KIN_CHUNKFILE_BINOFSTREAM_H_
