// Walker: reading scalars, tags, chunk headers, version words and padded
// strings inside the chunk being walked, and reporting problems.

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "reader/walker.h"

namespace kin::reader::walk {

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

void Walker::Fetch(uint64_t offset, void* out, size_t length) {
  if (!source_.Read(offset, out, length)) {
    throw ReadFailure{offset, source_.ErrorText()};
  }
}

uint32_t Walker::U32(uint64_t offset) {
  unsigned char bytes[4];
  Fetch(offset, bytes, 4);
  return static_cast<uint32_t>(bytes[0]) |
         static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 |
         static_cast<uint32_t>(bytes[3]) << 24;
}

int32_t Walker::I32(uint64_t offset) {
  const uint32_t bits = U32(offset);
  int32_t value;
  std::memcpy(&value, &bits, 4);
  return value;
}

Tag Walker::ReadTag(uint64_t offset) {
  Tag tag;
  Fetch(offset, tag.data(), 4);
  return tag;
}

void Walker::Emit(IssueCode code, uint64_t offset, const PathFn& path,
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

// Reads the header of the chunk at `pos` and checks its size against the
// parent, which ends at `parentEnd` (with at least 8 bytes left). Returns
// nothing when the size makes the rest of the parent unknowable.
std::optional<Span> Walker::ReadHeader(uint64_t pos, uint64_t parentEnd,
                                       const PathFn& path) {
  Span span;
  span.tagOffset = pos;
  span.tag = ReadTag(pos);
  span.size = I32(pos + 4);
  const uint64_t available = parentEnd - pos - kHeaderBytes;
  if (span.size < 0) {
    Emit(IssueCode::kChunkSizeTooSmall, pos + 4, path, "chunk size is negative",
         std::to_string(span.size), "at least 4");
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
bool Walker::CheckVersion(const Span& span, const PathFn& path) {
  if (!span.hasVersion) return false;
  const int32_t version = I32(span.bodyBegin);
  if (version != ChunkVersion) {
    Emit(IssueCode::kBadVersion, span.bodyBegin, path,
         "chunk version word is wrong", std::to_string(version),
         std::to_string(ChunkVersion));
  }
  return true;
}

bool Walker::TakeI32(Cursor& cursor, const PathFn& path, const char* field,
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
bool Walker::TakeString(Cursor& cursor, const PathFn& path, const char* field,
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
    Emit(IssueCode::kStringLengthNotAligned, lengthOffset, path,
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

}  // namespace kin::reader::walk
