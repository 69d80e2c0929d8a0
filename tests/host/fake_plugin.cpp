// Stand-ins for broken export plug-ins, one per build flavour:
//   KIN_FAKE_WRONG_TYPE   ExporterType() answers 2
//   KIN_FAKE_NO_EXPORT    no ExportAnim entry point
//   KIN_FAKE_REFUSES      ExportAnim returns 16 without touching anything,
//                         as the module does when it cannot open the file
//   KIN_FAKE_NO_EXTENSION Extension() answers an empty text
#include "plugin/kinexport.h"

extern "C" {

KIN_EXPORT int KIN_CALL ExporterType(void) {
#if defined(KIN_FAKE_WRONG_TYPE)
  return 2;
#else
  return 1;
#endif
}

KIN_EXPORT const char* KIN_CALL Extension(void) {
#if defined(KIN_FAKE_NO_EXTENSION)
  return "";
#else
  return "KIN";
#endif
}

#if !defined(KIN_FAKE_NO_EXPORT)
KIN_EXPORT int KIN_CALL ExportAnim(Skeleton*, AnimInfo*, const char*) {
  return 16;
}
#endif

}  // extern "C"
