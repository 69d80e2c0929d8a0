// The module's exported entry points. Everything else it holds is hidden.
#include "plugin/export_driver.h"
#include "plugin/kinexport.h"

namespace {
constexpr char kExtension[] = "KIN";
}  // namespace

extern "C" {

KIN_EXPORT int KIN_CALL ExporterType(void) { return 1; }

KIN_EXPORT const char* KIN_CALL Extension(void) { return kExtension; }

KIN_EXPORT int KIN_CALL ExportAnim(Skeleton* skeleton, AnimInfo* info,
                                   const char* fileName) {
  return kin::RunExport(skeleton, info, fileName);
}

}  // extern "C"
