#!/usr/bin/env bash
# Builds kin and runs every test suite, one leg at a time: a warnings-as-errors
# build, the same suites under AddressSanitizer and UndefinedBehaviorSanitizer,
# and the 32-bit Windows DLL with its tests under Wine.
# Usage: tests/run_all.sh   (from anywhere; build trees go under ./out)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${KIN_OUT:-$root/out}
jobs=${KIN_JOBS:-$(nproc)}

leg() {
  echo "==> $1"
}

configure_build_test() {
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" -DKIN_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

leg "native build, warnings as errors"
configure_build_test "$out/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo

leg "AddressSanitizer + UndefinedBehaviorSanitizer"
configure_build_test "$out/asan" -DCMAKE_BUILD_TYPE=Debug -DKIN_SANITIZE=ON

# The parallel exports of `kin export` under ThreadSanitizer: only the host
# tests are built, and only the tests that run exports on several threads.
tsan() {
  local dir="$out/tsan"
  leg "ThreadSanitizer: parallel exports"
  cmake -S "$root" -B "$dir" -DKIN_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKIN_TSAN=ON >/dev/null
  local available
  available=$(cmake --build "$dir" --target help)
  if ! grep -q kin_host_tests <<<"$available"; then
    echo "(no exporter host configured: skipped)"
    return
  fi
  local targets=(kin_host_tests)
  if grep -q kin_host_sample_tests <<<"$available"; then
    targets+=(kin_host_sample_tests)
  fi
  cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
  TSAN_OPTIONS="halt_on_error=1 ${TSAN_OPTIONS:-}" \
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" -R "Parallel|Progress"
}

# The module as the 32-bit Windows DLL it ships as, cross built with
# MinGW-w64; its tables are checked and its test host runs under Wine.
win32_leg() {
  configure_build_test "$out/win32" \
    --toolchain "$root/cmake/toolchains/i686-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
}

leg "32-bit Windows DLL, tests under Wine"
win32_leg

tsan

echo "==> all test legs passed"
