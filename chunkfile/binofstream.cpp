#include "chunkfile/binofstream.h"

#include <cstring>
#include <new>

namespace kin {

binofstream::binofstream(const char* fileName, std::size_t windowSize)
    : window_(std::ofstream::rdbuf(), windowSize) {
  // Every write, seek and position query of the stream now goes through the
  // window; the file buffer stays the ofstream's own, opened and closed by
  // it. (Installing a buffer clears the state, so this comes first.)
  std::ios::rdbuf(&window_);
  // Lets the chunk primitives serve the common writes and seeks from the
  // window directly. Only a stream without memory for the entry refuses,
  // and it is then bad.
  if (!windowbuf::Register(*this, &window_) || fileName == nullptr ||
      !window_.ok()) {
    setstate(std::ios::failbit);
    return;
  }
  open(fileName, std::ios::out | std::ios::binary | std::ios::trunc);
  const size_t length = std::strlen(fileName);
  fileName_ = new (std::nothrow) char[length + 1];
  if (fileName_ == nullptr) {
    setstate(std::ios::failbit);
    return;
  }
  std::memcpy(fileName_, fileName, length + 1);
}

binofstream::~binofstream() {
  delete[] fileName_;
  fileName_ = nullptr;
  if (is_open()) window_.Flush();
  // The window is destroyed before the file stream: leave nothing pointing
  // at it.
  windowbuf::Register(*this, nullptr);
  std::ios::rdbuf(std::ofstream::rdbuf());
}

void binofstream::close() {
  const bool flushed = !is_open() || window_.Flush();
  std::ofstream::close();
  window_.Reset();
  if (!flushed) setstate(std::ios::badbit);
}

}  // namespace kin
