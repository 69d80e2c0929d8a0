#include "tests/win32/module.h"

#include <windows.h>

#include <cstring>

namespace win32_host {
namespace {

std::vector<HeapEvent> heap_log;

using FreeFunction = void(__cdecl*)(void*);
using MallocFunction = void*(__cdecl*)(size_t);
using CallocFunction = void*(__cdecl*)(size_t, size_t);
using ReallocFunction = void*(__cdecl*)(void*, size_t);

FreeFunction real_free = nullptr;
MallocFunction real_malloc = nullptr;
CallocFunction real_calloc = nullptr;
ReallocFunction real_realloc = nullptr;

void Got(void* block) {
  if (block != nullptr) heap_log.push_back(HeapEvent{false, block});
}

void __cdecl RecordingFree(void* block) {
  if (block != nullptr) heap_log.push_back(HeapEvent{true, block});
  real_free(block);
}

void* __cdecl RecordingMalloc(size_t size) {
  void* block = real_malloc(size);
  Got(block);
  return block;
}

void* __cdecl RecordingCalloc(size_t count, size_t size) {
  void* block = real_calloc(count, size);
  Got(block);
  return block;
}

void* __cdecl RecordingRealloc(void* old, size_t size) {
  void* block = real_realloc(old, size);
  if (block != nullptr || size == 0) {
    if (old != nullptr) heap_log.push_back(HeapEvent{true, old});
    Got(block);
  }
  return block;
}

HMODULE Crt() { return GetModuleHandleA("msvcrt.dll"); }

// `GetProcAddress` as a pointer of the function's real type; null when the
// module has no such export.
template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  using Plain = void (*)();  // converts to and from every function type
  return reinterpret_cast<Function>(
      reinterpret_cast<Plain>(GetProcAddress(module, name)));
}

// Calls `function` with the three argument words pushed right to left, the
// way a C-convention caller does, and reports how many bytes of them are
// still on the stack when it returns.
CallResult CallWithThreeWords(const void* function, const uint32_t* words) {
  uint32_t value;
  uint32_t left;
  __asm__ volatile(
      "movl %%esp, %%esi\n\t"
      "pushl 8(%%edi)\n\t"
      "pushl 4(%%edi)\n\t"
      "pushl (%%edi)\n\t"
      "call *%%ebx\n\t"
      "movl %%esi, %%edx\n\t"
      "subl %%esp, %%edx\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(value), "=d"(left)
      : "b"(function), "D"(words)
      : "ecx", "esi", "memory", "cc");
  return CallResult{value, left};
}

uint32_t Word(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

}  // namespace

bool Module::Load(std::string& error) {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    error = "GetModuleFileNameA failed";
    return false;
  }
  std::string directory(self, length);
  directory.erase(directory.find_last_of("\\/") + 1);
  path_ = directory + "kinexport.dll";

  HMODULE module = LoadLibraryA(path_.c_str());
  if (module == nullptr) {
    error = "LoadLibraryA(" + path_ + ") failed with error " +
            std::to_string(GetLastError());
    return false;
  }
  handle_ = module;
  const struct {
    const char* name;
    const void** slot;
  } entries[] = {{"ExporterType", &exporterType_},
                 {"Extension", &extension_},
                 {"ExportAnim", &exportAnim_}};
  for (const auto& entry : entries) {
    *entry.slot =
        reinterpret_cast<const void*>(Lookup<void (*)()>(module, entry.name));
    if (*entry.slot == nullptr) {
      error = std::string("GetProcAddress(") + entry.name + ") found nothing";
      return false;
    }
  }
  return true;
}

Module::~Module() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

CallResult Module::ExporterType() const {
  const uint32_t words[3] = {0, 0, 0};
  return CallWithThreeWords(exporterType_, words);
}

CallResult Module::Extension() const {
  const uint32_t words[3] = {0, 0, 0};
  return CallWithThreeWords(extension_, words);
}

CallResult Module::ExportAnim(Skeleton* skeleton, Info* info,
                              const char* fileName) const {
  const uint32_t words[3] = {Word(skeleton), Word(info), Word(fileName)};
  return CallWithThreeWords(exportAnim_, words);
}

bool Module::RecordHeap(std::string& error) {
  real_free = Lookup<FreeFunction>(Crt(), "free");
  real_malloc = Lookup<MallocFunction>(Crt(), "malloc");
  real_calloc = Lookup<CallocFunction>(Crt(), "calloc");
  real_realloc = Lookup<ReallocFunction>(Crt(), "realloc");
  if (real_free == nullptr || real_malloc == nullptr ||
      real_calloc == nullptr || real_realloc == nullptr) {
    error = "msvcrt.dll lacks one of malloc, calloc, realloc, free";
    return false;
  }
  struct Hook {
    const char* name;
    const void* recorder;
    bool required;
    bool found;
  };
  Hook hooks[] = {
      {"free", reinterpret_cast<const void*>(&RecordingFree), true, false},
      {"malloc", reinterpret_cast<const void*>(&RecordingMalloc), true, false},
      {"calloc", reinterpret_cast<const void*>(&RecordingCalloc), false, false},
      {"realloc", reinterpret_cast<const void*>(&RecordingRealloc), false,
       false},
  };

  // Walk the module's import descriptors to its entries for msvcrt.dll in
  // its import address table, and point the heap functions' entries at the
  // recorders.
  auto* base = static_cast<unsigned char*>(handle_);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt =
      reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
           base + imports.VirtualAddress);
       descriptor->Name != 0; ++descriptor) {
    if (_stricmp(reinterpret_cast<const char*>(base + descriptor->Name),
                 "msvcrt.dll") != 0 ||
        descriptor->OriginalFirstThunk == 0) {
      continue;
    }
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA32*>(
        base + descriptor->OriginalFirstThunk);
    auto* addresses =
        reinterpret_cast<IMAGE_THUNK_DATA32*>(base + descriptor->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
      if (IMAGE_SNAP_BY_ORDINAL32(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(
          base + names->u1.AddressOfData);
      for (Hook& hook : hooks) {
        if (std::strcmp(reinterpret_cast<const char*>(byName->Name),
                        hook.name) != 0) {
          continue;
        }
        DWORD protection;
        if (!VirtualProtect(&addresses->u1.Function, 4, PAGE_READWRITE,
                            &protection)) {
          error = "VirtualProtect on the import address table failed";
          return false;
        }
        addresses->u1.Function = Word(hook.recorder);
        VirtualProtect(&addresses->u1.Function, 4, protection, &protection);
        hook.found = true;
      }
    }
  }
  for (const Hook& hook : hooks) {
    if (hook.required && !hook.found) {
      error = std::string("the module imports no ") + hook.name +
              " from msvcrt.dll";
      return false;
    }
  }
  return true;
}

const std::vector<HeapEvent>& HeapLog() { return heap_log; }
void ClearHeapLog() { heap_log.clear(); }
void* CrtMalloc(size_t size) {
  static const auto crt_malloc = Lookup<MallocFunction>(Crt(), "malloc");
  return crt_malloc != nullptr ? crt_malloc(size) : nullptr;
}

void CrtFree(void* block) {
  static const auto crt_free = Lookup<FreeFunction>(Crt(), "free");
  if (crt_free != nullptr) crt_free(block);
}

}  // namespace win32_host
