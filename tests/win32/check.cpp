#include "tests/win32/check.h"

#include <cstdio>

namespace win32_host {

bool Checks::That(bool ok, const std::string& what, const std::string& detail) {
  if (ok) {
    ++passed_;
    std::printf("  ok   %s\n", what.c_str());
  } else {
    ++failed_;
    std::printf("  FAIL %s\n", what.c_str());
    if (!detail.empty()) std::printf("       %s\n", detail.c_str());
  }
  std::fflush(stdout);
  return ok;
}

bool Checks::Equal(int64_t actual, int64_t expected, const std::string& what) {
  return That(actual == expected, what,
              "expected " + std::to_string(expected) + ", got " +
                  std::to_string(actual));
}

bool Checks::SameBytes(const std::string& actual, const std::string& expected,
                       const std::string& what) {
  if (actual == expected) {
    return That(true, what + " (" + std::to_string(actual.size()) + " bytes)");
  }
  size_t offset = 0;
  while (offset < actual.size() && offset < expected.size() &&
         actual[offset] == expected[offset]) {
    ++offset;
  }
  return That(false, what,
              "expected " + std::to_string(expected.size()) + " bytes, got " +
                  std::to_string(actual.size()) +
                  "; first difference at byte " + std::to_string(offset) +
                  ": expected [" + HexAround(expected, offset) + "], got [" +
                  HexAround(actual, offset) + "]");
}

void Checks::Summary() const {
  std::printf("%d passed, %d failed\n", passed_, failed_);
  std::fflush(stdout);
}

std::string HexAround(const std::string& bytes, size_t offset) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = offset; i < bytes.size() && i < offset + 16; ++i) {
    const unsigned char byte = static_cast<unsigned char>(bytes[i]);
    if (!out.empty()) out += ' ';
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
  }
  return out.empty() ? "end of data" : out;
}

}  // namespace win32_host
