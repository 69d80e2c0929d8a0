// Results of the reader: a value or an error a person can act on.
//
// `Result<T>` holds either the value a call produced or an `Error` saying
// what failed. An error is of one of two kinds: the bytes could not be read
// at all (`kIo`: missing file, directory, read failure), or they were read
// and break the file format (`kInvalid`, with every problem found).
#ifndef KIN_READER_RESULT_H_
#define KIN_READER_RESULT_H_

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "reader/issue.h"

namespace kin::reader {

struct Error {
  enum class Kind { kIo, kInvalid };
  Kind kind = Kind::kIo;
  // One line: what failed and where, e.g.
  // "walk.kin: offset 16, INFO: chunk size is not a multiple of 4 (...)".
  std::string message;
  // For `kInvalid`: the problems found, in the order they were found (at
  // most `Report::kMaxIssuesPerCode` of each code). Empty for `kIo`.
  std::vector<Issue> issues;
};

template <typename T>
class Result {
 public:
  Result(T value) : state_(std::move(value)) {}      // NOLINT: implicit
  Result(Error error) : state_(std::move(error)) {}  // NOLINT: implicit

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  // The value; only when `ok()` (otherwise throws std::bad_variant_access).
  const T& value() const& { return std::get<0>(state_); }
  T& value() & { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }

  // The error; only when `!ok()` (otherwise throws std::bad_variant_access).
  const Error& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, Error> state_;
};

}  // namespace kin::reader

#endif  // KIN_READER_RESULT_H_
