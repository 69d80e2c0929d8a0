// Walker: the container header, the order of the top-level chunks, INFO
// and EVNT, and the checks at the end of the container.

#include <algorithm>

#include "reader/walker.h"

namespace kin::reader::walk {

WalkOutcome Walker::Run() {
  outcome_.fileSize = source_.Size();
  try {
    WalkContainer();
  } catch (const ReadFailure& failure) {
    outcome_.readFailed = true;
    outcome_.readError = failure.message;
    Emit(
        IssueCode::kReadFailed, failure.offset, [] { return "VOXR"; },
        "the bytes could not be read: " + failure.message, "a read error",
        "readable bytes");
  }
  return outcome_;
}

void Walker::WalkContainer() {
  const uint64_t size = outcome_.fileSize;
  const PathFn containerPath = [] { return std::string("VOXR"); };
  if (size < kContainerHeaderBytes) {
    if (size >= 4 && !TagIs(ReadTag(0), kContainerTag)) {
      Emit(IssueCode::kBadContainerTag, 0, containerPath,
           "the file does not start with the container tag", Quoted(ReadTag(0)),
           Quoted(kContainerTag));
      return;
    }
    Emit(IssueCode::kFileTooShort, 0, containerPath,
         "the file is shorter than the container header", Bytes(size),
         "at least 12 bytes");
    return;
  }
  const Tag tag = ReadTag(0);
  if (!TagIs(tag, kContainerTag)) {
    Emit(IssueCode::kBadContainerTag, 0, containerPath,
         "the file does not start with the container tag", Quoted(tag),
         Quoted(kContainerTag));
    return;
  }
  const int32_t declared = I32(4);
  if (static_cast<int64_t>(declared) != static_cast<int64_t>(size - 8)) {
    Emit(IssueCode::kContainerSizeMismatch, 4, containerPath,
         "the container size is not the file length - 8",
         std::to_string(declared), std::to_string(size - 8));
  }
  // Walk the container as far as its size says, but never past the file.
  uint64_t end = size;
  if (declared >= 4 && static_cast<uint64_t>(declared) <= size - 8) {
    end = 8 + static_cast<uint64_t>(declared);
  }
  const Tag form = ReadTag(8);
  if (!TagIs(form, kFormTag)) {
    Emit(IssueCode::kBadFormTag, 8, containerPath,
         "the container's form tag is wrong", Quoted(form), Quoted(kFormTag));
  }
  WalkTopLevel(end);
}

std::string Walker::ExpectedAt(int stage) {
  if (stage < kFrameStage) return Quoted(kStageTags[stage]);
  return "\"FRAM\" or the end of the container";
}

void Walker::WalkTopLevel(uint64_t end) {
  int stage = kInfoStage;
  int32_t frameIndex = 0;
  std::optional<uint64_t> firstExtraFrame;
  uint64_t pos = kContainerHeaderBytes;
  while (pos < end) {
    if (end - pos < kHeaderBytes) {
      Emit(
          IssueCode::kChunkHeaderTruncated, pos, [] { return "VOXR"; },
          "bytes after the last chunk are too few for a chunk header",
          Bytes(end - pos), "a chunk of at least 8 bytes, or nothing");
      return;
    }
    const Tag tag = ReadTag(pos);
    const int tagStage = StageOf(tag);
    const PathFn path = [&] {
      return tagStage == kFrameStage
                 ? "FRAM[" + std::to_string(frameIndex) + "]"
                 : TagName(tag);
    };
    const std::optional<Span> span = ReadHeader(pos, end, path);
    if (!span) return;
    pos = span->bodyEnd;
    if (tagStage < 0) {
      Emit(IssueCode::kUnexpectedChunk, span->tagOffset, path,
           "this chunk does not belong in the container", Quoted(tag),
           ExpectedAt(stage));
      continue;
    }
    if (tagStage < stage) {
      Emit(IssueCode::kChunkOutOfOrder, span->tagOffset, path,
           "this chunk is repeated or comes after a later one", Quoted(tag),
           ExpectedAt(stage));
      continue;
    }
    for (int missing = stage; missing < tagStage; ++missing) {
      Emit(
          IssueCode::kMissingChunk, span->tagOffset,
          [missing] { return std::string(kStageTags[missing]); },
          std::string("the ") + kStageTags[missing] + " chunk is missing",
          Quoted(tag), Quoted(kStageTags[missing]));
    }
    switch (tagStage) {
      case kInfoStage:
        ReadInfo(*span, path);
        stage = kEventStage;
        break;
      case kEventStage:
        ReadEvents(*span, path);
        stage = kSkeletonStage;
        break;
      case kSkeletonStage:
        ReadSkeleton(*span, path);
        stage = kFrameStage;
        break;
      default:
        stage = kFrameStage;
        if (outcome_.infoRead && !firstExtraFrame &&
            frameIndex == std::max(frameCount_, 0)) {
          firstExtraFrame = span->tagOffset;
        }
        ReadFrame(*span, frameIndex, path);
        ++frameIndex;
        outcome_.frameChunkCount = frameIndex;
        break;
    }
  }
  for (int missing = stage; missing < kFrameStage; ++missing) {
    Emit(
        IssueCode::kMissingChunk, end,
        [missing] { return std::string(kStageTags[missing]); },
        std::string("the ") + kStageTags[missing] + " chunk is missing",
        "the end of the container", Quoted(kStageTags[missing]));
  }
  if (outcome_.infoRead) {
    const int32_t expected = std::max(frameCount_, 0);
    if (frameIndex != expected) {
      const bool extra = frameIndex > expected;
      Emit(
          IssueCode::kFrameCountMismatch, extra ? *firstExtraFrame : end,
          [&] {
            return extra ? "FRAM[" + std::to_string(expected) + "]"
                         : std::string("VOXR");
          },
          "the number of FRAM chunks differs from INFO's frame count",
          std::to_string(frameIndex) + " FRAM chunks",
          std::to_string(expected) + " (INFO's frame count is " +
              std::to_string(frameCount_) + ")");
    }
  }
}

void Walker::ReadInfo(const Span& span, const PathFn& path) {
  if (!CheckVersion(span, path)) return;
  Cursor cursor{span.bodyBegin + 4, span.bodyEnd};
  InfoFields info;
  int32_t valueA = 0;
  int32_t valueB = 0;
  if (!TakeString(cursor, path, "animation name", &info.name) ||
      !TakeI32(cursor, path, "frame count", &info.frameCount) ||
      !TakeI32(cursor, path, "first opaque word", &valueA) ||
      !TakeI32(cursor, path, "second opaque word", &valueB)) {
    return;
  }
  info.valueA = static_cast<uint32_t>(valueA);
  info.valueB = static_cast<uint32_t>(valueB);
  if (cursor.left() > 0) {
    Emit(IssueCode::kBodyTrailingBytes, cursor.pos, path,
         "bytes follow the last field of the chunk", Bytes(cursor.left()),
         "none after the second opaque word");
  }
  outcome_.infoRead = true;
  frameCount_ = info.frameCount;
  visitor_.OnInfo(info);
}

void Walker::ReadEvents(const Span& span, const PathFn& path) {
  if (!CheckVersion(span, path)) return;
  Cursor cursor{span.bodyBegin + 4, span.bodyEnd};
  const uint64_t countOffset = cursor.pos;
  int32_t declared = 0;
  if (!TakeI32(cursor, path, "event count", &declared)) return;
  int32_t count = 0;
  bool countable = true;
  while (cursor.left() > 0) {
    const PathFn entryPath = [&] {
      return "EVNT/event[" + std::to_string(count) + "]";
    };
    if (cursor.left() < 12) {
      if (count >= declared) {
        Emit(IssueCode::kBodyTrailingBytes, cursor.pos, path,
             "bytes follow the last event entry", Bytes(cursor.left()),
             "none after the " + std::to_string(count) + " entries");
      } else {
        Emit(IssueCode::kBodyTruncated, cursor.pos, entryPath,
             "the event entry runs past the end of the chunk",
             Bytes(cursor.left()) + " left", "at least 12 bytes");
        countable = false;
      }
      break;
    }
    const uint64_t entryOffset = cursor.pos;
    Event event;
    event.offset = I32(cursor.pos);
    event.value = U32(cursor.pos + 4);
    cursor.pos += 8;
    if (!TakeString(cursor, entryPath, "event name", &event.name)) {
      countable = false;
      break;
    }
    if (outcome_.infoRead &&
        (event.offset < 0 || event.offset >= frameCount_)) {
      Emit(IssueCode::kEventOutsideRange, entryOffset, entryPath,
           "the event lies outside the animation's frames",
           std::to_string(event.offset),
           frameCount_ > 0
               ? "0 to " + std::to_string(frameCount_ - 1)
               : std::string("no events (the frame range is empty)"));
    }
    visitor_.OnEvent(count, event);
    ++count;
    outcome_.eventCount = count;
  }
  if (countable && count != declared) {
    Emit(IssueCode::kEventCountMismatch, countOffset, path,
         "the event count differs from the entries in the chunk",
         std::to_string(declared),
         std::to_string(count) + " (the entries the chunk holds)");
  }
}

}  // namespace kin::reader::walk

namespace kin::reader {

WalkOutcome WalkFile(ByteSource& source, WalkVisitor& visitor,
                     const WalkOptions& options) {
  return walk::Walker(source, visitor, options).Run();
}

}  // namespace kin::reader
