#include "reader/chunk_walker.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "chunkfile/format.h"

namespace kin::reader {
namespace {

// Thrown by `Walker::Fetch` when the source cannot deliver bytes; caught in
// `Walker::Run`, so it never leaves this file.
struct ReadFailure {
  uint64_t offset;
  std::string message;
};

using Tag = std::array<unsigned char, 4>;
using PathFn = std::function<std::string()>;

constexpr uint64_t kRecordBytes = 4 * kRealsPerBoneRecord;
constexpr uint64_t kHeaderBytes = 8;
constexpr uint64_t kContainerHeaderBytes = 12;

// The stages of the container, in the order its chunks must come.
enum Stage { kInfoStage, kEventStage, kSkeletonStage, kFrameStage };
constexpr const char* kStageTags[] = {kInfoTag, kEventTag, kSkeletonTag,
                                      kFrameTag};

bool TagIs(const Tag& tag, const char (&text)[5]) {
  return std::memcmp(tag.data(), text, 4) == 0;
}

// The stage a top-level tag belongs to, or -1 for any other tag.
int StageOf(const Tag& tag) {
  for (int stage = kInfoStage; stage <= kFrameStage; ++stage) {
    if (std::memcmp(tag.data(), kStageTags[stage], 4) == 0) return stage;
  }
  return -1;
}

// The tag's letters when they are printable, with \xNN for any other byte.
std::string TagName(const Tag& tag) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char byte : tag) {
    if (byte > 0x20 && byte < 0x7f && byte != '\\' && byte != '"') {
      out += static_cast<char>(byte);
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  return out;
}

std::string Quoted(const Tag& tag) { return "\"" + TagName(tag) + "\""; }
std::string Quoted(const char* text) { return std::string("\"") + text + "\""; }

std::string Bytes(uint64_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

std::string Hex32(uint32_t bits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", bits);
  return text;
}

// A chunk's header, checked against its parent.
struct Span {
  uint64_t tagOffset;
  Tag tag;
  int32_t size;
  uint64_t bodyBegin;
  uint64_t bodyEnd;
  bool hasVersion;  // the body has room for the version word
};

// Fields inside a chunk body, read front to back.
struct Cursor {
  uint64_t pos;
  uint64_t end;
  uint64_t left() const { return end - pos; }
};

class Walker {
 public:
  Walker(ByteSource& source, WalkVisitor& visitor, const WalkOptions& options)
      : source_(source), visitor_(visitor), options_(options) {}

  WalkOutcome Run() {
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

 private:
  // ---- reading ----------------------------------------------------------

  void Fetch(uint64_t offset, void* out, size_t length) {
    if (!source_.Read(offset, out, length)) {
      throw ReadFailure{offset, source_.ErrorText()};
    }
  }
  uint32_t U32(uint64_t offset) {
    unsigned char bytes[4];
    Fetch(offset, bytes, 4);
    return static_cast<uint32_t>(bytes[0]) |
           static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 |
           static_cast<uint32_t>(bytes[3]) << 24;
  }
  int32_t I32(uint64_t offset) {
    const uint32_t bits = U32(offset);
    int32_t value;
    std::memcpy(&value, &bits, 4);
    return value;
  }
  Tag ReadTag(uint64_t offset) {
    Tag tag;
    Fetch(offset, tag.data(), 4);
    return tag;
  }

  // ---- reporting --------------------------------------------------------

  void Emit(IssueCode code, uint64_t offset, const PathFn& path,
            const std::string& what, const std::string& found,
            const std::string& expected) {
    Issue issue;
    issue.code = code;
    issue.severity = SeverityOf(code);
    issue.offset = offset;
    issue.path = path();
    issue.found = found;
    issue.expected = expected;
    issue.message = what + " (found " + found + ", expected " + expected + ")";
    visitor_.OnIssue(issue);
  }

  // ---- framing ----------------------------------------------------------

  // Reads the header of the chunk at `pos` and checks its size against the
  // parent, which ends at `parentEnd` (with at least 8 bytes left). Returns
  // nothing when the size makes the rest of the parent unknowable.
  std::optional<Span> ReadHeader(uint64_t pos, uint64_t parentEnd,
                                 const PathFn& path) {
    Span span;
    span.tagOffset = pos;
    span.tag = ReadTag(pos);
    span.size = I32(pos + 4);
    const uint64_t available = parentEnd - pos - kHeaderBytes;
    if (span.size < 0) {
      Emit(IssueCode::kChunkSizeTooSmall, pos + 4, path,
           "chunk size is negative", std::to_string(span.size), "at least 4");
      return std::nullopt;
    }
    if (static_cast<uint64_t>(span.size) > available) {
      Emit(IssueCode::kChunkOutsideParent, pos + 4, path,
           "chunk runs past the end of its parent", std::to_string(span.size),
           "at most " + std::to_string(available) +
               " (the bytes left in the parent)");
      return std::nullopt;
    }
    if (span.size % 4 != 0) {
      Emit(IssueCode::kChunkSizeNotAligned, pos + 4, path,
           "chunk size is not a multiple of 4", std::to_string(span.size),
           "a multiple of 4");
    }
    span.hasVersion = span.size >= 4;
    if (!span.hasVersion) {
      Emit(IssueCode::kChunkSizeTooSmall, pos + 4, path,
           "chunk has no room for its version word", std::to_string(span.size),
           "at least 4");
    }
    span.bodyBegin = pos + kHeaderBytes;
    span.bodyEnd = span.bodyBegin + static_cast<uint64_t>(span.size);
    return span;
  }

  // Checks the version word; returns false when the body has none.
  bool CheckVersion(const Span& span, const PathFn& path) {
    if (!span.hasVersion) return false;
    const int32_t version = I32(span.bodyBegin);
    if (version != ChunkVersion) {
      Emit(IssueCode::kBadVersion, span.bodyBegin, path,
           "chunk version word is wrong", std::to_string(version),
           std::to_string(ChunkVersion));
    }
    return true;
  }

  bool TakeI32(Cursor& cursor, const PathFn& path, const char* field,
               int32_t* out) {
    if (cursor.left() < 4) {
      Emit(IssueCode::kBodyTruncated, cursor.pos, path,
           std::string("the ") + field + " runs past the end of the chunk",
           Bytes(cursor.left()) + " left", "4 bytes");
      return false;
    }
    *out = I32(cursor.pos);
    cursor.pos += 4;
    return true;
  }

  // Reads a padded string: checks its length field, ends the text at the
  // first zero byte, checks the fill, and keeps at most
  // `options_.maxNameBytes` bytes of the text.
  bool TakeString(Cursor& cursor, const PathFn& path, const char* field,
                  std::string* out) {
    if (cursor.left() < 4) {
      Emit(IssueCode::kBodyTruncated, cursor.pos, path,
           std::string("the length of the ") + field +
               " runs past the end of the chunk",
           Bytes(cursor.left()) + " left", "4 bytes");
      return false;
    }
    const uint64_t lengthOffset = cursor.pos;
    const int32_t padded = I32(cursor.pos);
    cursor.pos += 4;
    if (padded < 0 || static_cast<uint64_t>(padded) > cursor.left()) {
      Emit(IssueCode::kStringOutsideChunk, lengthOffset, path,
           std::string("the ") + field + " runs past the end of the chunk",
           std::to_string(padded),
           "0 to " + std::to_string(cursor.left()) +
               " (the bytes left in the chunk)");
      return false;
    }
    if (padded % 4 != 0) {
      Emit(
          IssueCode::kStringLengthNotAligned, lengthOffset, path,
          std::string("the length of the ") + field + " is not a multiple of 4",
          std::to_string(padded), "a multiple of 4");
    }
    out->clear();
    const uint64_t length = static_cast<uint64_t>(padded);
    uint64_t textLength = length;  // up to the first zero byte
    std::optional<uint64_t> badFill;
    unsigned char badFillByte = 0;
    unsigned char block[4096];
    for (uint64_t done = 0; done < length;) {
      const size_t step =
          static_cast<size_t>(std::min<uint64_t>(sizeof block, length - done));
      Fetch(cursor.pos + done, block, step);
      for (size_t i = 0; i < step; ++i) {
        const uint64_t at = done + i;
        if (textLength == length) {
          if (block[i] == 0) {
            textLength = at;
          } else if (out->size() < options_.maxNameBytes) {
            out->push_back(static_cast<char>(block[i]));
          }
        } else if (block[i] != 0 && !badFill) {
          badFill = cursor.pos + at;
          badFillByte = block[i];
        }
      }
      done += step;
    }
    if (badFill) {
      char found[8];
      std::snprintf(found, sizeof found, "0x%02x", badFillByte);
      Emit(IssueCode::kStringFillNotZero, *badFill, path,
           std::string("the fill after the ") + field + " is not zero", found,
           "0x00");
    }
    const uint64_t needed = (textLength + 3) / 4 * 4;
    if (length > needed) {
      Emit(IssueCode::kStringOverpadded, lengthOffset, path,
           std::string("the ") + field + " has more than 3 fill bytes",
           std::to_string(length),
           std::to_string(needed) + " for a text of " + Bytes(textLength));
    }
    cursor.pos += length;
    return true;
  }

  // ---- the container ----------------------------------------------------

  void WalkContainer() {
    const uint64_t size = outcome_.fileSize;
    const PathFn containerPath = [] { return std::string("VOXR"); };
    if (size < kContainerHeaderBytes) {
      if (size >= 4 && !TagIs(ReadTag(0), kContainerTag)) {
        Emit(IssueCode::kBadContainerTag, 0, containerPath,
             "the file does not start with the container tag",
             Quoted(ReadTag(0)), Quoted(kContainerTag));
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

  static std::string ExpectedAt(int stage) {
    if (stage < kFrameStage) return Quoted(kStageTags[stage]);
    return "\"FRAM\" or the end of the container";
  }

  void WalkTopLevel(uint64_t end) {
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

  // ---- INFO and EVNT ----------------------------------------------------

  void ReadInfo(const Span& span, const PathFn& path) {
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

  void ReadEvents(const Span& span, const PathFn& path) {
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

  // ---- SKEL and BONE ----------------------------------------------------

  // One open BONE chunk while its children are read.
  struct Level {
    uint64_t pos;          // the next child chunk
    uint64_t end;          // the end of this bone's body
    int32_t declared;      // its child count field
    int32_t seen;          // BONE chunks met so far
    int32_t index;         // this bone's index
    int32_t childIndex;    // its place among its parent's children
    uint64_t countOffset;  // offset of the child count field
  };

  // The path of the bone at `stack[levels - 1]`, then `tail`. Deep trees
  // show their first and last levels only.
  static std::string BonePath(const std::vector<Level>& stack, size_t levels,
                              const std::string& tail) {
    constexpr size_t kHead = 8;
    constexpr size_t kTail = 16;
    std::string out = "SKEL";
    for (size_t i = 0; i < levels; ++i) {
      if (levels > kHead + kTail && i == kHead) {
        out += "/...(" + std::to_string(levels - kHead - kTail) + " levels)...";
        i = levels - kTail - 1;
        continue;
      }
      out += "/BONE[" + std::to_string(stack[i].childIndex) + "]";
    }
    return out + tail;
  }

  void ReadSkeleton(const Span& span, const PathFn& path) {
    if (!CheckVersion(span, path)) return;
    uint64_t pos = span.bodyBegin + 4;
    int32_t roots = 0;
    bool framingBroken = false;
    bool treeWhole = false;
    uint64_t secondRoot = 0;
    while (pos < span.bodyEnd) {
      if (span.bodyEnd - pos < kHeaderBytes) {
        Emit(IssueCode::kChunkHeaderTruncated, pos, path,
             "bytes after the root bone are too few for a chunk header",
             Bytes(span.bodyEnd - pos),
             "a chunk of at least 8 bytes, or nothing");
        framingBroken = true;
        break;
      }
      const Tag tag = ReadTag(pos);
      const bool isBone = TagIs(tag, kBoneTag);
      const PathFn childPath = [&] {
        return isBone ? "SKEL/BONE[" + std::to_string(roots) + "]"
                      : "SKEL/" + TagName(tag);
      };
      const std::optional<Span> child =
          ReadHeader(pos, span.bodyEnd, childPath);
      if (!child) {
        framingBroken = true;
        break;
      }
      pos = child->bodyEnd;
      if (!isBone) {
        Emit(IssueCode::kUnexpectedChunk, child->tagOffset, childPath,
             "only the root BONE chunk belongs in SKEL", Quoted(tag),
             Quoted(kBoneTag));
        continue;
      }
      if (roots == 1) secondRoot = child->tagOffset;
      if (roots == 0) treeWhole = ReadBoneTree(*child);
      if (roots < INT32_MAX) ++roots;
    }
    if (!framingBroken && roots != 1) {
      Emit(IssueCode::kRootBoneCount, roots == 0 ? span.tagOffset : secondRoot,
           path, "SKEL must hold exactly one root BONE chunk",
           std::to_string(roots), "1");
    }
    outcome_.boneCountKnown = !framingBroken && roots == 1 && treeWhole;
  }

  // Opens one BONE chunk: reads its name and child count, reports it and
  // pushes it on `stack`. Returns false when its fields cannot be read.
  bool OpenBone(const Span& span, int32_t parent, int32_t childIndex,
                std::vector<Level>& stack) {
    const PathFn path = [&] {
      return BonePath(stack, stack.size(),
                      "/BONE[" + std::to_string(childIndex) + "]");
    };
    if (!CheckVersion(span, path)) return false;
    Cursor cursor{span.bodyBegin + 4, span.bodyEnd};
    BoneFields bone;
    if (!TakeString(cursor, path, "bone name", &bone.name)) return false;
    const uint64_t countOffset = cursor.pos;
    if (!TakeI32(cursor, path, "child count", &bone.declaredChildren)) {
      return false;
    }
    bone.index = static_cast<int32_t>(outcome_.boneCount);
    bone.parent = parent;
    bone.depth = static_cast<int32_t>(stack.size());
    ++outcome_.boneCount;
    visitor_.OnBone(bone);
    stack.push_back(Level{cursor.pos, span.bodyEnd, bone.declaredChildren, 0,
                          bone.index, childIndex, countOffset});
    return true;
  }

  // Walks the bone tree under `root` without recursion. Returns true when
  // every BONE chunk in it could be read, so that the bone count is known.
  bool ReadBoneTree(const Span& root) {
    std::vector<Level> stack;
    bool whole = OpenBone(root, -1, 0, stack);
    while (!stack.empty()) {
      const size_t depth = stack.size();
      Level& top = stack.back();
      if (top.pos >= top.end) {
        if (top.seen != top.declared) {
          Emit(
              IssueCode::kChildCountMismatch, top.countOffset,
              [&] { return BonePath(stack, depth, ""); },
              "the child count differs from the nested BONE chunks",
              std::to_string(top.declared),
              std::to_string(top.seen) + " (the BONE chunks nested in it)");
        }
        stack.pop_back();
        continue;
      }
      if (top.end - top.pos < kHeaderBytes) {
        Emit(
            IssueCode::kChunkHeaderTruncated, top.pos,
            [&] { return BonePath(stack, depth, ""); },
            "bytes after the last child are too few for a chunk header",
            Bytes(top.end - top.pos),
            "a chunk of at least 8 bytes, or nothing");
        whole = false;
        stack.pop_back();
        continue;
      }
      const Tag tag = ReadTag(top.pos);
      const bool isBone = TagIs(tag, kBoneTag);
      const int32_t childIndex = top.seen;
      const PathFn childPath = [&] {
        return BonePath(stack, depth,
                        isBone ? "/BONE[" + std::to_string(childIndex) + "]"
                               : "/" + TagName(tag));
      };
      const std::optional<Span> child = ReadHeader(top.pos, top.end, childPath);
      if (!child) {
        whole = false;
        stack.pop_back();
        continue;
      }
      top.pos = child->bodyEnd;
      if (!isBone) {
        Emit(IssueCode::kUnexpectedChunk, child->tagOffset, childPath,
             "only BONE chunks belong in a BONE chunk", Quoted(tag),
             Quoted(kBoneTag));
        continue;
      }
      if (top.seen < INT32_MAX) ++top.seen;
      const int32_t parent = top.index;
      // May grow `stack`: `top` is not used past this point.
      if (!OpenBone(*child, parent, childIndex, stack)) whole = false;
    }
    return whole;
  }

  // ---- FRAM -------------------------------------------------------------

  void ReadFrame(const Span& span, int32_t index, const PathFn& path) {
    if (!CheckVersion(span, path)) return;
    Cursor cursor{span.bodyBegin + 4, span.bodyEnd};
    const uint64_t offsetField = cursor.pos;
    int32_t offset = 0;
    if (!TakeI32(cursor, path, "frame offset", &offset)) return;
    if (offset != index) {
      Emit(IssueCode::kFrameOffsetMismatch, offsetField, path,
           "the frame offset is not the chunk's place among the FRAM chunks",
           std::to_string(offset), std::to_string(index));
    }
    visitor_.OnFrame(index, offset);
    uint64_t records = cursor.left() / kRecordBytes;
    if (outcome_.boneCountKnown) {
      const uint64_t bones = static_cast<uint64_t>(outcome_.boneCount);
      const uint64_t expected = kFrameBodyHeaderSize + kRecordBytes * bones;
      if (static_cast<uint64_t>(span.size) != expected) {
        Emit(IssueCode::kFrameSizeMismatch, span.tagOffset + 4, path,
             "the frame chunk does not hold one record per bone",
             std::to_string(span.size),
             std::to_string(expected) + " (8 + 28 x " + std::to_string(bones) +
                 " bones)");
      }
      records = std::min(records, bones);
    }
    if (!options_.readRecords) return;
    for (uint64_t k = 0; k < records; ++k) {
      const uint64_t at = cursor.pos + k * kRecordBytes;
      unsigned char bytes[kRecordBytes];
      Fetch(at, bytes, sizeof bytes);
      Record record;
      for (int i = 0; i < kRealsPerBoneRecord; ++i) {
        uint32_t bits = static_cast<uint32_t>(bytes[4 * i]) |
                        static_cast<uint32_t>(bytes[4 * i + 1]) << 8 |
                        static_cast<uint32_t>(bytes[4 * i + 2]) << 16 |
                        static_cast<uint32_t>(bytes[4 * i + 3]) << 24;
        std::memcpy(&record[i], &bits, 4);
        if ((bits & 0x7f800000u) == 0x7f800000u) {
          Emit(
              IssueCode::kNonFiniteValue, at + 4 * i,
              [&] {
                return "FRAM[" + std::to_string(index) + "]/record[" +
                       std::to_string(k) + "]";
              },
              std::string(i < 3 ? "a position" : "a rotation") +
                  " value is not finite",
              std::string((bits & 0x007fffffu) != 0 ? "NaN" : "infinity") +
                  " (" + Hex32(bits) + ")",
              "a finite value");
        }
      }
      visitor_.OnRecord(index, static_cast<int32_t>(k), record);
    }
  }

  ByteSource& source_;
  WalkVisitor& visitor_;
  const WalkOptions& options_;
  WalkOutcome outcome_;
  int32_t frameCount_ = 0;
};

}  // namespace

WalkOutcome WalkFile(ByteSource& source, WalkVisitor& visitor,
                     const WalkOptions& options) {
  return Walker(source, visitor, options).Run();
}

}  // namespace kin::reader
