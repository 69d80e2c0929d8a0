// The importer for real files, built on Assimp (BVH, glTF, FBX, Collada and
// the other formats Assimp reads).
//
// It converts Assimp's scene into a `SourceScene`: nodes in pre-order with
// their rest transforms decomposed, the skin's joints, and every animation's
// keys converted from ticks to seconds. No skeleton is chosen here.
#ifndef KIN_HOST_ASSIMP_IMPORTER_H_
#define KIN_HOST_ASSIMP_IMPORTER_H_

#include "host/importer.h"

namespace kin::host {

class AssimpImporter : public Importer {
 public:
  // Each call uses its own Assimp importer, so calls from several threads
  // do not share state. Returns Assimp's own message on failure.
  ImportResult Import(const std::string& path) const override;
};

}  // namespace kin::host

#endif  // KIN_HOST_ASSIMP_IMPORTER_H_
