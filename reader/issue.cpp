#include "reader/issue.h"

namespace kin::reader {
namespace {

struct CodeInfo {
  const char* name;
  Severity severity;
};

constexpr CodeInfo kCodes[kIssueCodeCount] = {
    {"FILE_TOO_SHORT", Severity::kError},
    {"BAD_CONTAINER_TAG", Severity::kError},
    {"CONTAINER_SIZE_MISMATCH", Severity::kError},
    {"BAD_FORM_TAG", Severity::kError},
    {"CHUNK_HEADER_TRUNCATED", Severity::kError},
    {"CHUNK_SIZE_TOO_SMALL", Severity::kError},
    {"CHUNK_SIZE_NOT_ALIGNED", Severity::kError},
    {"CHUNK_OUTSIDE_PARENT", Severity::kError},
    {"BAD_VERSION", Severity::kError},
    {"UNEXPECTED_CHUNK", Severity::kError},
    {"CHUNK_OUT_OF_ORDER", Severity::kError},
    {"MISSING_CHUNK", Severity::kError},
    {"BODY_TRUNCATED", Severity::kError},
    {"BODY_TRAILING_BYTES", Severity::kError},
    {"STRING_OUTSIDE_CHUNK", Severity::kError},
    {"STRING_LENGTH_NOT_ALIGNED", Severity::kError},
    {"EVENT_COUNT_MISMATCH", Severity::kError},
    {"CHILD_COUNT_MISMATCH", Severity::kError},
    {"ROOT_BONE_COUNT", Severity::kError},
    {"FRAME_SIZE_MISMATCH", Severity::kError},
    {"FRAME_OFFSET_MISMATCH", Severity::kError},
    {"FRAME_COUNT_MISMATCH", Severity::kError},
    {"READ_FAILED", Severity::kError},
    {"STRING_FILL_NOT_ZERO", Severity::kWarning},
    {"STRING_OVERPADDED", Severity::kWarning},
    {"EVENT_OUTSIDE_RANGE", Severity::kWarning},
    {"NON_FINITE_VALUE", Severity::kWarning},
};

size_t IndexOf(IssueCode code) {
  const size_t index = static_cast<size_t>(code);
  return index < kIssueCodeCount ? index
                                 : static_cast<size_t>(IssueCode::kReadFailed);
}

}  // namespace

const char* CodeName(IssueCode code) { return kCodes[IndexOf(code)].name; }

Severity SeverityOf(IssueCode code) { return kCodes[IndexOf(code)].severity; }

const char* SeverityName(Severity severity) {
  return severity == Severity::kError ? "error" : "warning";
}

std::string FormatIssue(const Issue& issue) {
  return std::string(CodeName(issue.code)) + " " +
         SeverityName(issue.severity) + " " + std::to_string(issue.offset) +
         " " + issue.path + ": " + issue.message;
}

void Report::Add(const Issue& issue) {
  if (issue.severity == Severity::kError) {
    ++errors_;
  } else {
    ++warnings_;
  }
  size_t& kept = kept_[IndexOf(issue.code)];
  if (kept >= kMaxIssuesPerCode) {
    ++omitted_;
    return;
  }
  ++kept;
  issues_.push_back(issue);
}

const Issue* Report::firstError() const {
  for (const Issue& issue : issues_) {
    if (issue.severity == Severity::kError) return &issue;
  }
  return nullptr;
}

}  // namespace kin::reader
