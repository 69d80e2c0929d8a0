// The importer interface: turns an animation file into a `SourceScene`.
//
// The host logic talks to importers only through this interface, so tests can
// hand it a scene built in code and the real importer stays a thin adapter.
#ifndef KIN_HOST_IMPORTER_H_
#define KIN_HOST_IMPORTER_H_

#include <string>

#include "host/source_scene.h"

namespace kin::host {

struct ImportResult {
  bool ok = false;
  SourceScene scene;  // valid when `ok`
  std::string error;  // why the file could not be read, when not `ok`
};

class Importer {
 public:
  virtual ~Importer() = default;
  // Reads the file at `path`. Returns `ok == false` and a reason a person can
  // act on when the file cannot be read or parsed. Safe on untrusted files,
  // and safe to call from several threads at once.
  virtual ImportResult Import(const std::string& path) const = 0;
};

}  // namespace kin::host

#endif  // KIN_HOST_IMPORTER_H_
