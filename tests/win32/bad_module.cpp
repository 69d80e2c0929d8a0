// A DLL that breaks every rule the table check enforces, to show that the
// check fails on it: a decorated stdcall export, an export beyond the three
// entry points, and an import of the C++ runtime DLL.
#include <string>

extern "C" __declspec(dllexport) int __stdcall ExportAnim(int value) {
  return value + 1;
}

extern "C" __declspec(dllexport) int Stray() {
  return static_cast<int>(std::to_string(42).size());
}
