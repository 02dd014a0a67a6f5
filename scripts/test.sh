#!/usr/bin/env bash
# Builds every test under AddressSanitizer and UndefinedBehaviorSanitizer and runs them, then
# runs every fuzz target for a short budget (scripts/fuzz.sh), failing on any finding, and
# two minutes of the soak (scripts/soak.sh).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
bash "$top/scripts/setup.sh"
build="$top/build/test"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTK_SANITIZE=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
# Qt's font stack keeps its caches for the process; nothing of ours is suppressed.
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$top/tests/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
bash "$top/scripts/fuzz.sh" all "${TK_FUZZ_SECONDS:-20}"
bash "$top/scripts/soak.sh" "${TK_SOAK_MINUTES:-2}"
