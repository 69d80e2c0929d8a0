// A deliberately small KIN reader for the host tests: it walks the chunks of
// a whole file in memory and returns what the exporter wrote, or an error
// naming the byte offset where the file stops making sense.
#ifndef KIN_TESTS_HOST_KIN_PARSE_H_
#define KIN_TESTS_HOST_KIN_PARSE_H_

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kin_parse {

struct Event {
  int32_t offset;
  uint32_t value;
  std::string name;
};

struct Bone {
  std::string name;
  int parent;  // index into `KinFile::bones`, -1 for the root
};

struct Frame {
  int32_t offset;
  std::vector<std::array<float, 7>> records;  // px py pz qx qy qz qw
};

struct KinFile {
  std::string name;
  int32_t frameCount = 0;
  uint32_t valueA = 0;
  uint32_t valueB = 0;
  std::vector<Event> events;
  std::vector<Bone> bones;  // pre-order
  std::vector<Frame> frames;
};

class Parser {
 public:
  explicit Parser(const std::string& bytes) : bytes_(bytes) {}

  bool Parse(KinFile* file, std::string* error) {
    if (!Tag("VOXR") || !Size(bytes_.size() - 8) || !Tag("ANIM")) {
      return Fail(error);
    }
    if (!Info(file) || !Events(file) || !Skeleton(file)) return Fail(error);
    while (at_ < bytes_.size()) {
      if (!FrameChunk(file)) return Fail(error);
    }
    return true;
  }

 private:
  bool Fail(std::string* error) {
    *error = why_ + " at byte " + std::to_string(at_);
    return false;
  }
  bool Word(uint32_t* value) {
    if (bytes_.size() - at_ < 4 || at_ > bytes_.size()) {
      why_ = "file ends inside a field";
      return false;
    }
    std::memcpy(value, bytes_.data() + at_, 4);
    at_ += 4;
    return true;
  }
  bool Tag(const char* tag) {
    if (bytes_.compare(at_, 4, tag) != 0) {
      why_ = std::string("expected tag ") + tag;
      return false;
    }
    at_ += 4;
    return true;
  }
  bool Size(size_t expected) {
    uint32_t size;
    if (!Word(&size)) return false;
    if (size != expected) {
      why_ = "size " + std::to_string(size) + ", expected " +
             std::to_string(expected);
      return false;
    }
    return true;
  }
  // Opens a chunk: tag, size (must fit), version. Sets `*end`.
  bool Open(const char* tag, size_t* end) {
    uint32_t size, version;
    if (!Tag(tag) || !Word(&size)) return false;
    if (size > bytes_.size() - at_) {
      why_ = std::string(tag) + " size passes the end of the file";
      return false;
    }
    *end = at_ + size;
    if (!Word(&version) || version != 100) {
      why_ = "bad chunk version";
      return false;
    }
    return true;
  }
  bool Close(size_t end) {
    if (at_ != end) {
      why_ = "chunk body ends at " + std::to_string(at_) + ", size says " +
             std::to_string(end);
      return false;
    }
    return true;
  }
  bool Text(std::string* text) {
    uint32_t padded;
    if (!Word(&padded)) return false;
    if (padded % 4 != 0 || padded > bytes_.size() - at_) {
      why_ = "bad padded string length";
      return false;
    }
    const std::string raw = bytes_.substr(at_, padded);
    *text = raw.substr(0, raw.find('\0'));
    at_ += padded;
    return true;
  }
  bool Info(KinFile* file) {
    size_t end;
    uint32_t count;
    if (!Open("INFO", &end) || !Text(&file->name) || !Word(&count) ||
        !Word(&file->valueA) || !Word(&file->valueB)) {
      return false;
    }
    file->frameCount = static_cast<int32_t>(count);
    return Close(end);
  }
  bool Events(KinFile* file) {
    size_t end;
    uint32_t count;
    if (!Open("EVNT", &end) || !Word(&count)) return false;
    for (uint32_t i = 0; i < count; ++i) {
      Event event;
      uint32_t offset;
      if (!Word(&offset) || !Word(&event.value) || !Text(&event.name)) {
        return false;
      }
      event.offset = static_cast<int32_t>(offset);
      file->events.push_back(event);
    }
    return Close(end);
  }
  bool BoneChunk(KinFile* file, int parent, int depth) {
    if (depth > 4096) {
      why_ = "bones nest too deeply";
      return false;
    }
    size_t end;
    Bone bone;
    uint32_t children;
    if (!Open("BONE", &end) || !Text(&bone.name) || !Word(&children)) {
      return false;
    }
    bone.parent = parent;
    const int self = static_cast<int>(file->bones.size());
    file->bones.push_back(bone);
    for (uint32_t i = 0; i < children; ++i) {
      if (!BoneChunk(file, self, depth + 1)) return false;
    }
    return Close(end);
  }
  bool Skeleton(KinFile* file) {
    size_t end;
    return Open("SKEL", &end) && BoneChunk(file, -1, 0) && Close(end);
  }
  bool FrameChunk(KinFile* file) {
    size_t end;
    uint32_t offset;
    if (!Open("FRAM", &end) || !Word(&offset)) return false;
    Frame frame;
    frame.offset = static_cast<int32_t>(offset);
    for (size_t b = 0; b < file->bones.size(); ++b) {
      std::array<float, 7> record;
      for (float& value : record) {
        uint32_t bits;
        if (!Word(&bits)) return false;
        std::memcpy(&value, &bits, 4);
      }
      frame.records.push_back(record);
    }
    file->frames.push_back(std::move(frame));
    return Close(end);
  }

  const std::string& bytes_;
  size_t at_ = 0;
  std::string why_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Parses the KIN file at `path`. Returns false and sets `*error` when it
// cannot be read or is malformed.
inline bool ParseFile(const std::string& path, KinFile* file,
                      std::string* error) {
  const std::string bytes = ReadBytes(path);
  if (bytes.empty()) {
    *error = "cannot read '" + path + "' or it is empty";
    return false;
  }
  return Parser(bytes).Parse(file, error);
}

}  // namespace kin_parse

#endif  // KIN_TESTS_HOST_KIN_PARSE_H_
