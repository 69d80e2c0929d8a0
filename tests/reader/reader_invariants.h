// Properties every reader call must keep on any bytes, shared by the fuzzing
// target and the test that replays its inputs.
//
// On one input: `Validate`, `ReadBytes` and `Summarize` agree on whether the
// file is valid; every issue points inside the file; a model that reads has
// a sound tree (one root first, parents before children), one FRAM per
// frame counted by INFO with offsets 0, 1, 2, ... and one record per bone
// in each, and that writes back (through tests/support/kin_bytes.h) into a
// file that reads to the same model. Returns an empty text when all hold,
// else what broke.
#ifndef KIN_TESTS_READER_READER_INVARIANTS_H_
#define KIN_TESTS_READER_READER_INVARIANTS_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "reader/reader.h"
#include "tests/support/kin_bytes.h"

namespace kin_test {

// The model written back as the bytes of a file, by the independent
// builder. The bones' parents (each before its children) give the tree.
inline std::string Reencode(const kin::reader::Animation& anim) {
  std::vector<std::vector<size_t>> children(anim.bones.size());
  for (size_t k = 1; k < anim.bones.size(); ++k) {
    children[static_cast<size_t>(anim.bones[k].parent)].push_back(k);
  }
  std::function<kin_bytes::BoneNode(size_t)> node = [&](size_t k) {
    kin_bytes::BoneNode out{anim.bones[k].name, {}};
    for (size_t child : children[k]) out.children.push_back(node(child));
    return out;
  };
  std::vector<kin_bytes::Event> events;
  for (const auto& e : anim.events)
    events.push_back({e.offset, e.value, e.name});
  std::vector<std::string> chunks = {
      kin_bytes::Info(anim.name, anim.frameCount, anim.valueA, anim.valueB),
      kin_bytes::Events(events), kin_bytes::Skeleton(node(0))};
  for (const auto& frame : anim.frames) {
    std::vector<kin_bytes::Record> records(frame.records.size());
    for (size_t k = 0; k < records.size(); ++k) {
      std::memcpy(records[k].bits, frame.records[k].data(),
                  sizeof records[k].bits);
    }
    chunks.push_back(kin_bytes::Frame(frame.offset, records));
  }
  return kin_bytes::File(chunks);
}

inline bool SameModel(const kin::reader::Animation& a,
                      const kin::reader::Animation& b) {
  if (a.name != b.name || a.frameCount != b.frameCount ||
      a.valueA != b.valueA || a.valueB != b.valueB ||
      a.events.size() != b.events.size() || a.bones.size() != b.bones.size() ||
      a.frames.size() != b.frames.size()) {
    return false;
  }
  for (size_t i = 0; i < a.events.size(); ++i) {
    if (a.events[i].offset != b.events[i].offset ||
        a.events[i].value != b.events[i].value ||
        a.events[i].name != b.events[i].name) {
      return false;
    }
  }
  for (size_t k = 0; k < a.bones.size(); ++k) {
    if (a.bones[k].name != b.bones[k].name ||
        a.bones[k].parent != b.bones[k].parent) {
      return false;
    }
  }
  for (size_t n = 0; n < a.frames.size(); ++n) {
    const auto& ra = a.frames[n].records;
    const auto& rb = b.frames[n].records;
    if (a.frames[n].offset != b.frames[n].offset || ra.size() != rb.size())
      return false;
    if (!ra.empty() &&
        std::memcmp(ra.data(), rb.data(), ra.size() * sizeof ra[0]) != 0) {
      return false;
    }
  }
  return true;
}

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
  const std::string again = Reencode(anim);
  const Result<Animation> reread = ReadBytes(again.data(), again.size());
  if (!reread.ok())
    return "the model written back does not read: " + reread.error().message;
  if (!SameModel(anim, reread.value()))
    return "the model written back reads differently";
  return "";
}

}  // namespace kin_test

#endif  // KIN_TESTS_READER_READER_INVARIANTS_H_
