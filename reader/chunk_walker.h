// The reader's core: one forward walk over the chunks of a KIN file.
//
// `WalkFile` checks every rule of the format as it goes and hands what it
// reads to a `WalkVisitor`: the INFO fields, each event, each bone (in file
// order, with its parent), each FRAM chunk and each bone record, and every
// problem as an `Issue`. The model builder, the validator, the summary and
// `kin dump` are visitors over this one walk, so they agree on every file.
//
// Safe on untrusted input: it reads through the source only inside the
// bytes the enclosing chunk still holds, checks every count and size
// against those bytes with comparisons that cannot overflow, allocates
// nothing from a count it has not checked, never recurses (the bone tree is
// walked with an explicit stack) and always moves forward, so it ends.
// Memory is bounded apart from that stack, which grows with the depth of
// the bone tree (about 40 bytes a level), and the names it hands over
// (see `WalkOptions`); it never holds more than one bone record.
//
// After a problem the walk goes on wherever the framing still tells where
// the next field is. A chunk size that is negative or runs past its parent
// ends the walk of that parent; a string length that is negative or runs
// past its chunk ends the walk of that chunk. Checks that depend on what
// was lost are then skipped: frame sizes when the bone count is unknown,
// the frame count when INFO could not be read, and the end-of-container
// checks when the walk of the container itself stopped.
#ifndef KIN_READER_CHUNK_WALKER_H_
#define KIN_READER_CHUNK_WALKER_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "reader/byte_source.h"
#include "reader/issue.h"
#include "reader/model.h"

namespace kin::reader {

// INFO's fields.
struct InfoFields {
  std::string name;
  int32_t frameCount = 0;
  uint32_t valueA = 0;
  uint32_t valueB = 0;
};

// One BONE chunk as the walk meets it.
struct BoneFields {
  int32_t index = 0;    // position among all BONE chunks, 0 for the root
  int32_t parent = -1;  // index of the parent bone; -1 for the root
  int32_t depth = 0;    // 0 for the root
  int32_t declaredChildren = 0;  // the child count field, as stored
  std::string name;
};

// Receives what the walk reads, in file order. Every call has a default
// that does nothing. A visitor sees INFO at most once, then events, then
// bones, then frames: chunks out of order are reported, never visited.
class WalkVisitor {
 public:
  virtual ~WalkVisitor() = default;
  virtual void OnInfo(const InfoFields& /*info*/) {}
  // Each EVNT entry, `index` from 0.
  virtual void OnEvent(int32_t /*index*/, const Event& /*event*/) {}
  virtual void OnBone(const BoneFields& /*bone*/) {}
  // The start of the `index`-th FRAM chunk (from 0), with its offset field.
  virtual void OnFrame(int32_t /*index*/, int32_t /*offset*/) {}
  // The `bone`-th record of the `frame`-th FRAM chunk. Only when
  // `WalkOptions::readRecords`.
  virtual void OnRecord(int32_t /*frame*/, int32_t /*bone*/,
                        const Record& /*record*/) {}
  virtual void OnIssue(const Issue& /*issue*/) {}
};

struct WalkOptions {
  // Read every bone record (and check it for NaN and infinities). Off, the
  // walk only checks the FRAM framing and skips the records' bytes.
  bool readRecords = true;
  // Names longer than this are handed over cut to this many bytes (the
  // whole string is still checked). The default keeps every byte.
  size_t maxNameBytes = SIZE_MAX;
};

// What the walk learnt about the file as a whole.
struct WalkOutcome {
  uint64_t fileSize = 0;
  bool readFailed = false;      // an I/O error stopped the walk
  std::string readError;        // why, when `readFailed`
  bool infoRead = false;        // INFO was read whole
  int64_t eventCount = 0;       // EVNT entries read
  int64_t boneCount = 0;        // BONE chunks read
  bool boneCountKnown = false;  // the bone tree was read whole
  int64_t frameChunkCount = 0;  // FRAM chunks met
};

// Walks the bytes of `source`. Returns what it learnt; the problems go to
// `visitor.OnIssue`. Never throws for any bytes (an allocation failure may
// still throw std::bad_alloc).
WalkOutcome WalkFile(ByteSource& source, WalkVisitor& visitor,
                     const WalkOptions& options = WalkOptions());

}  // namespace kin::reader

#endif  // KIN_READER_CHUNK_WALKER_H_
