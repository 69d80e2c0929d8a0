// The cases the Windows host runs against the loaded module. Each one
// exports through the DLL's entry points and compares the whole output file
// with bytes built by `kin_bytes`, and the calls the module made on the
// scene with the calls it should have made.
#ifndef KIN_TESTS_WIN32_CASES_H_
#define KIN_TESTS_WIN32_CASES_H_

#include <vector>

#include "tests/win32/check.h"
#include "tests/win32/module.h"
#include "tests/win32/temp_dir.h"

namespace win32_host {

struct Context {
  Checks& check;
  const Module& module;
  TempDir& dir;
};

struct Case {
  const char* name;
  void (*run)(Context& context);
};

// Every case, in the order a full run takes them.
const std::vector<Case>& Cases();

}  // namespace win32_host

#endif  // KIN_TESTS_WIN32_CASES_H_
