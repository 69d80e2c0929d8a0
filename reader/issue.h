// Problems found in a KIN file, and the report that collects them.
//
// Every problem is an `Issue`: a stable code (its text, e.g.
// "CHUNK_SIZE_NOT_ALIGNED", never changes meaning), a severity fixed by the
// code, the byte offset of the field found wrong, the chunk path (e.g.
// "SKEL/BONE[0]/BONE[2]", "FRAM[12]", "VOXR" for the container itself), what
// was found, what was expected, and a one-line message built from them.
//
// Errors break a rule of the format: a reader cannot trust the file. Warnings
// mark what the format allows but this project's exporter never writes
// (non-zero string fill, events outside the frame range, NaN or infinite
// pose values): the file reads, but a person should look at it.
#ifndef KIN_READER_ISSUE_H_
#define KIN_READER_ISSUE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kin::reader {

enum class Severity { kError, kWarning };

// The stable codes. Keep the order: `CodeName` and `SeverityOf` index by it.
enum class IssueCode {
  // errors
  kFileTooShort,            // fewer bytes than the 12-byte container header
  kBadContainerTag,         // the file does not start with "VOXR"
  kContainerSizeMismatch,   // container size is not the file length - 8
  kBadFormTag,              // the container's form tag is not "ANIM"
  kChunkHeaderTruncated,    // fewer than 8 bytes left for a chunk header
  kChunkSizeTooSmall,       // size below 4 (no room for the version word)
  kChunkSizeNotAligned,     // size not a multiple of 4
  kChunkOutsideParent,      // size runs past the end of the parent
  kBadVersion,              // version word is not 100
  kUnexpectedChunk,         // a tag that does not belong where it stands
  kChunkOutOfOrder,         // INFO, EVNT, SKEL repeated or after a later one
  kMissingChunk,            // INFO, EVNT or SKEL absent
  kBodyTruncated,           // a field runs past the end of its chunk
  kBodyTrailingBytes,       // bytes left in a chunk after its fields
  kStringOutsideChunk,      // padded-string length negative or past the chunk
  kStringLengthNotAligned,  // padded-string length not a multiple of 4
  kEventCountMismatch,      // EVNT count differs from its entries
  kChildCountMismatch,      // BONE child count differs from its nested BONEs
  kRootBoneCount,           // SKEL does not hold exactly one BONE
  kFrameSizeMismatch,       // FRAM size is not 8 + 28 * bones
  kFrameOffsetMismatch,     // the n-th FRAM does not carry offset n
  kFrameCountMismatch,      // FRAM chunks differ from INFO's frame count
  kReadFailed,              // the bytes could not be read (I/O)
  // warnings
  kStringFillNotZero,  // fill bytes after a text's end are not zero
  kStringOverpadded,   // more than 3 fill bytes after a text
  kEventOutsideRange,  // event offset outside 0 .. frame count - 1
  kNonFiniteValue,     // a pose value is NaN or infinite
  kCount               // not a code: the number of codes
};

inline constexpr size_t kIssueCodeCount =
    static_cast<size_t>(IssueCode::kCount);

// The code's stable text, e.g. "BAD_VERSION". Never null.
const char* CodeName(IssueCode code);
// The severity every issue with this code has.
Severity SeverityOf(IssueCode code);
// "error" or "warning".
const char* SeverityName(Severity severity);

struct Issue {
  IssueCode code = IssueCode::kReadFailed;
  Severity severity = Severity::kError;
  uint64_t offset = 0;   // byte offset of the field found wrong
  std::string path;      // chunk path, e.g. "SKEL/BONE[0]/BONE[2]"
  std::string found;     // what the file holds there, e.g. "21"
  std::string expected;  // what the format asks for, e.g. "a multiple of 4"
  std::string message;   // one line: the problem, found and expected
};

// "CODE severity offset path: message", the line `kin validate` prints.
std::string FormatIssue(const Issue& issue);

// Collects issues with bounded memory: it keeps the first
// `kMaxIssuesPerCode` issues of each code and counts the rest, so that a
// file with millions of bad frames still yields a report of bounded size.
// Counts always cover every issue added.
class Report {
 public:
  static constexpr size_t kMaxIssuesPerCode = 100;

  void Add(const Issue& issue);

  // The kept issues, in the order they were added.
  const std::vector<Issue>& issues() const { return issues_; }
  int64_t errorCount() const { return errors_; }
  int64_t warningCount() const { return warnings_; }
  // Issues counted but not kept.
  int64_t omittedCount() const { return omitted_; }
  // True when no error was added (warnings allowed).
  bool valid() const { return errors_ == 0; }
  // The first error added, or null when there is none.
  const Issue* firstError() const;

 private:
  std::vector<Issue> issues_;
  std::array<size_t, kIssueCodeCount> kept_{};
  int64_t errors_ = 0;
  int64_t warnings_ = 0;
  int64_t omitted_ = 0;
};

}  // namespace kin::reader

#endif  // KIN_READER_ISSUE_H_
