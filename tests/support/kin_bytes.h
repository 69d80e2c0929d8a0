// Builds the bytes of KIN files independently of the module's writers.
//
// Tests describe a file as nested values (chunks of bodies of scalars) and
// get its exact bytes, with every size computed from the body that follows
// it, never from stream positions. Plain C++ with no dependency on the
// module's headers, so hosts built without them can use it too.
#ifndef KIN_TESTS_SUPPORT_KIN_BYTES_H_
#define KIN_TESTS_SUPPORT_KIN_BYTES_H_

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kin_bytes {

inline std::string U32(uint32_t value) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i)
    out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}
inline std::string I32(int32_t value) {
  return U32(static_cast<uint32_t>(value));
}
// The four bytes of a real given by its bit pattern.
inline std::string RealBits(uint32_t bits) { return U32(bits); }
inline std::string Real(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  return U32(bits);
}

// A padded string: length rounded up to 4, the bytes, zero fill.
inline std::string Text(const std::string& text) {
  const size_t padded = (text.size() + 3) / 4 * 4;
  return U32(static_cast<uint32_t>(padded)) + text +
         std::string(padded - text.size(), '\0');
}

// A chunk: tag, size of `body`, `body`.
inline std::string Chunk(const char* tag, const std::string& body) {
  return std::string(tag, 4) + U32(static_cast<uint32_t>(body.size())) + body;
}
// A chunk whose body opens with the version word 100.
inline std::string VersionedChunk(const char* tag, const std::string& body) {
  return Chunk(tag, U32(100) + body);
}

inline std::string Info(const std::string& name, int32_t frameCount,
                        uint32_t valueA, uint32_t valueB) {
  return VersionedChunk(
      "INFO", Text(name) + I32(frameCount) + U32(valueA) + U32(valueB));
}

struct Event {
  int32_t offset;
  uint32_t value;
  std::string name;
};
inline std::string Events(const std::vector<Event>& events) {
  std::string body = U32(static_cast<uint32_t>(events.size()));
  for (const Event& e : events)
    body += I32(e.offset) + U32(e.value) + Text(e.name);
  return VersionedChunk("EVNT", body);
}

// A bone tree node for `Skeleton`.
struct BoneNode {
  std::string name;
  std::vector<BoneNode> children;
};
inline std::string BoneChunk(const BoneNode& bone) {
  std::string body =
      Text(bone.name) + U32(static_cast<uint32_t>(bone.children.size()));
  for (const BoneNode& child : bone.children) body += BoneChunk(child);
  return VersionedChunk("BONE", body);
}
inline std::string Skeleton(const BoneNode& root) {
  return VersionedChunk("SKEL", BoneChunk(root));
}

// One bone record: seven reals given as bit patterns.
struct Record {
  uint32_t bits[7];
};
inline std::string Frame(int32_t offset, const std::vector<Record>& records) {
  std::string body = I32(offset);
  for (const Record& r : records) {
    for (uint32_t bits : r.bits) body += RealBits(bits);
  }
  return VersionedChunk("FRAM", body);
}

// The whole file: "VOXR", size, "ANIM", then the top-level chunks.
inline std::string File(const std::vector<std::string>& chunks) {
  std::string body = "ANIM";
  for (const std::string& chunk : chunks) body += chunk;
  return Chunk("VOXR", body);
}

}  // namespace kin_bytes

#endif  // KIN_TESTS_SUPPORT_KIN_BYTES_H_
