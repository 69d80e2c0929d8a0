// Writes the fuzzer's initial corpus: small valid KIN files covering each
// kind of chunk, built byte by byte. Usage: make_corpus DIRECTORY
// (the committed corpus in tests/reader/corpus/ was made with it).
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/reader/sample_files.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_corpus DIRECTORY\n";
    return 1;
  }
  using namespace kin_bytes;
  const std::vector<std::pair<std::string, std::string>> files = {
      {"walk.kin", kin_test::WalkFile()},
      {"tree.kin", kin_test::TreeFile()},
      {"empty-range.kin", kin_test::EmptyRangeFile()},
      {"one-frame.kin",
       File({Info("abcde", 1, 7, 8), Events({{0, 5, "hit"}, {0, 6, "hit"}}),
             Skeleton({"r", {{"a", {}}, {"b", {{"c", {}}}}}}),
             Frame(0, {kin_test::RecordFrom(1), kin_test::RecordFrom(2),
                       kin_test::RecordFrom(3), kin_test::RecordFrom(4)})})},
      {"zero-frames.kin",
       File({Info("none", 0, 0, 0), Events({}), Skeleton({"x", {}})})},
  };
  for (const auto& [name, bytes] : files) {
    const std::string path = std::string(argv[1]) + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::cerr << "make_corpus: cannot write " << path << "\n";
      return 2;
    }
  }
  return 0;
}
