// Walker: FRAM chunks and their bone records.

#include <algorithm>
#include <cstring>

#include "reader/walker.h"

namespace kin::reader::walk {

void Walker::ReadFrame(const Span& span, int32_t index, const PathFn& path) {
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
            std::string((bits & 0x007fffffu) != 0 ? "NaN" : "infinity") + " (" +
                Hex32(bits) + ")",
            "a finite value");
      }
    }
    visitor_.OnRecord(index, static_cast<int32_t>(k), record);
  }
}

}  // namespace kin::reader::walk
