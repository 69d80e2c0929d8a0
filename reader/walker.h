// The machinery behind `WalkFile` (chunk_walker.h), private to the reader.
//
// One `Walker` makes one forward walk over a source. Its members live in
// four files, one per part of the file format:
//   walk_fields.cpp     reading scalars, tags, chunk headers, version words
//                       and padded strings, and reporting problems;
//   walk_container.cpp  the container, the order of its chunks, INFO, EVNT;
//   walk_skeleton.cpp   SKEL and the BONE tree (an explicit stack, no
//                       recursion);
//   walk_frames.cpp     FRAM chunks and their bone records.
// Every read stays inside the chunk being walked; a source that cannot
// deliver bytes throws `ReadFailure`, which `Walker::Run` turns into an
// outcome, so no exception leaves `WalkFile`.
#ifndef KIN_READER_WALKER_H_
#define KIN_READER_WALKER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "chunkfile/format.h"
#include "reader/chunk_walker.h"

namespace kin::reader::walk {

// Thrown by `Walker::Fetch` when the source cannot deliver bytes; caught in
// `Walker::Run`.
struct ReadFailure {
  uint64_t offset;
  std::string message;
};

using Tag = std::array<unsigned char, 4>;
// Builds the chunk path of an issue; called only when one is reported, so
// that deep trees cost nothing until something is wrong.
using PathFn = std::function<std::string()>;

inline constexpr uint64_t kRecordBytes = 4 * kRealsPerBoneRecord;
inline constexpr uint64_t kHeaderBytes = 8;
inline constexpr uint64_t kContainerHeaderBytes = 12;

// The stages of the container, in the order its chunks must come.
enum Stage { kInfoStage, kEventStage, kSkeletonStage, kFrameStage };
inline constexpr const char* kStageTags[] = {kInfoTag, kEventTag, kSkeletonTag,
                                             kFrameTag};

bool TagIs(const Tag& tag, const char (&text)[5]);
// The stage a top-level tag belongs to, or -1 for any other tag.
int StageOf(const Tag& tag);
// The tag's letters when they are printable, with \xNN for any other byte.
std::string TagName(const Tag& tag);
// The tag or text in double quotes.
std::string Quoted(const Tag& tag);
std::string Quoted(const char* text);
// "1 byte", "12 bytes".
std::string Bytes(uint64_t count);
// "0x" and eight hex digits.
std::string Hex32(uint32_t bits);

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

class Walker {
 public:
  Walker(ByteSource& source, WalkVisitor& visitor, const WalkOptions& options)
      : source_(source), visitor_(visitor), options_(options) {}

  // Walks the whole source once.
  WalkOutcome Run();

 private:
  // walk_fields.cpp: reads inside the source (throw ReadFailure otherwise).
  void Fetch(uint64_t offset, void* out, size_t length);
  uint32_t U32(uint64_t offset);
  int32_t I32(uint64_t offset);
  Tag ReadTag(uint64_t offset);
  void Emit(IssueCode code, uint64_t offset, const PathFn& path,
            const std::string& what, const std::string& found,
            const std::string& expected);
  std::optional<Span> ReadHeader(uint64_t pos, uint64_t parentEnd,
                                 const PathFn& path);
  bool CheckVersion(const Span& span, const PathFn& path);
  bool TakeI32(Cursor& cursor, const PathFn& path, const char* field,
               int32_t* out);
  bool TakeString(Cursor& cursor, const PathFn& path, const char* field,
                  std::string* out);

  // walk_container.cpp
  void WalkContainer();
  static std::string ExpectedAt(int stage);
  void WalkTopLevel(uint64_t end);
  void ReadInfo(const Span& span, const PathFn& path);
  void ReadEvents(const Span& span, const PathFn& path);

  // walk_skeleton.cpp
  static std::string BonePath(const std::vector<Level>& stack, size_t levels,
                              const std::string& tail);
  void ReadSkeleton(const Span& span, const PathFn& path);
  bool OpenBone(const Span& span, int32_t parent, int32_t childIndex,
                std::vector<Level>& stack);
  bool ReadBoneTree(const Span& root);

  // walk_frames.cpp
  void ReadFrame(const Span& span, int32_t index, const PathFn& path);

  ByteSource& source_;
  WalkVisitor& visitor_;
  const WalkOptions& options_;
  WalkOutcome outcome_;
  int32_t frameCount_ = 0;
};

}  // namespace kin::reader::walk

#endif  // KIN_READER_WALKER_H_
