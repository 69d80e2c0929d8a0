#!/usr/bin/env bash
# Builds kin and runs every test suite: a warnings-as-errors build, then the
# same suites under AddressSanitizer and UndefinedBehaviorSanitizer.
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

leg "native build, warnings as errors"
configure_build_test "$out/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo

leg "AddressSanitizer + UndefinedBehaviorSanitizer"
configure_build_test "$out/asan" -DCMAKE_BUILD_TYPE=Debug -DKIN_SANITIZE=ON

leg "reader fuzzing, 60 seconds"
fuzz_reader

echo "==> all test legs passed"
