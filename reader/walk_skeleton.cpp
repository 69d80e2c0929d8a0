// Walker: SKEL and the BONE tree, walked with an explicit stack.

#include "reader/walker.h"

namespace kin::reader::walk {

// The path of the bone at `stack[levels - 1]`, then `tail`. Deep trees
// show their first and last levels only.
std::string Walker::BonePath(const std::vector<Level>& stack, size_t levels,
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

void Walker::ReadSkeleton(const Span& span, const PathFn& path) {
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
    const std::optional<Span> child = ReadHeader(pos, span.bodyEnd, childPath);
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
bool Walker::OpenBone(const Span& span, int32_t parent, int32_t childIndex,
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
bool Walker::ReadBoneTree(const Span& root) {
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
          Bytes(top.end - top.pos), "a chunk of at least 8 bytes, or nothing");
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

}  // namespace kin::reader::walk
