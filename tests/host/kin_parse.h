// The host tests read what the exporter wrote through the reader library,
// which validates every rule of the format on the way.
#ifndef KIN_TESTS_HOST_KIN_PARSE_H_
#define KIN_TESTS_HOST_KIN_PARSE_H_

#include <fstream>
#include <sstream>
#include <string>

#include "reader/reader.h"

namespace kin_parse {

using KinFile = kin::reader::Animation;

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Reads and validates the KIN file at `path`. Returns false and sets
// `*error` when it cannot be read or breaks any rule of the format.
inline bool ParseFile(const std::string& path, KinFile* file,
                      std::string* error) {
  kin::reader::Result<kin::reader::Animation> read =
      kin::reader::ReadFile(path);
  if (!read) {
    *error = read.error().message;
    return false;
  }
  *file = std::move(read.value());
  return true;
}

}  // namespace kin_parse

#endif  // KIN_TESTS_HOST_KIN_PARSE_H_
