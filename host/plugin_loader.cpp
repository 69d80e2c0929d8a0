#include "host/plugin_loader.h"

#include <dlfcn.h>

#include <cctype>
#include <cstring>

namespace kin::host {
namespace {

// The longest extension accepted from a plug-in; longer text is taken for
// garbage rather than a name.
constexpr size_t kMaxExtension = 16;

std::string LastDlError() {
  const char* text = dlerror();
  return text != nullptr ? text : "unknown error";
}

}  // namespace

std::unique_ptr<Plugin> Plugin::Load(const std::string& path,
                                     std::string* error) {
  std::unique_ptr<Plugin> plugin(new Plugin);
  plugin->path_ = path;
  // A path without a slash would make dlopen search the library path; the
  // host loads exactly the file it names.
  const std::string openPath =
      path.find('/') == std::string::npos ? "./" + path : path;
  plugin->handle_ = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (plugin->handle_ == nullptr) {
    *error = "cannot load export plug-in '" + path + "': " + LastDlError();
    return nullptr;
  }
  auto find = [&](const char* name) -> void* {
    dlerror();
    void* symbol = dlsym(plugin->handle_, name);
    if (symbol == nullptr) {
      *error =
          "export plug-in '" + path + "' has no entry point '" + name + "'";
    }
    return symbol;
  };
  void* type = find("ExporterType");
  if (type == nullptr) return nullptr;
  void* extension = find("Extension");
  if (extension == nullptr) return nullptr;
  void* exportAnim = find("ExportAnim");
  if (exportAnim == nullptr) return nullptr;

  const int kind = reinterpret_cast<ExporterTypeFunction>(type)();
  if (kind != 1) {
    *error = "'" + path + "' is not an animation exporter: ExporterType() is " +
             std::to_string(kind) + ", expected 1";
    return nullptr;
  }
  const char* text = reinterpret_cast<ExtensionFunction>(extension)();
  const size_t length = text != nullptr ? strnlen(text, kMaxExtension + 1) : 0;
  bool usable = length > 0 && length <= kMaxExtension;
  for (size_t i = 0; usable && i < length; ++i) {
    usable = std::isalnum(static_cast<unsigned char>(text[i])) != 0;
  }
  if (!usable) {
    *error = "export plug-in '" + path +
             "' names no usable file extension (Extension() must give 1 to " +
             std::to_string(kMaxExtension) + " letters or digits)";
    return nullptr;
  }
  plugin->extension_.assign(text, length);
  plugin->exportAnim_ = reinterpret_cast<ExportAnimFunction>(exportAnim);
  return plugin;
}

Plugin::~Plugin() {
  if (handle_ != nullptr) dlclose(handle_);
}

}  // namespace kin::host
