// The three entry points of the kin export module, as a host sees them.
//
// A host loads the module by path (`kinexport.so`, `kinexport.dll`) and looks
// the entry points up by these undecorated names. All three use the plain C
// calling convention, in which the caller removes the arguments. The module
// does no work of its own when it is loaded or unloaded and keeps no state
// between calls; concurrent exports on distinct objects are safe.
#ifndef KIN_PLUGIN_KINEXPORT_H_
#define KIN_PLUGIN_KINEXPORT_H_

#include "scene/scene.h"

#if defined(_WIN32)
#define KIN_CALL __cdecl
#if defined(KINEXPORT_BUILDING)
#define KIN_EXPORT __declspec(dllexport)
#else
#define KIN_EXPORT
#endif
#else
#define KIN_CALL
#define KIN_EXPORT __attribute__((visibility("default")))
#endif

// Results of `ExportAnim`.
enum : int {
  kExportSucceeded = 0,  // the file was written completely
  kExportFailed = 16,    // nothing usable was written; see `ExportAnim`
};

extern "C" {

// The kind code by which a host classes this exporter: always 1.
KIN_EXPORT int KIN_CALL ExporterType(void);

// The extension of the files this exporter writes: the static text "KIN"
// (no dot), the same pointer on every call, valid while the module is loaded.
KIN_EXPORT const char* KIN_CALL Extension(void);

// Writes the animation `info` of `skeleton` to `fileName`, used as given,
// replacing any file there. Poses the skeleton at every frame from
// `info->startFrame` to `info->endFrame` and leaves it posed at the last.
// Once the file is open, releases every event of `info->events`.
//
// Returns 0 when the file was written completely, and 16 when:
//   - `skeleton`, its root, `info` or `fileName` is null (nothing is touched);
//   - the file cannot be opened (nothing is touched, events stay the host's);
//   - a write fails, or the file would pass the 2 GiB its 32-bit sizes can
//     describe: the export stops and the partial file is removed, provided
//     the path names a regular file (never a device or a link).
KIN_EXPORT int KIN_CALL ExportAnim(Skeleton* skeleton, AnimInfo* info,
                                   const char* fileName);

}  // extern "C"

// Pointer types of the entry points, for hosts that look them up by name.
typedef int(KIN_CALL* ExporterTypeFunction)(void);
typedef const char*(KIN_CALL* ExtensionFunction)(void);
typedef int(KIN_CALL* ExportAnimFunction)(Skeleton*, AnimInfo*, const char*);

#endif  // KIN_PLUGIN_KINEXPORT_H_
