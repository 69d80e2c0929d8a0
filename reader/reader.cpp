#include "reader/reader.h"

#include <memory>
#include <utility>

namespace kin::reader {
namespace {

// Builds the whole model from the walk.
class ModelBuilder : public WalkVisitor {
 public:
  void OnInfo(const InfoFields& info) override {
    animation.name = info.name;
    animation.frameCount = info.frameCount;
    animation.valueA = info.valueA;
    animation.valueB = info.valueB;
  }
  void OnEvent(int32_t, const Event& event) override {
    animation.events.push_back(event);
  }
  void OnBone(const BoneFields& bone) override {
    animation.bones.push_back(Bone{bone.name, bone.parent});
  }
  void OnFrame(int32_t, int32_t offset) override {
    animation.frames.push_back(Frame{offset, {}});
  }
  void OnRecord(int32_t, int32_t, const Record& record) override {
    if (!animation.frames.empty())
      animation.frames.back().records.push_back(record);
  }
  void OnIssue(const Issue& issue) override { report.Add(issue); }

  Animation animation;
  Report report;
};

// Collects the problems only.
class ReportCollector : public WalkVisitor {
 public:
  void OnIssue(const Issue& issue) override { report.Add(issue); }
  Report report;
};

class SummaryBuilder : public WalkVisitor {
 public:
  void OnInfo(const InfoFields& info) override {
    summary.hasInfo = true;
    summary.name = info.name;
    summary.frameCount = info.frameCount;
    summary.valueA = info.valueA;
    summary.valueB = info.valueB;
  }
  void OnIssue(const Issue& issue) override { summary.report.Add(issue); }
  Summary summary;
};

Error IoError(const std::string& label, const WalkOutcome& outcome) {
  return Error{Error::Kind::kIo, label + ": " + outcome.readError, {}};
}

}  // namespace

Result<Animation> ReadSource(ByteSource& source, const std::string& label) {
  ModelBuilder builder;
  const WalkOutcome outcome = WalkFile(source, builder);
  if (outcome.readFailed) return IoError(label, outcome);
  if (const Issue* first = builder.report.firstError()) {
    std::string message = label + ": offset " + std::to_string(first->offset) +
                          ", " + first->path + ": " + first->message;
    const int64_t more = builder.report.errorCount() - 1;
    if (more > 0) {
      message += " (and " + std::to_string(more) + " more error" +
                 (more == 1 ? ")" : "s)");
    }
    return Error{Error::Kind::kInvalid, std::move(message),
                 builder.report.issues()};
  }
  return std::move(builder.animation);
}

Result<Animation> ReadBytes(const void* data, size_t size,
                            const std::string& label) {
  MemorySource source(data, size);
  return ReadSource(source, label);
}

Result<Animation> ReadFile(const std::string& path) {
  Result<std::unique_ptr<FileSource>> source = FileSource::Open(path);
  if (!source) return source.error();
  return ReadSource(*source.value(), path);
}

Report Validate(ByteSource& source) {
  ReportCollector collector;
  WalkOptions options;
  options.maxNameBytes = 0;
  WalkFile(source, collector, options);
  return std::move(collector.report);
}

Result<Report> ValidateFile(const std::string& path) {
  Result<std::unique_ptr<FileSource>> source = FileSource::Open(path);
  if (!source) return source.error();
  ReportCollector collector;
  WalkOptions options;
  options.maxNameBytes = 0;
  const WalkOutcome outcome = WalkFile(*source.value(), collector, options);
  if (outcome.readFailed) return IoError(path, outcome);
  return std::move(collector.report);
}

namespace {

Summary SummarizeWith(ByteSource& source, WalkOutcome* outcome) {
  SummaryBuilder builder;
  WalkOptions options;
  options.readRecords = false;
  options.maxNameBytes = kSummaryNameBytes;
  *outcome = WalkFile(source, builder, options);
  builder.summary.fileSize = outcome->fileSize;
  builder.summary.eventCount = outcome->eventCount;
  builder.summary.boneCount = outcome->boneCount;
  builder.summary.frameChunkCount = outcome->frameChunkCount;
  return std::move(builder.summary);
}

}  // namespace

Summary Summarize(ByteSource& source) {
  WalkOutcome outcome;
  return SummarizeWith(source, &outcome);
}

Result<Summary> SummarizeFile(const std::string& path) {
  Result<std::unique_ptr<FileSource>> source = FileSource::Open(path);
  if (!source) return source.error();
  WalkOutcome outcome;
  Summary summary = SummarizeWith(*source.value(), &outcome);
  if (outcome.readFailed) return IoError(path, outcome);
  return summary;
}

}  // namespace kin::reader
