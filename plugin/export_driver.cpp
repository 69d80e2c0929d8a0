#include "plugin/export_driver.h"

#include <filesystem>
#include <system_error>

#include "animfile/frame_range.h"
#include "animfile/info_chunks.h"
#include "chunkfile/binofstream.h"
#include "chunkfile/chunk.h"
#include "chunkfile/format.h"
#include "plugin/kinexport.h"

namespace kin {
namespace {

enum class Outcome { kNotOpened, kWritten, kWriteFailed };

// Writes the container and every chunk in one forward pass. The frame loop
// stops at the first failed write: nothing after it can reach the file.
Outcome WriteFile(Skeleton& skeleton, const AnimInfo& info,
                  const char* fileName) {
  binofstream stream(fileName);
  if (stream.fail()) return Outcome::kNotOpened;

  WriteTag(stream, kContainerTag);
  const int32_t container = BeginChunk(stream);
  WriteTag(stream, kFormTag);
  WriteInfoChunk(stream, info);
  WriteEventChunk(stream, info);
  skeleton.WriteSkeleton(stream);
  WriteFrameRange(skeleton, stream, info.startFrame, info.endFrame);

  EndChunk(stream, container);
  stream.close();
  return stream.fail() ? Outcome::kWriteFailed : Outcome::kWritten;
}

// Removes what a failed export left at `fileName`, if and only if it is a
// regular file: a device, a link or anything else is left alone.
void RemovePartialOutput(const char* fileName) {
  std::error_code error;
  const std::filesystem::path path(fileName);
  if (std::filesystem::symlink_status(path, error).type() ==
      std::filesystem::file_type::regular) {
    std::filesystem::remove(path, error);
  }
}

}  // namespace

int RunExport(Skeleton* skeleton, AnimInfo* info, const char* fileName) {
  if (skeleton == nullptr || skeleton->root == nullptr || info == nullptr ||
      fileName == nullptr) {
    return kExportFailed;
  }
  Outcome outcome;
  try {
    outcome = WriteFile(*skeleton, *info, fileName);
  } catch (...) {
    // No exception may cross the C boundary; the stream is closed by now.
    outcome = Outcome::kWriteFailed;
  }
  switch (outcome) {
    case Outcome::kWritten:
      return kExportSucceeded;
    case Outcome::kWriteFailed:
      RemovePartialOutput(fileName);
      return kExportFailed;
    case Outcome::kNotOpened:
      break;
  }
  return kExportFailed;
}

}  // namespace kin
