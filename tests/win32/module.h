// The module as a Windows host sees it: a DLL loaded with `LoadLibraryA`,
// its entry points looked up by name with `GetProcAddress`.
//
// Every entry point is called through a hand-written call sequence that
// pushes three argument words and measures how many bytes are still on the
// stack afterwards: under the C calling convention the caller removes the
// arguments, so all twelve must be left. The module's heap imports from
// msvcrt.dll (`malloc`, `calloc`, `realloc`, `free`) can be routed through a
// recorder, so that a test sees which blocks the module allocates and
// releases.
#ifndef KIN_TESTS_WIN32_MODULE_H_
#define KIN_TESTS_WIN32_MODULE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace win32_host {

struct Skeleton;
struct Info;

// The result of one entry-point call and the argument bytes it left on the
// stack (12 for a C-convention callee).
struct CallResult {
  uint32_t value;
  uint32_t bytesLeft;
};

class Module {
 public:
  // Loads `kinexport.dll` from the directory of this program and looks up
  // the three entry points. Returns false with `error` set when any step
  // fails.
  bool Load(std::string& error);
  ~Module();

  CallResult ExporterType() const;
  CallResult Extension() const;  // value: the text's address
  CallResult ExportAnim(Skeleton* skeleton, Info* info,
                        const char* fileName) const;

  // Routes the module's heap imports from msvcrt.dll through the recorder
  // behind `HeapLog`. Returns false with `error` set when `free` or `malloc`
  // is not among them.
  bool RecordHeap(std::string& error);

  std::string path() const { return path_; }

 private:
  void* handle_ = nullptr;
  const void* exporterType_ = nullptr;
  const void* extension_ = nullptr;
  const void* exportAnim_ = nullptr;
  std::string path_;
};

// One heap operation of the module: a block it got or a block it released.
struct HeapEvent {
  bool release;
  const void* block;
};

// The module's heap operations since the last `ClearHeapLog`, in order.
const std::vector<HeapEvent>& HeapLog();
void ClearHeapLog();

// The C runtime's `malloc` and `free` of msvcrt.dll: the heap whose `free`
// the module imports, looked up at run time as any host would.
void* CrtMalloc(size_t size);
void CrtFree(void* block);

}  // namespace win32_host

#endif  // KIN_TESTS_WIN32_MODULE_H_
