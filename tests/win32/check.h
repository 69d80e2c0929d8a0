// A small check harness for the Windows host, which runs without GoogleTest.
//
// Each check prints one "ok" or "FAIL" line with what it checked; a failure
// also says what was expected and what came back. `Summary` prints the
// closing "N passed, N failed" line. Single-threaded: one harness per run.
#ifndef KIN_TESTS_WIN32_CHECK_H_
#define KIN_TESTS_WIN32_CHECK_H_

#include <cstdint>
#include <string>

namespace win32_host {

class Checks {
 public:
  // Records one check; returns `ok` so that a caller can stop early.
  bool That(bool ok, const std::string& what, const std::string& detail = "");

  // Checks that two integers are equal.
  bool Equal(int64_t actual, int64_t expected, const std::string& what);

  // Checks that `actual` holds exactly the bytes of `expected`. A mismatch
  // reports both lengths, the first differing offset and the bytes around it.
  bool SameBytes(const std::string& actual, const std::string& expected,
                 const std::string& what);

  // Prints "<passed> passed, <failed> failed".
  void Summary() const;

  int failed() const { return failed_; }

 private:
  int passed_ = 0;
  int failed_ = 0;
};

// The bytes from `offset` (up to 16 of them) as hex, for messages.
std::string HexAround(const std::string& bytes, size_t offset);

}  // namespace win32_host

#endif  // KIN_TESTS_WIN32_CHECK_H_
