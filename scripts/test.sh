#!/usr/bin/env bash
# Builds every test under AddressSanitizer and UndefinedBehaviorSanitizer and runs them, then
# runs every fuzz target for a short budget (scripts/fuzz.sh), failing on any finding, and
# two minutes of the soak (scripts/soak.sh).
#   test.sh           the suite under ASan + UBSan, the fuzz targets, the soak
#   test.sh --tsan    the suite under ThreadSanitizer alone (build/tsan)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
mode="${1:-}"
if [ -n "$mode" ] && [ "$mode" != --tsan ]; then
  echo "usage: test.sh [--tsan]" >&2
  exit 2
fi
bash "$top/scripts/setup.sh"
# Qt's font stack keeps its caches for the process; nothing of ours is suppressed.
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$top/tests/lsan.supp:print_suppressions=0}"

if [ "$mode" = --tsan ]; then
  build="$top/build/tsan"
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTK_TSAN=ON >/dev/null
  cmake --build "$build" -j "$(nproc)"
  # Any report fails the test whose process made it (the real program's too: the end-to-end
  # tests check its exit status). tests/tsan.supp names the threads left to the process's end
  # and what lies inside the libraries that are not instrumented.
  export TSAN_OPTIONS="${TSAN_OPTIONS:-suppressions=$top/tests/tsan.supp:second_deadlock_stack=1:exitcode=66}"
  ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
  exit 0
fi

build="$top/build/test"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTK_SANITIZE=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
bash "$top/scripts/fuzz.sh" all "${TK_FUZZ_SECONDS:-20}"
bash "$top/scripts/soak.sh" "${TK_SOAK_MINUTES:-2}"
