#!/usr/bin/env bash
# Builds kin and runs every test suite, one leg at a time: the formatting
# check, a warnings-as-errors build and its suites, the same suites under
# AddressSanitizer and UndefinedBehaviorSanitizer, the 32-bit Windows DLL with
# its tests under Wine, the parallel exports under ThreadSanitizer, and a
# minute of fuzzing the reader. Stops at the first leg that fails.
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

# Runs the reader's libFuzzer target for a minute over its initial corpus.
# Any finding fails the leg; the input is left in $out/fuzz/findings/ to be
# fixed and then kept in tests/reader/regressions/.
fuzz_reader() {
  local dir=$out/fuzz
  if ! command -v clang++-14 >/dev/null; then
    echo "clang++-14 is missing (cmake/install-debian-deps.sh installs it)" >&2
    return 1
  fi
  cmake -S "$root" -B "$dir" -DCMAKE_CXX_COMPILER=clang++-14 -DKIN_FUZZ=ON \
    -DKIN_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$dir" -j "$jobs" --target kin_reader_fuzzer
  rm -rf "$dir/work" "$dir/findings"
  mkdir -p "$dir/work" "$dir/findings"
  if ! "$dir/kin_reader_fuzzer" -max_total_time=60 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$dir/findings/" \
      "$dir/work" "$root/tests/reader/corpus" >"$dir/fuzz.log" 2>&1; then
    tail -n 60 "$dir/fuzz.log" >&2
    echo "reader fuzzer found a fault; input kept in $dir/findings/" >&2
    return 1
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$dir/fuzz.log" || true
}

# Every C++ file follows the one .clang-format at the root.
format_check() {
  (cd "$root" && git ls-files '*.h' '*.cpp' | xargs clang-format --dry-run -Werror)
}

leg "formatting"
format_check

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

leg "reader fuzzing, 60 seconds"
fuzz_reader

echo "==> all test legs passed"
