// Properties every reader call must keep on any bytes, shared by the fuzzing
// target and the test that replays its inputs.
//
// On one input: `Validate`, `ReadBytes` and `Summarize` agree on whether the
// file is valid; every issue points inside the file; a model that reads has
// a sound tree (one root first, parents before children), one FRAM per
// frame counted by INFO with offsets 0, 1, 2, ... and one record per bone
// in each. Returns an empty text when all hold, else what broke.
#ifndef KIN_TESTS_READER_READER_INVARIANTS_H_
#define KIN_TESTS_READER_READER_INVARIANTS_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "reader/reader.h"

namespace kin_test {

inline std::string CheckReaderInvariants(const uint8_t* data, size_t size) {
  using namespace kin::reader;
  MemorySource source(data, size);
  const Report report = Validate(source);
  const Summary summary = Summarize(source);
  const Result<Animation> model = ReadBytes(data, size);

  for (const Issue& issue : report.issues()) {
    if (issue.offset > size) {
      return "issue " + FormatIssue(issue) + " points past the end (" +
             std::to_string(size) + " bytes)";
    }
    if (issue.message.empty() || issue.path.empty()) {
      return "issue without message or path: " + FormatIssue(issue);
    }
  }
  if (model.ok() != report.valid()) {
    return std::string("ReadBytes ") + (model.ok() ? "succeeds" : "fails") +
           " but Validate finds " + std::to_string(report.errorCount()) +
           " errors";
  }
  // Values are not read by Summarize; they only ever give warnings.
  if (summary.report.errorCount() != report.errorCount()) {
    return "Summarize finds " + std::to_string(summary.report.errorCount()) +
           " errors, Validate " + std::to_string(report.errorCount());
  }
  if (!model.ok()) {
    const Error& error = model.error();
    if (error.kind != Error::Kind::kInvalid)
      return "memory read gave an I/O error";
    if (error.message.empty() || error.issues.empty()) {
      return "invalid file without message or issues";
    }
    return "";
  }
  const Animation& anim = model.value();
  if (anim.bones.empty() || anim.bones[0].parent != -1)
    return "no root bone first";
  for (size_t k = 1; k < anim.bones.size(); ++k) {
    const int32_t parent = anim.bones[k].parent;
    if (parent < 0 || static_cast<size_t>(parent) >= k) {
      return "bone " + std::to_string(k) + " has parent " +
             std::to_string(parent);
    }
  }
  const size_t expectedFrames =
      static_cast<size_t>(std::max<int32_t>(anim.frameCount, 0));
  if (anim.frames.size() != expectedFrames)
    return "frame count differs from INFO";
  for (size_t n = 0; n < anim.frames.size(); ++n) {
    if (anim.frames[n].offset != static_cast<int32_t>(n))
      return "frame offset wrong";
    if (anim.frames[n].records.size() != anim.bones.size()) {
      return "frame " + std::to_string(n) + " record count differs from bones";
    }
  }
  if (summary.boneCount != static_cast<int64_t>(anim.bones.size()) ||
      summary.eventCount != static_cast<int64_t>(anim.events.size()) ||
      summary.frameChunkCount != static_cast<int64_t>(anim.frames.size()) ||
      !summary.hasInfo || summary.frameCount != anim.frameCount ||
      summary.valueA != anim.valueA || summary.valueB != anim.valueB ||
      summary.name != anim.name.substr(0, kSummaryNameBytes)) {
    return "Summarize differs from the model";
  }
  return "";
}

}  // namespace kin_test

#endif  // KIN_TESTS_READER_READER_INVARIANTS_H_
