// Reading and checking KIN animation files.
//
// This is the reader's public face; include it and link `kin_reader`.
//
//   kin::reader::Result<kin::reader::Animation> read =
//       kin::reader::ReadFile("walk.kin");
//   if (!read) { std::cerr << read.error().message << "\n"; return; }
//   const kin::reader::Animation& anim = read.value();
//   // anim.bones[k].name / .parent, anim.frames[n].records[k][0..6], ...
//
// - `ReadFile` / `ReadBytes` build the whole `Animation` (model.h). They fail
//   with `Error::Kind::kIo` when the bytes cannot be read and with
//   `Error::Kind::kInvalid` when the file breaks any rule of the format;
//   warnings do not make them fail. The model then holds every frame, so its
//   memory grows with the file.
// - `Validate` / `ValidateFile` check every rule and return a `Report` of
//   all problems (issue.h). `Summarize` / `SummarizeFile` give the INFO
//   fields and the counts. Both walk the file once in bounded memory: they
//   never hold the frames, and names are cut to `kSummaryNameBytes`.
// - For anything else, walk the file yourself with `WalkFile`
//   (chunk_walker.h); these calls are visitors over that walk.
//
// All calls are safe on untrusted bytes: no crash, no unbounded allocation,
// recursion or loop, whatever the file holds. They never throw, except
// std::bad_alloc when memory runs out.
#ifndef KIN_READER_READER_H_
#define KIN_READER_READER_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "reader/byte_source.h"
#include "reader/chunk_walker.h"
#include "reader/issue.h"
#include "reader/model.h"
#include "reader/result.h"

namespace kin::reader {

// Reads the KIN file at `path` into a model. On failure the error's message
// names the path and, for an invalid file, the first error with its offset
// and chunk path; `error().issues` lists every problem found.
Result<Animation> ReadFile(const std::string& path);

// The same for a file already in memory (`size` bytes at `data`). `label`
// names it in the error message.
Result<Animation> ReadBytes(const void* data, size_t size,
                            const std::string& label = "<memory>");

// Reads the model from any source; `label` names it in messages.
Result<Animation> ReadSource(ByteSource& source, const std::string& label);

// Checks every rule of the format. The report holds all problems found
// (and counts them all, see `Report`); an I/O failure shows as a
// READ_FAILED issue. Never fails.
Report Validate(ByteSource& source);

// Opens and checks the file at `path`. Fails (kind `kIo`) only when the
// file cannot be opened or read; a damaged file gives a report.
Result<Report> ValidateFile(const std::string& path);

// Names are cut to this many bytes in a `Summary`.
inline constexpr size_t kSummaryNameBytes = 4096;

// What `kin info` shows of one file.
struct Summary {
  uint64_t fileSize = 0;
  bool hasInfo = false;  // INFO was read; the next four fields are its own
  std::string name;
  int32_t frameCount = 0;
  uint32_t valueA = 0;
  uint32_t valueB = 0;
  int64_t eventCount = 0;       // EVNT entries read
  int64_t boneCount = 0;        // BONE chunks read
  int64_t frameChunkCount = 0;  // FRAM chunks met
  // The problems of the file's framing and fields. The bone records'
  // values are not read, so NaN and infinities are not reported here.
  Report report;
};

// Summarises the bytes of `source`. Never fails; problems go to the report.
Summary Summarize(ByteSource& source);

// Opens and summarises the file at `path`. Fails (kind `kIo`) only when the
// file cannot be opened or read.
Result<Summary> SummarizeFile(const std::string& path);

}  // namespace kin::reader

#endif  // KIN_READER_READER_H_
