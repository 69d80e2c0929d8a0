// The export driver: writes one whole KIN file from the host's objects.
#ifndef KIN_PLUGIN_EXPORT_DRIVER_H_
#define KIN_PLUGIN_EXPORT_DRIVER_H_

#include "scene/scene.h"

namespace kin {

// Runs one export; the result is `ExportAnim`'s (0 or 16), and so is the
// contract. Never throws.
int RunExport(Skeleton* skeleton, AnimInfo* info, const char* fileName);

}  // namespace kin

#endif  // KIN_PLUGIN_EXPORT_DRIVER_H_
