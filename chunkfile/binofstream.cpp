#include "chunkfile/binofstream.h"

#include <cstring>
#include <new>

namespace kin {

binofstream::binofstream(const char* fileName) {
  if (fileName == nullptr) {
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

binofstream::~binofstream() { delete[] fileName_; }

}  // namespace kin
