// Loads an exporter plug-in by path, as an exporter host does: `dlopen`, then
// `dlsym` of the three entry points, then a check that it is an animation
// exporter (`ExporterType() == 1`) with a usable `Extension()`.
#ifndef KIN_HOST_PLUGIN_LOADER_H_
#define KIN_HOST_PLUGIN_LOADER_H_

#include <memory>
#include <string>

#include "plugin/kinexport.h"

namespace kin::host {

class Plugin {
 public:
  // Loads the library at `path`. Returns null and sets `*error` (naming the
  // path and what is missing or wrong) when it cannot be loaded, lacks an
  // entry point, is not an animation exporter or names no extension.
  static std::unique_ptr<Plugin> Load(const std::string& path,
                                      std::string* error);
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;
  // Unloads the library.
  ~Plugin();

  // The extension the plug-in names for its files, as it gave it ("KIN").
  const std::string& Extension() const { return extension_; }
  const std::string& Path() const { return path_; }

  // Calls the plug-in's `ExportAnim`; returns its result. Safe to call from
  // several threads on distinct scene objects.
  int ExportAnim(Skeleton* skeleton, AnimInfo* info,
                 const char* fileName) const {
    return exportAnim_(skeleton, info, fileName);
  }

 private:
  Plugin() = default;

  void* handle_ = nullptr;
  std::string path_;
  std::string extension_;
  ExportAnimFunction exportAnim_ = nullptr;
};

}  // namespace kin::host

#endif  // KIN_HOST_PLUGIN_LOADER_H_
