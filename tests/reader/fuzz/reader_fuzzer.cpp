// libFuzzer target for the reader: every input must keep the properties of
// reader_invariants.h, and no input may crash, hang or read out of bounds
// (the sanitizers catch those). Built with -DKIN_FUZZ=ON and clang++.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/reader/reader_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string broken = kin_test::CheckReaderInvariants(data, size);
  if (!broken.empty()) {
    std::fprintf(stderr, "reader invariant broken: %s\n", broken.c_str());
    std::abort();
  }
  return 0;
}
