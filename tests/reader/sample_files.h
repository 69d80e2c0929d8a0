// Small KIN files built byte by byte (with tests/support/kin_bytes.h), for
// the reader's tests, the CLI tests and the fuzzing corpus.
//
// `WalkFile()` is the reference valid file; its layout is:
//   0 VOXR, 4 container size 272, 8 ANIM
//   12 INFO (size 16 at offset 16, version 20, name length 24, "walk" 28,
//      frame count 2 at 32, value A 36, value B 40)
//   44 EVNT (size 48, version 52, count 56; entry: offset 60, value 64,
//      name length 68, "step" 72)
//   76 SKEL (size 80, version 84)
//     88 BONE "root" (size 92, version 96, name length 100, "root" 104,
//        child count 108)
//       112 BONE "arm" (size 116, version 120, name length 124, "arm" 128,
//           child count 132)
//   136 FRAM (size 140, version 144, offset 148, records 152..207)
//   208 FRAM (size 212, version 216, offset 220, records 224..279)
//   280 end of file
#ifndef KIN_TESTS_READER_SAMPLE_FILES_H_
#define KIN_TESTS_READER_SAMPLE_FILES_H_

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/kin_bytes.h"

namespace kin_test {

namespace layout {
inline constexpr uint64_t kInfo = 12, kInfoName = 24, kFrameCount = 32;
inline constexpr uint64_t kEvents = 44, kEventCount = 56, kEventEntry = 60;
inline constexpr uint64_t kSkel = 76, kRoot = 88, kRootName = 100,
                          kRootChildCount = 108;
inline constexpr uint64_t kArm = 112, kArmVersion = 120;
inline constexpr uint64_t kFrame0 = 136, kFrame1 = 208, kFrame1Offset = 220;
inline constexpr uint64_t kEnd = 280;
}  // namespace layout

inline constexpr uint32_t kValueA = 0x11223344;
inline constexpr uint32_t kValueB = 0xCAFEF00D;

// A record whose seven reals are `base` + 0 .. 6, as bit patterns.
inline kin_bytes::Record RecordFrom(float base) {
  kin_bytes::Record record;
  for (int i = 0; i < 7; ++i) {
    const float value = base + static_cast<float>(i);
    std::memcpy(&record.bits[i], &value, 4);
  }
  return record;
}

inline std::string WalkInfo(int32_t frames = 2) {
  return kin_bytes::Info("walk", frames, kValueA, kValueB);
}
inline std::string WalkEvents() { return kin_bytes::Events({{0, 7, "step"}}); }
inline kin_bytes::BoneNode WalkTree() { return {"root", {{"arm", {}}}}; }
inline std::string WalkSkeleton() { return kin_bytes::Skeleton(WalkTree()); }
inline std::string WalkFrame(int32_t offset) {
  const float base = 10.0f * static_cast<float>(offset);
  return kin_bytes::Frame(offset, {RecordFrom(base), RecordFrom(base + 0.5f)});
}

// The reference valid file described above.
inline std::string WalkFile() {
  return kin_bytes::File(
      {WalkInfo(), WalkEvents(), WalkSkeleton(), WalkFrame(0), WalkFrame(1)});
}

// Writes `bytes` over `file` at `offset`.
inline std::string Patched(std::string file, uint64_t offset,
                           const std::string& bytes) {
  file.replace(offset, bytes.size(), bytes);
  return file;
}

// A deeper file: five bones in two levels, three events, three frames.
inline std::string TreeFile() {
  using namespace kin_bytes;
  const BoneNode tree{"hips",
                      {{"spine", {{"neck", {{"head", {}}}}}}, {"leg", {}}}};
  std::vector<std::string> chunks = {
      Info("tree", 3, 1, 2), Events({{0, 1, "a"}, {2, 2, "bbbbb"}, {1, 3, ""}}),
      Skeleton(tree)};
  for (int32_t n = 0; n < 3; ++n) {
    std::vector<Record> records;
    for (int k = 0; k < 5; ++k)
      records.push_back(RecordFrom(static_cast<float>(n * 5 + k)));
    chunks.push_back(Frame(n, records));
  }
  return File(chunks);
}

// An empty range: INFO's frame count is negative and no FRAM follows.
inline std::string EmptyRangeFile() {
  using namespace kin_bytes;
  return File({Info("", -4, 0, 0), Events({}), Skeleton({"only", {}})});
}

}  // namespace kin_test

#endif  // KIN_TESTS_READER_SAMPLE_FILES_H_
